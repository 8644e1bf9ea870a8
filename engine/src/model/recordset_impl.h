// The workings behind engine::Recordset: a keyset of SQLite rowids in the recordset's order
// (held as runs of consecutive rowids, so that a walk in rowid or key order costs little memory),
// with the current record read by rowid when it becomes current. A snapshot whose table is
// about to change first copies its records (TableAboutToChange), so it keeps showing the table
// as it was.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "conditions/criteria.h"
#include "engine/recordset.h"
#include "model/key_list.h"
#include "storage/connection.h"

namespace engine::detail {

class RecordsetImpl {
  public:
    RecordsetImpl(std::shared_ptr<Connection> conn, RecordsetType type, SelectStatement source);
    ~RecordsetImpl();

    const std::string& TableKey() const { return tableKey_; }
    void TableAboutToChange();
    // Reads the rest of the keys so that no statement of this recordset stays active.
    void CompleteKeys();

    RecordsetType Type() const { return type_; }
    bool Updatable() const { return type_ != RecordsetType::Snapshot && !conn_->ReadOnly(); }
    const std::string& TableName() const { return table_; }

    bool Eof();
    bool Bof();
    void MoveFirst();
    void MoveLast();
    void MoveNext();
    void MovePrevious();

    void Find(std::string_view criteria, bool fromStart, bool forward);
    bool NoMatch() const { return noMatch_; }

    const std::string& Index() const { return indexName_; }
    void SetIndex(const std::string& name);
    void Seek(std::string_view comparison, const std::vector<Variant>& keys);

    Bookmark GetBookmark() const;
    void SetBookmark(Bookmark b);
    long AbsolutePosition() const;
    void SetAbsolutePosition(long p);
    long RecordCount() {
        CompleteKeys();
        return static_cast<long>(keys_.size());
    }

    void AddNew();
    void Edit();
    void Update();
    void CancelUpdate();
    void Delete();
    EditMode Mode() const { return mode_; }
    void Requery();
    void Close();
    bool IsOpen() const { return open_; }

    size_t FieldCount() const { return fields_.size(); }
    const FieldInfo& FieldAt(size_t i) const;
    size_t FieldIndex(std::string_view name) const {
        // Callers mostly name fields in order: try the one after the last first.
        if (!fields_.empty()) {
            const size_t next = lastField_ + 1 < fields_.size() ? lastField_ + 1 : 0;
            if (SameBytes(fields_[next].name, name)) return lastField_ = next;
        }
        return FindField(name);
    }
    const Variant& Value(size_t i) const {
        // The current record's values, read already: the hot path of a walk.
        if (open_ && mode_ == EditMode::None && rowLoaded_ && !currentGone_ && i < fields_.size() &&
            pos_ >= 0 && static_cast<size_t>(pos_) < keys_.size())
            return row_[i];
        return CheckedValue(i);
    }
    void SetValue(size_t i, const Variant& v);

  private:
    // Field names are short: a byte loop beats a call of memcmp.
    static bool SameBytes(std::string_view a, std::string_view b) {
        if (a.size() != b.size()) return false;
        for (size_t i = 0; i < a.size(); ++i)
            if (a[i] != b[i]) return false;
        return true;
    }
    size_t FindField(std::string_view name) const;
    const Variant& CheckedValue(size_t i) const;
    void CheckOpen() const;
    void CheckUpdatable() const;
    void BuildKeys();
    void MoveTo(long pos, int direction);
    bool LoadRow(size_t pos);
    const std::vector<Variant>& CurrentRow() const;
    void EnsurePositions();
    long PositionOf(int64_t rowid);
    void Freeze();
    void CheckRecordRules(const std::vector<Variant>& values) const;
    // True when some field of the current index holds a value.
    bool HasIndexKey(const std::vector<Variant>& values) const;
    std::string ColumnList() const;
    ColumnLookup Lookup() const;
    // What the recordset's condition and Find criteria read: its table and the file's others.
    ConditionScope Scope() const;

    std::shared_ptr<Connection> conn_;
    RecordsetType type_;
    std::string table_;
    std::string tableKey_;
    std::string rowid_; // the name the table's rowid is read by
    std::optional<std::string> where_;
    std::vector<OrderItem> order_;
    std::string indexName_;
    std::vector<IndexColumnInfo> indexColumns_;
    bool indexIgnoresNulls_ = false;    // records whose key is Null are not in the index
    std::vector<bool> inRequiredIndex_; // members of the primary key or an index with Required
    std::vector<char> hasRecordRule_;   // fields that refuse Null or a zero-length text

    std::vector<FieldInfo> fields_;
    std::unordered_map<std::string_view, size_t> exactIndex_;
    mutable size_t lastField_ = 0; // the field FieldIndex found last
    std::vector<std::string> defaults_;
    int autoField_ = -1;

    KeyList keys_;
    long pos_ = -1;
    bool currentGone_ = false; // the current record was deleted by this recordset
    std::vector<Variant> row_;
    bool rowLoaded_ = false;
    // The transaction row_ was read from the file in (TransactionSerial), 0 when not read
    // inside one or changed since by this recordset.
    uint64_t rowRead_ = 0;

    bool frozen_ = false;
    std::vector<std::vector<Variant>> frozenRows_; // parallel to keys_ once frozen

    EditMode mode_ = EditMode::None;
    std::vector<Variant> buffer_;
    // The texts of the buffer's dates as bound to the insert or update, until its next run.
    std::vector<std::array<char, 24>> dateTexts_;
    long savedPos_ = -1;

    bool noMatch_ = false;
    bool open_ = true;

    std::unordered_map<int64_t, long> positions_;
    bool positionsValid_ = false;

    std::string findCriteria_;
    uint64_t findGeneration_ = 0;
    std::unordered_set<int64_t> findSet_;

    // The keys are read lazily by one running statement, which also gives the values of the
    // record it reaches: a forward walk costs one pass over the table.
    Stmt stream_;
    std::string streamSql_;
    std::vector<Variant> streamParams_;
    bool streaming_ = false;
    bool complete_ = false; // every key of the walk is in keys_
    bool PullKey(bool loadValues);
    bool KnownBeyond(long pos); // reads keys until pos exists or the walk ends
    void AbandonStream();

    // Seek's statement, for the current index and seekKeys_ key values.
    Stmt seek_;
    size_t seekKeys_ = 0;
    std::vector<size_t> indexFields_; // the fields of the current index, by position
    std::vector<Variant> seekValues_; // bound without copies: live until the statement is reset

    Stmt fetch_;
    Stmt insert_;
    Stmt update_;
    Stmt delete_;
};

} // namespace engine::detail
