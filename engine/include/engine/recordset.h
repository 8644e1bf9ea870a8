// Recordset: a cursor over the records of one table, as DAO's three kinds behave.
//
// - Dynaset (updatable): the set of records is fixed when opened (and by Requery); values
//   are read when a record becomes current, so changes made elsewhere show; records this
//   recordset adds appear at its end and records it deletes disappear.
// - Snapshot (read-only): the records and values as they were when opened, also when the
//   table is changed afterwards through another recordset. Values are read from the file as
//   the cursor moves; only when the table is changed does the snapshot keep its own copy.
// - Table (updatable, a table name only): the records in the order of the current Index, with
//   Seek "=" on that index. An index with IgnoreNulls leaves out the records whose index
//   fields are all Null.
//
// Field values are Variants, by name (ignoring case) or by 0-based position. Every change is
// checked against its field when Update runs: type, range, text length in code page 932
// bytes, zero-length text, Required (of the field, and of every index it belongs to), and
// unique indexes. Edit, Update and Delete of a record that another recordset or statement
// deleted meanwhile give 3167.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/types.h"
#include "engine/variant.h"

namespace engine {

namespace detail {
class Connection;
class RecordsetImpl;
} // namespace detail

using Bookmark = int64_t;

// What the recordset knows of one of its fields.
struct FieldInfo {
    std::string name;
    int type = 0;
    long size = 0;
    long attributes = 0;
    bool allowZeroLength = false;
    bool required = false;
};

enum class EditMode { None = 0, Edit = 1, Add = 2 };

class Recordset {
  public:
    explicit Recordset(std::unique_ptr<detail::RecordsetImpl> impl);
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    RecordsetType Type() const;
    bool Updatable() const;
    // The table the recordset reads.
    const std::string& TableName() const;

    bool Eof() const;
    bool Bof() const;
    void MoveFirst();
    void MoveLast();
    void MoveNext();
    void MovePrevious();

    // Criteria in Jet syntax, e.g. "FLD01= 5" or "FLD02 = 'name'". Searching starts at the
    // first record (FindFirst) or after the current one (FindNext); when nothing matches,
    // NoMatch is true and the position is unchanged.
    void FindFirst(std::string_view criteria);
    void FindNext(std::string_view criteria);
    void FindPrevious(std::string_view criteria);
    void FindLast(std::string_view criteria);
    bool NoMatch() const;

    // Table recordsets: the current index by name ("" for table order) and Seek "=" with 1 to
    // 10 key values in the index's field order. A failed Seek sets NoMatch.
    const std::string& Index() const;
    void SetIndex(const std::string& indexName);
    void Seek(std::string_view comparison, const std::vector<Variant>& keys);

    Bookmark GetBookmark() const;
    void SetBookmark(Bookmark bookmark);
    // 0-based position of the current record, -1 at BOF or EOF.
    long AbsolutePosition() const;
    void SetAbsolutePosition(long position);
    long RecordCount() const;

    void AddNew();
    void Edit();
    void Update();
    void CancelUpdate();
    void Delete();
    engine::EditMode EditMode() const;
    void Requery();
    void Close();
    bool IsOpen() const;

    size_t FieldCount() const;
    const FieldInfo& FieldAt(size_t index) const;
    // 0-based position of a field; throws 3265 when the recordset has no such field.
    size_t FieldIndex(std::string_view name) const;

    // The value stays valid until the recordset moves, changes or closes; copy it to keep it.
    const Variant& Value(std::string_view fieldName) const;
    const Variant& Value(size_t fieldIndex) const;
    void SetValue(std::string_view fieldName, const Variant& value);
    void SetValue(size_t fieldIndex, const Variant& value);

  private:
    std::unique_ptr<detail::RecordsetImpl> impl_;
};

using RecordsetPtr = std::shared_ptr<Recordset>;

} // namespace engine
