// SQL functions that carry the records of a table into a new layout within one
// INSERT INTO new (...) SELECT ... FROM old statement, converting every value exactly as the
// record-by-record copy does (ValueConversion, then the field's own coercion). Each column of
// the new table is one entry added here; the statement calls the entry's function by its key.
//
//   tavorin_carry(key, value)   the converted value of entry key (deterministic)
//   tavorin_carry_auto(value)   the auto number of the record (counts, so not deterministic)
//   tavorin_carry_row()         true; counts the records read and reports progress
//   tavorin_carry_try(key, value)  as tavorin_carry, but a value that would fail the statement
//                                  gives Null and is kept in Refusals() instead (for a check
//                                  that runs the conversion without writing)
//   tavorin_carry_skip()        false; counts the conflicts an upsert leaves alone
//                               (ON CONFLICT ... DO UPDATE SET ... WHERE tavorin_carry_skip())
//   tavorin_carry_hit(x)        x; counts the calls where x is true
//   tavorin_carry_same(value, ...)
//                               true when every value of a record would pass its linked entry
//                               (SetSameKeys, in order) unchanged; counts the records read as
//                               tavorin_carry_row does.
//                               Any other value fails the statement with NeedsConversion() set:
//                               a statement that copies the values as they are (no
//                               tavorin_carry per column) is then run again with the functions.
//
// The import adds entries of its own rules (AddLinked, AddKept, AddStoredWhole) to the same
// tavorin_carry.
// A value that does not convert, or that the new field refuses, fails the statement with the
// reason, which Failure() keeps. One CarryFunctions at a time per connection.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/copy_plan.h"
#include "engine/recordset.h"
#include "engine/variant.h"

struct sqlite3;
struct sqlite3_context;
struct sqlite3_value;

namespace engine::copy {

class CarryFunctions {
  public:
    // Registers the functions on db; the destructor removes them.
    explicit CarryFunctions(sqlite3* db);
    ~CarryFunctions();
    CarryFunctions(const CarryFunctions&) = delete;
    CarryFunctions& operator=(const CarryFunctions&) = delete;

    // A column taking the value of an old field of type sourceType through conversion. The
    // empty text becomes Null where target refuses it; a Null fails where nullRefused (a field
    // of a required index). Returns the key.
    int AddConverted(const std::string& name, int sourceType, const ValueConversion& conversion,
                     const FieldInfo& target, bool nullRefused);
    // A column taking the same value in every record (coerced for target now: engine errors
    // propagate). Returns the key.
    int AddConstant(const Variant& value, const FieldInfo& target);
    // A column of the import taking a linked field's value through conversion: Null and the
    // empty text then become the empty text where target allows it and Null where not, and a
    // Null fails where nullRefused or target is required. Returns the key.
    int AddLinked(const std::string& name, int sourceType, const ValueConversion& conversion,
                  const FieldInfo& target, bool nullRefused);
    // A column that an update leaves as it is, checked as the engine checks every field of a
    // record it writes: a Null fails where nullRefused or target is required, the empty text
    // where target refuses it. Returns the key.
    int AddKept(const FieldInfo& target, bool nullRefused);
    // A column of a whole-number type whose stored value a statement relies on being a whole
    // number, as the engine writes it: anything else fails the statement. Returns the key.
    int AddStoredWhole(const FieldInfo& target);
    // The table's auto-number field: numbered from next on, or keeping the old field's values
    // (of type sourceType) when keepOld; either way the counter moves past every number used.
    void SetAutoNumber(int64_t next, bool keepOld, int sourceType, const FieldInfo& target);

    // Called with the count of records read, about every thousand records.
    void OnRecords(std::function<void(long)> report) { report_ = std::move(report); }

    long RecordsRead() const { return records_; }
    long Skipped() const { return skipped_; }
    long Hits() const { return hits_; }
    // Whether the linked entry key can hand a value on as it is (its conversion keeps values
    // and the type stays), so that tavorin_carry_same may be asked about it.
    bool CanPassAsItIs(int key) const;
    // The linked entries whose values tavorin_carry_same is given, in the order given.
    void SetSameKeys(std::vector<int> keys) { sameKeys_ = std::move(keys); }
    // A value tavorin_carry_same found that the linked entries would change.
    bool NeedsConversion() const { return needsConversion_; }
    // Clears the counts and the failure, for a statement run again after one that failed.
    void ResetCounts();
    // The number the table hands out next after the records carried.
    int64_t NextAutoNumber() const { return auto_.next; }
    // Why the statement failed ("" when nothing failed).
    const std::string& Failure() const { return failure_; }

    // Where tavorin_carry_try refused a value: in its conversion (the record-by-record copy
    // reports it as a value that does not convert), when storing it into the new field, or at
    // the record's Update (a Null in a field that refuses it).
    enum class Stage { Conversion, Storing, Update };
    struct Refusal {
        int key;
        Stage stage;
        long number;
        std::string description;
    };
    // The refusals of tavorin_carry_try since the last ClearRefusals, in call order.
    const std::vector<Refusal>& Refusals() const { return refusals_; }
    void ClearRefusals() { refusals_.clear(); }

  private:
    enum class Kind { Carried, Constant, Linked, Kept, StoredWhole };
    struct Entry {
        Kind kind = Kind::Carried;
        std::string name;
        int sourceType = 0;
        std::optional<ValueConversion> conversion; // none: a constant
        Variant constant;
        FieldInfo target;
        bool nullRefused = false;
        bool passThrough = false; // the conversion keeps values and the type stays
        // Values the conversion handles without a Variant (see Quick): a text cut to a size,
        // a whole number written as text, a text of digits read as a number.
        enum class Quick { None, CutText, NumberToText, DigitsToNumber } quick = Quick::None;
        int cutBytes = 0;
    };
    static bool QuickValue(sqlite3_context* ctx, const Entry& e, sqlite3_value* value);
    struct AutoNumber {
        bool set = false;
        int64_t next = 1;
        bool keepOld = false;
        int sourceType = 0;
        FieldInfo target;
    };
    static void Value(sqlite3_context* ctx, int argc, sqlite3_value** argv);
    static void Auto(sqlite3_context* ctx, int argc, sqlite3_value** argv);
    static void Row(sqlite3_context* ctx, int argc, sqlite3_value** argv);
    static void Try(sqlite3_context* ctx, int argc, sqlite3_value** argv);
    // The body of tavorin_carry and tavorin_carry_try: sets the converted value as the result
    // or throws, stage telling how far it got.
    void Convert(sqlite3_context* ctx, sqlite3_value** argv, Stage& stage);
    static void Skip(sqlite3_context* ctx, int argc, sqlite3_value** argv);
    static void Hit(sqlite3_context* ctx, int argc, sqlite3_value** argv);
    static void ImportValue(sqlite3_context* ctx, const Entry& e, sqlite3_value* value);
    static bool PassesAsItIs(const Entry& e, sqlite3_value* value);
    static void Same(sqlite3_context* ctx, int argc, sqlite3_value** argv);
    void CountRecord();
    void Fail(sqlite3_context* ctx, const std::string& reason);

    sqlite3* db_;
    std::vector<Entry> entries_;
    AutoNumber auto_;
    std::function<void(long)> report_;
    long records_ = 0;
    long skipped_ = 0;
    long hits_ = 0;
    bool needsConversion_ = false;
    std::vector<int> sameKeys_;
    std::string failure_;
    std::vector<Refusal> refusals_;
};

} // namespace engine::copy
