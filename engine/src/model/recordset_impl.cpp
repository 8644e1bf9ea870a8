#include "model/recordset_impl.h"

#include "conditions/condition_scope.h"
#include "engine/error.h"
#include "engine/names.h"
#include "engine/types.h"
#include "values/value_codec.h"

namespace engine::detail {
namespace {

// Up to this many runs of keys, a rowid's position is searched run by run (KeyList::Find).
constexpr size_t kFewRuns = 64;

// "NOT (a IS NULL AND b IS NULL ...)": the record has a key in the index.
std::string NotAllNull(const std::vector<IndexColumnInfo>& columns) {
    std::string sql = "NOT (";
    for (size_t i = 0; i < columns.size(); ++i)
        sql += (i ? " AND " : "") + QuoteIdent(columns[i].field) + " IS NULL";
    return sql + ")";
}

FieldInfo ToFieldInfo(const ColumnInfo& c) {
    FieldInfo f;
    f.name = c.name;
    f.type = c.type;
    f.size = c.size;
    f.attributes = c.attributes;
    f.allowZeroLength = c.allowZeroLength;
    f.required = c.required;
    return f;
}

} // namespace

RecordsetImpl::RecordsetImpl(std::shared_ptr<Connection> conn, RecordsetType type,
                             SelectStatement src)
    : conn_(std::move(conn)), type_(type), where_(std::move(src.where)),
      order_(std::move(src.orderBy)) {
    const TableInfo& t = conn_->Table(src.table);
    table_ = t.name;
    tableKey_ = FoldName(table_);
    for (const auto& c : t.columns) {
        fields_.push_back(ToFieldInfo(c));
        defaults_.push_back(c.defaultValue);
        bool required = false;
        for (const auto& ix : t.indexes)
            if (ix.primary || ix.required)
                for (const auto& ic : ix.columns)
                    required = required || NamesEqual(ic.field, c.name);
        inRequiredIndex_.push_back(required);
        const bool text = c.type == dao::dbText || c.type == dao::dbMemo;
        hasRecordRule_.push_back(required || c.required || (text && !c.allowZeroLength));
        if (c.attributes & dao::dbAutoIncrField) autoField_ = static_cast<int>(fields_.size() - 1);
    }
    for (size_t i = 0; i < fields_.size(); ++i) exactIndex_.emplace(fields_[i].name, i);
    dateTexts_.resize(fields_.size());
    // A field named like the rowid hides it under that name: take one of its other names.
    for (const char* name : {"rowid", "_rowid_", "oid"}) {
        if (t.ColumnIndex(name) >= 0) continue;
        rowid_ = name;
        break;
    }
    if (rowid_.empty()) Throw(err::kOperationNotSupported);
    fetch_ = conn_->Prepare("SELECT " + ColumnList() + " FROM " + conn_->Qualified(table_) +
                            " WHERE " + rowid_ + " = ?");
    BuildKeys();
    conn_->Register(this);
    MoveTo(0, 1);
}

RecordsetImpl::~RecordsetImpl() {
    if (open_) conn_->Unregister(this);
    AbandonStream();
}

std::string RecordsetImpl::ColumnList() const {
    std::string s;
    for (size_t i = 0; i < fields_.size(); ++i) {
        if (i) s += ", ";
        s += QuoteIdent(fields_[i].name);
    }
    return s.empty() ? std::string("NULL") : s;
}

ColumnLookup RecordsetImpl::Lookup() const {
    return [this](std::string_view name) -> std::optional<ColumnRef> {
        for (const auto& f : fields_)
            if (NamesEqual(f.name, name)) return ColumnRef{ColumnExpr(f.name, f.type), f.type};
        return std::nullopt;
    };
}

ConditionScope RecordsetImpl::Scope() const {
    std::vector<std::pair<std::string, int>> columns;
    for (const auto& f : fields_) columns.emplace_back(f.name, f.type);
    return ConditionScopeOf(*conn_,
                            ConditionTableOf(table_, conn_->Qualified(table_), std::move(columns)));
}

void RecordsetImpl::CheckOpen() const {
    if (!open_) Throw(err::kObjectClosed);
}

void RecordsetImpl::CheckUpdatable() const {
    CheckOpen();
    if (conn_->ReadOnly()) Throw(err::kReadOnly);
    if (type_ == RecordsetType::Snapshot) Throw(err::kReadOnly);
}

void RecordsetImpl::BuildKeys() {
    std::string sql = "SELECT " + rowid_ + " FROM " + conn_->Qualified(table_);
    SqlCondition cond;
    if (where_ && !where_->empty()) {
        cond = TranslateCondition(*where_, Scope());
        sql += " WHERE " + cond.sql;
    }
    // Records whose key is Null have no entry in an index that ignores Nulls.
    if (indexIgnoresNulls_)
        sql += std::string(cond.sql.empty() ? " WHERE " : " AND ") + NotAllNull(indexColumns_);
    std::string orderSql;
    if (!indexColumns_.empty()) {
        for (const auto& ic : indexColumns_)
            orderSql += QuoteIdent(ic.field) + (ic.descending ? " DESC, " : ", ");
    } else {
        for (const auto& o : order_) {
            auto ref = Lookup()(o.field);
            if (!ref) Throw(err::kUnknownField, o.field);
            std::string exact;
            for (const auto& f : fields_)
                if (NamesEqual(f.name, o.field)) exact = f.name;
            orderSql += QuoteIdent(exact) + (o.descending ? " DESC, " : ", ");
        }
    }
    sql += " ORDER BY " + orderSql + rowid_;
    AbandonStream();
    streamSql_ = "SELECT " + rowid_ + ", " + ColumnList() +
                 sql.substr(std::string("SELECT " + rowid_).size());
    streamParams_ = cond.params;
    stream_ = conn_->Prepare(streamSql_);
    keys_.clear();
    complete_ = false;
    positionsValid_ = false;
    frozen_ = false;
    frozenRows_.clear();
    currentGone_ = false;
    rowLoaded_ = false;
    pos_ = -1;
}

void RecordsetImpl::AbandonStream() {
    if (streaming_) stream_.Reset();
    streaming_ = false;
}

bool RecordsetImpl::PullKey(bool loadValues) {
    if (complete_) return false;
    if (!streaming_) {
        for (size_t i = 0; i < streamParams_.size(); ++i)
            BindParam(stream_, static_cast<int>(i + 1), streamParams_[i]);
        streaming_ = true;
    }
    bool row;
    try {
        row = stream_.Step();
    } catch (...) {
        streaming_ = false;
        throw;
    }
    if (!row) {
        complete_ = true;
        AbandonStream();
        return false;
    }
    int64_t rowid = stream_.Int(0);
    keys_.push_back(rowid);
    if (positionsValid_) positions_[rowid] = static_cast<long>(keys_.size()) - 1;
    if (loadValues) {
        row_.resize(fields_.size());
        for (size_t c = 0; c < fields_.size(); ++c)
            ReadValueInto(stream_, static_cast<int>(c + 1), fields_[c].type, row_[c]);
        rowLoaded_ = true;
        rowRead_ = conn_->Sql().TransactionSerial();
    }
    return true;
}

void RecordsetImpl::CompleteKeys() {
    while (PullKey(false)) {
    }
}

bool RecordsetImpl::KnownBeyond(long pos) {
    while (pos >= static_cast<long>(keys_.size()) && PullKey(false)) {
    }
    return pos < static_cast<long>(keys_.size());
}

void RecordsetImpl::TableAboutToChange() {
    // The walk must not meet the change half-way: take the rest of the keys first.
    CompleteKeys();
    if (type_ == RecordsetType::Snapshot) {
        Freeze();
    } else if (mode_ == EditMode::None) {
        rowLoaded_ = false;
    }
}

void RecordsetImpl::Freeze() {
    if (frozen_) return;
    CompleteKeys();
    frozenRows_.clear();
    frozenRows_.reserve(keys_.size());
    KeyList kept;
    long newPos = pos_;
    for (size_t i = 0; i < keys_.size(); ++i) {
        fetch_.Bind(1, keys_[i]);
        if (fetch_.Step()) {
            std::vector<Variant> values;
            values.reserve(fields_.size());
            for (size_t c = 0; c < fields_.size(); ++c)
                values.push_back(ReadValue(fetch_, static_cast<int>(c), fields_[c].type));
            frozenRows_.push_back(std::move(values));
            kept.push_back(keys_[i]);
        } else if (static_cast<long>(i) < pos_) {
            --newPos;
        }
        fetch_.Reset();
    }
    keys_ = std::move(kept);
    pos_ = std::min<long>(newPos, static_cast<long>(keys_.size()));
    positionsValid_ = false;
    frozen_ = true;
}

bool RecordsetImpl::LoadRow(size_t pos) {
    if (frozen_) {
        row_ = frozenRows_[pos];
        rowLoaded_ = true;
        rowRead_ = 0;
        return true;
    }
    fetch_.Bind(1, keys_[pos]);
    bool found = fetch_.Step();
    if (found) {
        row_.resize(fields_.size());
        for (size_t c = 0; c < fields_.size(); ++c)
            ReadValueInto(fetch_, static_cast<int>(c), fields_[c].type, row_[c]);
        rowRead_ = conn_->Sql().TransactionSerial();
    }
    fetch_.Reset();
    rowLoaded_ = found;
    return found;
}

// Makes pos current, stepping on in direction past records that no longer exist. Positions past
// the keys read so far are taken from the running walk, values and all.
void RecordsetImpl::MoveTo(long pos, int direction) {
    currentGone_ = false;
    rowLoaded_ = false;
    while (pos >= 0) {
        while (pos > static_cast<long>(keys_.size()) && PullKey(false)) {
        }
        if (pos == static_cast<long>(keys_.size())) {
            if (!PullKey(true)) break;
            pos_ = pos;
            return;
        }
        if (pos > static_cast<long>(keys_.size())) break;
        if (LoadRow(static_cast<size_t>(pos))) {
            pos_ = pos;
            return;
        }
        keys_.erase(static_cast<size_t>(pos));
        positionsValid_ = false;
        if (direction < 0) --pos;
    }
    pos_ = pos < 0 ? -1 : static_cast<long>(keys_.size());
}

bool RecordsetImpl::Eof() {
    CheckOpen();
    return !KnownBeyond(pos_ < 0 ? 0 : pos_);
}

bool RecordsetImpl::Bof() {
    CheckOpen();
    return pos_ < 0 || !KnownBeyond(0);
}

void RecordsetImpl::MoveFirst() {
    CheckOpen();
    if (!KnownBeyond(0)) Throw(err::kNoCurrentRecord);
    mode_ = EditMode::None;
    MoveTo(0, 1);
}

void RecordsetImpl::MoveLast() {
    CheckOpen();
    CompleteKeys();
    if (keys_.empty()) Throw(err::kNoCurrentRecord);
    mode_ = EditMode::None;
    MoveTo(static_cast<long>(keys_.size()) - 1, -1);
}

void RecordsetImpl::MoveNext() {
    CheckOpen();
    // After deleting the last record, MoveNext goes on to the end, as after any other record.
    if (Eof() && !currentGone_) Throw(err::kNoCurrentRecord);
    mode_ = EditMode::None;
    // After Delete the position already names the record that followed the deleted one.
    MoveTo(currentGone_ ? pos_ : pos_ + 1, 1);
}

void RecordsetImpl::MovePrevious() {
    CheckOpen();
    if (Bof()) Throw(err::kNoCurrentRecord);
    mode_ = EditMode::None;
    MoveTo(pos_ - 1, -1);
}

const std::vector<Variant>& RecordsetImpl::CurrentRow() const {
    CheckOpen();
    if (currentGone_) Throw(err::kRecordDeleted);
    if (pos_ < 0 || pos_ >= static_cast<long>(keys_.size())) Throw(err::kNoCurrentRecord);
    if (!rowLoaded_) {
        auto* self = const_cast<RecordsetImpl*>(this);
        if (!self->LoadRow(static_cast<size_t>(pos_))) Throw(err::kRecordDeleted);
    }
    return row_;
}

const FieldInfo& RecordsetImpl::FieldAt(size_t i) const {
    if (i >= fields_.size()) Throw(err::kItemNotFound);
    return fields_[i];
}

size_t RecordsetImpl::FindField(std::string_view name) const {
    auto it = exactIndex_.find(name);
    if (it != exactIndex_.end()) return lastField_ = it->second;
    for (size_t i = 0; i < fields_.size(); ++i)
        if (NamesEqual(fields_[i].name, name)) return i;
    Throw(err::kItemNotFound, std::string(name));
}

const Variant& RecordsetImpl::CheckedValue(size_t i) const {
    CheckOpen();
    if (i >= fields_.size()) Throw(err::kItemNotFound);
    if (mode_ != EditMode::None) return buffer_[i];
    return CurrentRow()[i];
}

void RecordsetImpl::SetValue(size_t i, const Variant& v) {
    CheckUpdatable();
    if (i >= fields_.size()) Throw(err::kItemNotFound);
    if (mode_ == EditMode::None) Throw(err::kUpdateWithoutAddNew);
    if (static_cast<int>(i) == autoField_ && mode_ == EditMode::Edit)
        Throw(err::kFieldNotUpdatable, fields_[i].name);
    CoerceForFieldInto(v, fields_[i], buffer_[i]);
}

void RecordsetImpl::AddNew() {
    CheckUpdatable();
    // Reset in place: the buffer's text storage is reused record after record.
    buffer_.resize(fields_.size());
    for (size_t i = 0; i < fields_.size(); ++i) {
        if (defaults_[i].empty())
            buffer_[i].SetNull();
        else
            buffer_[i] = EvaluateDefault(defaults_[i], fields_[i]);
    }
    if (autoField_ >= 0)
        buffer_[static_cast<size_t>(autoField_)] =
            Variant::Long(static_cast<int32_t>(conn_->TakeAutoNumber(table_)));
    savedPos_ = currentGone_ ? -2 : pos_;
    mode_ = EditMode::Add;
}

void RecordsetImpl::Edit() {
    CheckUpdatable();
    if (currentGone_) Throw(err::kRecordDeleted);
    if (pos_ < 0 || pos_ >= static_cast<long>(keys_.size())) Throw(err::kNoCurrentRecord);
    // The values as the file holds them now: another recordset may have changed or deleted the
    // record since it was read. Values read in the open transaction and not changed since
    // through this file (which clears rowLoaded_) are still the file's.
    const bool current =
        rowLoaded_ && rowRead_ != 0 && rowRead_ == conn_->Sql().TransactionSerial();
    if (!current && !LoadRow(static_cast<size_t>(pos_))) Throw(err::kRecordDeleted);
    buffer_ = row_;
    mode_ = EditMode::Edit;
}

void RecordsetImpl::CancelUpdate() {
    CheckOpen();
    mode_ = EditMode::None;
    buffer_.clear();
}

void RecordsetImpl::CheckRecordRules(const std::vector<Variant>& values) const {
    for (size_t i = 0; i < fields_.size(); ++i) {
        if (!hasRecordRule_[i]) continue;
        const FieldInfo& f = fields_[i];
        const Variant& v = values[i];
        if (v.IsNull()) {
            if (inRequiredIndex_[i]) Throw(err::kNullInIndex, f.name);
            if (f.required) Throw(err::kRequiredNull, f.name);
        } else if ((f.type == dao::dbText || f.type == dao::dbMemo) && v.IsString() &&
                   v.StringValue().empty() && !f.allowZeroLength) {
            Throw(err::kZeroLength, f.name);
        }
    }
}

void RecordsetImpl::Update() {
    CheckUpdatable();
    if (mode_ == EditMode::None) Throw(err::kUpdateWithoutAddNew);
    CheckRecordRules(buffer_);
    conn_->BeforeTableChangeKey(tableKey_);
    conn_->NoteWritten(table_);
    if (mode_ == EditMode::Add) {
        if (!insert_) {
            std::string marks;
            for (size_t i = 0; i < fields_.size(); ++i) marks += i ? ", ?" : "?";
            insert_ = conn_->Prepare("INSERT INTO " + conn_->Qualified(table_) + " (" +
                                     ColumnList() + ") VALUES (" + marks + ")");
        }
        for (size_t i = 0; i < fields_.size(); ++i)
            BindValue(insert_, static_cast<int>(i + 1), buffer_[i], fields_[i].type,
                      dateTexts_[i].data());
        conn_->StepWrite(insert_);
        int64_t rowid = sqlite3_last_insert_rowid(conn_->Db());
        if (autoField_ >= 0 && !buffer_[static_cast<size_t>(autoField_)].IsNull())
            conn_->NoteAutoNumber(table_, buffer_[static_cast<size_t>(autoField_)].IntValue());
        bool wasEof = keys_.empty() || savedPos_ >= static_cast<long>(keys_.size());
        if (!indexIgnoresNulls_ || HasIndexKey(buffer_)) {
            keys_.push_back(rowid);
            if (frozen_) frozenRows_.push_back(buffer_);
            if (positionsValid_) positions_[rowid] = static_cast<long>(keys_.size()) - 1;
        }
        mode_ = EditMode::None;
        // The record that was current before AddNew stays current.
        if (savedPos_ == -2) {
            currentGone_ = true;
        } else {
            pos_ = wasEof ? static_cast<long>(keys_.size()) : savedPos_;
            rowLoaded_ = false;
        }
        return;
    }
    if (!update_) {
        std::string sets;
        for (size_t i = 0; i < fields_.size(); ++i)
            sets += (i ? ", " : "") + QuoteIdent(fields_[i].name) + " = ?";
        update_ = conn_->Prepare("UPDATE " + conn_->Qualified(table_) + " SET " + sets + " WHERE " +
                                 rowid_ + " = ?");
    }
    for (size_t i = 0; i < fields_.size(); ++i)
        BindValue(update_, static_cast<int>(i + 1), buffer_[i], fields_[i].type,
                  dateTexts_[i].data());
    update_.Bind(static_cast<int>(fields_.size() + 1), keys_[static_cast<size_t>(pos_)]);
    if (conn_->StepWrite(update_) == 0) Throw(err::kRecordDeleted);
    if (frozen_) frozenRows_[static_cast<size_t>(pos_)] = buffer_;
    // The buffer keeps the old values' storage for the next Edit or AddNew to reuse.
    row_.swap(buffer_);
    rowLoaded_ = true;
    rowRead_ = 0; // as written, not as read back
    mode_ = EditMode::None;
}

void RecordsetImpl::Delete() {
    CheckUpdatable();
    CurrentRow();
    conn_->BeforeTableChange(table_);
    conn_->NoteWritten(table_);
    if (!delete_)
        delete_ =
            conn_->Prepare("DELETE FROM " + conn_->Qualified(table_) + " WHERE " + rowid_ + " = ?");
    delete_.Bind(1, keys_[static_cast<size_t>(pos_)]);
    if (conn_->StepWrite(delete_) == 0) Throw(err::kRecordDeleted);
    keys_.erase(static_cast<size_t>(pos_));
    if (frozen_) frozenRows_.erase(frozenRows_.begin() + pos_);
    positionsValid_ = false;
    currentGone_ = true;
    rowLoaded_ = false;
    mode_ = EditMode::None;
}

bool RecordsetImpl::HasIndexKey(const std::vector<Variant>& values) const {
    for (const auto& ic : indexColumns_)
        if (!values[FieldIndex(ic.field)].IsNull()) return true;
    return false;
}

void RecordsetImpl::Requery() {
    CheckOpen();
    mode_ = EditMode::None;
    BuildKeys();
    MoveTo(0, 1);
}

void RecordsetImpl::Close() {
    if (!open_) return;
    conn_->Unregister(this);
    open_ = false;
    AbandonStream();
    stream_ = Stmt();
    keys_.clear();
    frozenRows_.clear();
    fetch_ = Stmt();
    insert_ = Stmt();
    update_ = Stmt();
    delete_ = Stmt();
    seek_ = Stmt();
}

void RecordsetImpl::EnsurePositions() {
    CompleteKeys();
    if (positionsValid_) return;
    positions_.clear();
    positions_.reserve(keys_.size());
    for (size_t i = 0; i < keys_.size(); ++i) positions_.emplace(keys_[i], static_cast<long>(i));
    positionsValid_ = true;
}

long RecordsetImpl::PositionOf(int64_t rowid) {
    CompleteKeys();
    // Keys in few runs are searched run by run: no map of every key is built.
    if (keys_.Runs() <= kFewRuns) return keys_.Find(rowid);
    EnsurePositions();
    auto it = positions_.find(rowid);
    return it == positions_.end() ? -1 : it->second;
}

Bookmark RecordsetImpl::GetBookmark() const {
    CurrentRow();
    return keys_[static_cast<size_t>(pos_)];
}

void RecordsetImpl::SetBookmark(Bookmark b) {
    CheckOpen();
    long p = PositionOf(b);
    if (p < 0) Throw(err::kInvalidBookmark);
    mode_ = EditMode::None;
    currentGone_ = false;
    rowLoaded_ = false;
    pos_ = p;
    if (!LoadRow(static_cast<size_t>(p))) Throw(err::kRecordDeleted);
}

long RecordsetImpl::AbsolutePosition() const {
    CheckOpen();
    if (currentGone_ || pos_ < 0 || pos_ >= static_cast<long>(keys_.size())) return -1;
    return pos_;
}

void RecordsetImpl::SetAbsolutePosition(long p) {
    CheckOpen();
    if (p < 0 || !KnownBeyond(p)) Throw(err::kNoCurrentRecord);
    mode_ = EditMode::None;
    MoveTo(p, 1);
}

void RecordsetImpl::Find(std::string_view criteria, bool fromStart, bool forward) {
    CheckOpen();
    if (findCriteria_ != criteria || findGeneration_ != conn_->Generation()) {
        SqlCondition cond = TranslateCondition(criteria, Scope());
        Stmt s = conn_->Prepare("SELECT " + rowid_ + " FROM " + conn_->Qualified(table_) +
                                " WHERE " + cond.sql);
        for (size_t i = 0; i < cond.params.size(); ++i)
            BindParam(s, static_cast<int>(i + 1), cond.params[i]);
        findSet_.clear();
        while (s.Step()) findSet_.insert(s.Int(0));
        findCriteria_ = std::string(criteria);
        findGeneration_ = conn_->Generation();
    }
    CompleteKeys();
    long n = static_cast<long>(keys_.size());
    long start;
    if (fromStart) {
        start = forward ? 0 : n - 1;
    } else if (currentGone_) {
        start = forward ? pos_ : pos_ - 1;
    } else {
        start = forward ? pos_ + 1 : pos_ - 1;
    }
    for (long p = start; p >= 0 && p < n; p += forward ? 1 : -1) {
        if (findSet_.count(keys_[static_cast<size_t>(p)])) {
            noMatch_ = false;
            mode_ = EditMode::None;
            MoveTo(p, forward ? 1 : -1);
            return;
        }
    }
    noMatch_ = true;
}

void RecordsetImpl::SetIndex(const std::string& name) {
    CheckOpen();
    if (type_ != RecordsetType::Table) Throw(err::kOperationNotSupported);
    if (name.empty()) {
        indexName_.clear();
        indexColumns_.clear();
        indexIgnoresNulls_ = false;
    } else {
        const IndexInfo* ix = conn_->Table(table_).FindIndex(name);
        if (!ix) Throw(err::kIndexNotFound, name);
        indexName_ = ix->name;
        indexColumns_ = ix->columns;
        indexIgnoresNulls_ = ix->ignoreNulls;
    }
    seek_ = Stmt();
    seekKeys_ = 0;
    mode_ = EditMode::None;
    BuildKeys();
    MoveTo(0, 1);
}

void RecordsetImpl::Seek(std::string_view comparison, const std::vector<Variant>& keys) {
    CheckOpen();
    if (type_ != RecordsetType::Table) Throw(err::kOperationNotSupported);
    if (indexColumns_.empty()) Throw(err::kNoCurrentIndex);
    std::string op(comparison);
    while (!op.empty() && op.back() == ' ') op.pop_back();
    while (!op.empty() && op.front() == ' ') op.erase(0, 1);
    if (op != "=") Throw(err::kOperationNotSupported);
    if (keys.empty() || keys.size() > indexColumns_.size() || keys.size() > 10)
        Throw(err::kInvalidArgument);
    if (!seek_ || seekKeys_ != keys.size()) {
        seek_ = Stmt();
        // The record's values come with it: an Edit that follows needs no second read.
        std::string sql = "SELECT " + rowid_ + ", " + ColumnList() + " FROM " +
                          conn_->Qualified(table_) + " WHERE ";
        std::string orderSql;
        for (size_t i = 0; i < keys.size(); ++i)
            sql += (i ? " AND " : "") + QuoteIdent(indexColumns_[i].field) + " = ?";
        for (const auto& ic : indexColumns_)
            orderSql += QuoteIdent(ic.field) + (ic.descending ? " DESC, " : ", ");
        sql += " ORDER BY " + orderSql + rowid_ + " LIMIT 1";
        indexFields_.clear();
        for (const auto& ic : indexColumns_) indexFields_.push_back(FieldIndex(ic.field));
        seek_ = conn_->Prepare(sql);
        seekKeys_ = keys.size();
    }
    seekValues_.resize(keys.size());
    for (size_t i = 0; i < keys.size(); ++i) {
        const FieldInfo& f = fields_[indexFields_[i]];
        CoerceForFieldInto(keys[i], f, seekValues_[i]);
        BindValue(seek_, static_cast<int>(i + 1), seekValues_[i], f.type);
    }
    mode_ = EditMode::None;
    if (!seek_.Step()) {
        seek_.Reset();
        noMatch_ = true;
        return;
    }
    const int64_t rowid = seek_.Int(0);
    row_.resize(fields_.size());
    for (size_t c = 0; c < fields_.size(); ++c)
        ReadValueInto(seek_, static_cast<int>(c + 1), fields_[c].type, row_[c]);
    seek_.Reset();
    long p = PositionOf(rowid);
    if (p < 0) {
        // Added through another recordset after this one was opened.
        keys_.push_back(rowid);
        p = static_cast<long>(keys_.size()) - 1;
        if (positionsValid_) positions_[rowid] = p;
    }
    noMatch_ = false;
    pos_ = p;
    currentGone_ = false;
    rowLoaded_ = true;
    rowRead_ = conn_->Sql().TransactionSerial();
}

} // namespace engine::detail
