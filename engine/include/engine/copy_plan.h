// Copy plans: what goes where when the records of one table are carried into another, and the
// engine's run of it.
//
// A plan names a source and a target table of one database (a file attached to the same
// connection counts as the same database) and, per field of the target, where its value comes
// from: a source field through a ValueConversion, the auto number, or the blank a new field
// takes. The engine runs the plan as one statement whose SQL functions convert every value
// exactly as the record-by-record copy does (ValueConversion, then the field's own coercion),
// or declines a plan the statement does not cover; the caller then runs the plan record by
// record (CopyRecordByRecord), which names the first value that fails.
// A check-only run converts every value the same way and writes nothing.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/recordset.h"
#include "engine/transaction_guard.h"
#include "engine/variant.h"

namespace engine {

class Database;
class Workspace;

// How a value of an old field becomes the value of a new one, by the layout's old and new
// type and size: kept, a text cut to the new size, any value turned into a text (trimmed and
// cut) or a memo, or converted to a number type.
class ValueConversion {
  public:
    enum class Route {
        Keep,         // same type (not text): every value as it is
        SameText,     // text to text: cut where the new size is below the old one
        ToText,       // into a text of the new size
        ToMemo,       // into a memo
        ToType,       // into numberType
        ToUnknownType // a type the layout does not know: blanks become 0
    };
    // newSize and oldSize as the layout's cells hold them; a size that does not read as a
    // number fails the values that need it, and only those.
    ValueConversion(Route route, VarType numberType, const std::string& newSize,
                    const std::string& oldSize);

    Variant Apply(const Variant& value) const;
    // Apply gives every value other than Null and the empty text back unchanged.
    bool KeepsValues() const;
    // Apply may cut a text to the new size (a text kept as text with a smaller size, or any
    // value turned into text).
    bool MayCut() const;
    // Apply gives value back cut: its text is longer than the new size in code page 932 bytes.
    // Throws what Apply throws for the size.
    bool Cuts(const Variant& value) const;

    // What Apply does to a value that is neither Null nor the empty text, for callers that
    // convert common values without a Variant: keeps it, cuts a text of the same type, turns it
    // into a text cut to a size, into a memo, or into a number of NumberType().
    enum class Shape { Keeps, CutsText, ToText, ToMemo, ToNumber, Other };
    Shape Kind() const;
    // The size in code page 932 bytes a text is cut to (CutsText, ToText).
    int CutBytes() const { return static_cast<int>(cutBytes_.Get()); }
    VarType NumberType() const { return target_; }

  private:
    // A number read from a size cell, or the error reading it, raised when a value needs it.
    class Lazy {
      public:
        static Lazy Of(const std::function<double()>& compute);
        double Get() const;
        bool Failed() const { return error_ != nullptr; }

      private:
        double value_ = 0;
        std::exception_ptr error_;
    };
    Route route_ = Route::Keep;
    VarType target_ = VarType::Empty;
    Lazy cutBytes_; // the new size
    Lazy shorter_;  // 1 when the new text size is below the old one
};

// Where one field of the target takes its value from.
struct CopyField {
    std::string target; // the target field, by the engine's name lookup
    // The source field ("" for none: a new field takes the empty text, Null or 0).
    std::string source;
    std::optional<ValueConversion> conversion; // for a source field that is not an auto number
    bool autoNumber = false;                   // the layout makes the target field an auto number
    bool keepNumbers = false; // an auto number that was one: the source's numbers are kept
    bool textual = false;     // the layout's type of the target is text or memo
};

// What a run does with the target's records.
enum class CopyMode {
    Carry,       // into an empty table, every source record (the save's carry-over)
    ReplaceAll,  // every record of the target deleted, the selected source records added
    AddOrUpdate, // by the target's key: a record found is updated, another added
    AddOnly,     // by the key: a record found is left alone (and counted), another added
    UpdateOnly   // by the key: a record found is updated, another left out
};

// The records of sourceTable, in the order of their rowid, into targetTable, every field of
// which is given a value by fields.
struct CopyPlan {
    CopyMode mode = CopyMode::Carry;
    std::string sourceTable;
    std::string targetTable;
    std::vector<CopyField> fields;
    // Not for Carry: the source's records as a statement selects them (its condition), the
    // target's key index by name, and per member of that index, in order, the 1-based position
    // in fields of the field that takes it (a keyed mode's match of source and target).
    std::string sourceStatement;
    std::string keyIndex;
    std::vector<long> keyFields;
};

// Called with the count of records read, about every thousand records.
using CopyProgress = std::function<void(long records)>;

struct CopyResult {
    bool copied = false; // false: the statement failed at a value or a record, nothing kept
    long records = 0;    // records read (and written when copied)
    std::string failure; // why a value failed the statement ("" when the engine said no more)
};

// A plan prepared as one statement on the database's connection. Run it inside a workspace
// transaction: a failed run leaves changes of the statement that the caller rolls back.
class PreparedCopy {
  public:
    ~PreparedCopy();
    PreparedCopy(PreparedCopy&&) noexcept;
    PreparedCopy& operator=(PreparedCopy&&) noexcept;

    // The plan as one statement, or nothing when the statement does not cover it (a target
    // field without a value or taking two, an auto number the layout and the table disagree
    // on, a blank the target refuses, more than one auto number, no name left for the rowid).
    // Engine errors reading the tables propagate.
    static std::optional<PreparedCopy> Prepare(Database& db, const CopyPlan& plan);

    // Runs the statement. A value that does not convert or that a field refuses, a key taken
    // twice or any other engine error gives copied = false, with the values' failure when one
    // failed. Afterwards the target's auto number counter stands after the last record.
    CopyResult Run(const CopyProgress& progress);

  private:
    struct State;
    explicit PreparedCopy(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

// The counts of a run while it runs: records read, and records written (added or updated;
// for AddOnly the records added, for UpdateOnly the records found).
struct CopyCounts {
    long read = 0;
    long written = 0;
};

// A plan of a mode other than Carry prepared as statements reading the source database and
// writing the target database of one connection.
class PreparedImport {
  public:
    ~PreparedImport();
    PreparedImport(PreparedImport&&) noexcept;
    PreparedImport& operator=(PreparedImport&&) noexcept;

    // The plan as statements, or nothing when they do not cover it (a read-only target or one
    // on another connection, an ordered source statement, a keyed run over one table or over
    // more than ten key fields, a target field without a value or with two, an auto number
    // the plan and the table disagree on, key fields the plan does not link, a record a keyed
    // add would leave with a Null its field refuses). Engine errors are declines too.
    static std::optional<PreparedImport> Prepare(Database& source, Database& target,
                                                 const CopyPlan& plan);

    struct Result {
        bool done = false;         // the records are written, in transaction
        bool asTheyAre = false;    // ... by the statement copying the values as they are
        bool wholeRecords = false; // ... copying the source's records whole
        CopyCounts counts;         // as done; zero when not done
        // Not done: why the statement failed at a value or a record (nothing when a value needs
        // a conversion the run cannot give).
        std::optional<std::string> failure;
    };
    // Runs the plan, each statement in a transaction of ws begun in transaction. Done: the
    // transaction is left open for the caller to commit or roll back. Not done: every statement
    // was rolled back, transaction is empty, and a record-by-record run is left to meet the
    // failure in its own words. Other engine errors (the disk, a lock) propagate, the
    // transaction open. progress sees the counts about every thousand records.
    Result Run(Workspace& ws, std::optional<TransactionGuard>& transaction,
               const std::function<void(const CopyCounts&)>& progress);

  private:
    struct State;
    explicit PreparedImport(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

// ---- The record-by-record run ----------------------------------------------------------------

// How a record-by-record run ended: every record written, or stopped at a value whose
// conversion failed (the record it was in is cancelled, nothing of it written).
struct RecordCopyResult {
    bool done = false;
    CopyCounts counts; // as the run ended or stopped; for Carry, written counts every record
    // Not done: the field whose value failed, by its 1-based position in the plan's fields and
    // the target's name as the plan gives it, and the engine error of the conversion.
    long failedField = 0;
    std::string failedTarget;
    long errorNumber = 0;
    std::string errorDescription;
};

// Runs plan record by record through the object model: the run for a plan its statement
// declines or fails at. Carry reads plan.sourceTable of source (source and target are then one
// database) into an empty plan.targetTable; the other modes read the records
// plan.sourceStatement selects, ReplaceAll after deleting every record of the target, the
// keyed modes finding each one by Seek on plan.keyIndex with the values of plan.keyFields. Each
// linked value goes through its field's conversion (a source field the source lacks fails
// there); a blank is stored as the empty text where the field allows it and Null where not
// (the save takes the empty text alone as blank, keeping a Null its conversion keeps); a field
// without a source gets the blank or 0 in a record added; an auto number is numbered by the
// engine or, with keepNumbers, keeps the source's value.
// The run begins its transaction in transaction (for ReplaceAll before the delete, else once
// the recordsets are open) and leaves it open for the caller to commit or roll back; nothing
// begun means the run failed before any change. progress sees the counts after every record.
// A value that fails its conversion ends the run, not done; any other engine error (opening
// the tables, a value a field refuses, a key taken twice, the disk) propagates.
RecordCopyResult CopyRecordByRecord(Database& source, Database& target, const CopyPlan& plan,
                                    Workspace& ws, std::optional<TransactionGuard>& transaction,
                                    const std::function<void(const CopyCounts&)>& progress);

// ---- The check-only run: the plan's conversion of every record, writing nothing ----------

// A field of the table a copy would fill, and whether it refuses Null (a member of the primary
// key or of a required index).
struct CheckTarget {
    FieldInfo info;
    bool nullRefused = false;
};

// One field of the new layout, as the check sees it.
struct CheckField {
    std::string name;                  // the field of the new layout
    std::optional<CheckTarget> target; // none: the new table lacks it (nothing to check)
    // The old field as the layout holds it ("" for a new field); looked up with its blanks
    // trimmed, and a failed lookup reported in the cell's own words.
    std::string sourceCell;
    std::optional<ValueConversion> conversion; // for an old field
    long cutLimit = -1;      // the new size when the conversion may cut and it reads as digits
    bool autoNumber = false; // numbered by the copy, never converted
    bool textual = false;    // the new type is text or memo
};

// Where the copy refuses a value: in its conversion, when storing it into the new field, or
// when the record is written (a Null in a field that refuses it).
enum class CheckStage { Conversion, Storing, Update };
struct CheckRefusal {
    CheckStage stage = CheckStage::Conversion;
    long number = 0;
    std::string description;
};

struct CheckExample {
    long position = 0;    // 1 = the first record read
    std::string key;      // the old primary key's values ("ID=5"); "" for a table without one
    std::string oldValue; // as text; "(Null)" for Null
    std::string newValue; // as the copy stores it ("" for a refused value)
    std::optional<CheckRefusal> refusal; // for a refused value
};

struct CheckedField {
    static constexpr size_t kExamples = 20;
    long cut = 0;     // texts longer than the new size in code page 932 bytes
    long failed = 0;  // values the copy refuses
    long blanked = 0; // values that were something and become Null or the empty text
    std::vector<CheckExample> cutExamples, failedExamples, blankedExamples;
};

struct CheckReport {
    std::vector<CheckedField> fields; // one per CheckField, in order
    long records = 0;                 // records read
    bool cancelled = false;           // stopped by the progress callback: counts are partial
    // The first record with a refused value (0 = none), the field and the refusal the copy
    // stops at there: the first value refused while the fields are filled in their order,
    // else a Null refused when the record is written.
    long stopPosition = 0;
    std::string stopKey;
    size_t stopField = 0;
    CheckRefusal stopRefusal;
};

// Converts every record of sourceTable of db for fields, in the order a copy reads them,
// in one read and without writing. progress is called about every thousand records with the
// count read; when it returns false the check stops. Engine errors (a file that cannot be
// read, a statement of the connection still reading) propagate.
CheckReport CheckCopy(Database& db, const std::string& sourceTable,
                      const std::vector<CheckField>& fields,
                      const std::function<bool(long)>& progress);

} // namespace engine
