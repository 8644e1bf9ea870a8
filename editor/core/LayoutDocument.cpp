// The rows of the layout document and the line editing over them.
#include "core/LayoutDocument.h"

#include "core/FieldLines.h"
#include "core/TypeVocabulary.h"
#include "engine/error.h"
#include "engine/transaction_guard.h"
#include "engine/variant.h"
#include "engine/workspace.h"

namespace tavorin {

using engine::Variant;

namespace {

std::string TextAt(const engine::Recordset& rs, const char* field) {
    return engine::TextOf(rs.Value(field));
}

int16_t IntegerAt(const engine::Recordset& rs, const char* field) {
    const Variant& v = rs.Value(field);
    return v.IsNull() || v.IsEmpty() ? int16_t{0} : engine::CInt(v);
}

std::string RowCriteria(int32_t row) {
    return "FLD01= " + std::to_string(row);
}

// Puts the work rows back as they were before a change that failed: the record being added or
// edited dropped, the change's transaction rolled back, the rows read again.
void UndoRowChange(engine::Recordset& rs, engine::TransactionGuard& change) {
    if (rs.EditMode() != engine::EditMode::None) rs.CancelUpdate();
    if (change.Active()) change.Rollback();
    rs.Requery();
}

const char* const kKeyFields[6] = {"FLD06", "FLD07", "FLD08", "FLD09", "FLD10", "FLD11"};

RowBufferType ReadRow(const engine::Recordset& rs) {
    RowBufferType row;
    row.RowNo = engine::CLng(rs.Value("FLD01"));
    row.Name = TextAt(rs, "FLD02");
    row.TypeName = TextAt(rs, "FLD03");
    row.Size = IntegerAt(rs, "FLD04");
    row.Repeat = TextAt(rs, "FLD05");
    for (size_t k = 0; k < 6; ++k) row.Keys[k] = TextAt(rs, kKeyFields[k]);
    row.Description = TextAt(rs, "FLD12");
    row.LoadedName = TextAt(rs, "FLD13");
    row.LoadedType = TextAt(rs, "FLD14");
    row.LoadedSize = IntegerAt(rs, "FLD15");
    row.LoadedRepeat = TextAt(rs, "FLD16");
    row.Exists = 1;
    return row;
}

void WriteRow(engine::Recordset& rs, int32_t rowNo, const RowBufferType& row) {
    rs.SetValue("FLD01", Variant::Long(rowNo));
    rs.SetValue("FLD02", Variant(row.Name));
    rs.SetValue("FLD03", Variant(row.TypeName));
    rs.SetValue("FLD04", Variant::Integer(row.Size));
    rs.SetValue("FLD05", Variant(row.Repeat));
    for (size_t k = 0; k < 6; ++k) rs.SetValue(kKeyFields[k], Variant(row.Keys[k]));
    rs.SetValue("FLD12", Variant(row.Description));
    rs.SetValue("FLD13", Variant(row.LoadedName));
    rs.SetValue("FLD14", Variant(row.LoadedType));
    rs.SetValue("FLD15", Variant::Integer(row.LoadedSize));
    rs.SetValue("FLD16", Variant(row.LoadedRepeat));
}

} // namespace

LayoutDocument::LayoutDocument(engine::Workspace& ws, engine::DatabasePtr& workDb,
                               engine::RecordsetPtr& rows, const DesignerDefaults& defaults)
    : ws_(ws), workDb_(workDb), rows_(rows), defaults_(defaults) {}

// ---- The row buffer ----------------------------------------------------------------------------

bool LayoutDocument::RowBufferOp(std::string_view command) {
    engine::Recordset& rs = Rows();
    bool rangeChanged = false;
    if (SameText(command, "GET")) {
        rs.FindFirst(RowCriteria(CurRow));
        if (!rs.NoMatch()) {
            RowBuffer = ReadRow(rs);
        } else {
            RowBuffer = RowBufferType{};
            RowBuffer.RowNo = CurRow;
        }
    } else if (SameText(command, "PUT")) {
        rs.FindFirst(RowCriteria(CurRow));
        if (rs.NoMatch())
            rs.AddNew();
        else
            rs.Edit();
        WriteRow(rs, CurRow, RowBuffer);
        rs.Update();
        RowBuffer.RowNo = CurRow;
        if (CurRow > LastRow) {
            LastRow = CurRow;
            rangeChanged = true;
        }
        rs.Requery();
    } else if (SameText(command, "DEL")) {
        rs.FindFirst(RowCriteria(CurRow));
        if (!rs.NoMatch()) rs.Delete();
        rs.Requery();
        if (CurRow == LastRow) {
            LastRow = 0;
            if (!(rs.Eof() && rs.Bof())) {
                rs.MoveLast();
                LastRow = engine::CLng(rs.Value("FLD01"));
            }
            rangeChanged = true;
        }
    } else if (SameText(command, "SAV")) {
        ClipRow = RowBuffer;
    } else if (SameText(command, "STR")) {
        const int32_t rowNo = RowBuffer.RowNo;
        RowBuffer = ClipRow;
        RowBuffer.RowNo = rowNo;
    }
    return rangeChanged;
}

bool LayoutDocument::RowExists(int32_t row) {
    Rows().FindFirst(RowCriteria(row));
    return !Rows().NoMatch();
}

std::optional<RowBufferType> LayoutDocument::RowAt(int32_t row) {
    if (!RowExists(row)) return std::nullopt;
    return ReadRow(Rows());
}

void LayoutDocument::ResetLayout() {
    CurrentTable.clear();
    TableDesc.clear();
    CurRow = 0;
    // The work table is empty now, so no row is in use either.
    LastRow = 0;
    RowBuffer = RowBufferType{};
    LayoutChanged = 0;
    TopRow = 1;
    LineEditMode = 0;
    LastLineEdit = 0;
}

// ---- Line editing ------------------------------------------------------------------------------

// Checked again when the command runs, since the row in edit may have changed since a view
// offered the command.
bool LayoutDocument::LineEditAllowed(int16_t mode) {
    if (CurRow == 0) return false;
    const bool exists = RowExists(CurRow);
    switch (mode) {
    case kLineCut:
    case kLineCopy:
    case kLineMove:
        return exists && LastLineEdit != kLineMove;
    case kLinePaste:
        return LastLineEdit >= 1;
    case kLineDelete:
    case kLineInsert:
        return exists;
    default:
        return false;
    }
}

LayoutDocument::LineEditOutcome LayoutDocument::RunLineEdit() {
    LineEditOutcome outcome;
    if (CurRow == 0 || !LineEditAllowed(LineEditMode)) return outcome;
    outcome.ran = true;
    LayoutChanged = 9;
    switch (LineEditMode) {
    case kLineCut:
    case kLineCopy:
    case kLineMove:
        RowBufferOp("SAV");
        if (LineEditMode != kLineMove) {
            // A cut or copied row is pasted as a new field: no keys, no description, and no
            // old field whose data a save would carry into it.
            ClipRow.Keys.fill(std::string());
            ClipRow.Description.clear();
            ClipRow.LoadedName.clear();
            ClipRow.LoadedType.clear();
            ClipRow.LoadedSize = 0;
            ClipRow.LoadedRepeat.clear();
        }
        if (LineEditMode != kLineCopy) {
            outcome.rowRangeChanged = RowBufferOp("DEL");
            // The buffer now holds the empty line, so that typing there starts a new row
            // instead of bringing the removed one back.
            RowBufferOp("GET");
        }
        LastLineEdit = LineEditMode;
        break;
    case kLinePaste:
        RowBufferOp("STR");
        outcome.rowRangeChanged = RowBufferOp("PUT");
        if (LastLineEdit == kLineMove) LastLineEdit = 0; // a moved row is pasted once
        break;
    case kLineDelete:
        outcome.rowRangeChanged = RowBufferOp("DEL");
        RowBufferOp("GET");
        break;
    case kLineInsert:
        if (LastRow >= CurRow) outcome.rowRangeChanged = InsertEmptyRow();
        break;
    default:
        break;
    }
    return outcome;
}

// From the last row backwards, so that the unique row numbers never collide.
bool LayoutDocument::InsertEmptyRow() {
    engine::Recordset& rs = Rows();
    rs.Requery();
    if (rs.Eof()) return false;
    rs.MoveLast();
    const int32_t last = engine::CLng(rs.Value("FLD01"));
    engine::TransactionGuard renumber(ws_);
    try {
        while (!rs.Bof()) {
            const int32_t row = engine::CLng(rs.Value("FLD01"));
            if (row < CurRow) break;
            rs.Edit();
            rs.SetValue("FLD01", Variant::Long(row + 1));
            rs.Update();
            rs.MovePrevious();
        }
        renumber.Commit();
    } catch (...) {
        UndoRowChange(rs, renumber);
        throw;
    }
    rs.Requery();
    LastRow = last + 1;
    RowBufferOp("GET");
    return true;
}

int32_t LayoutDocument::AppendFieldRows(const std::vector<FieldLine>& lines) {
    engine::Recordset& rs = Rows();
    rs.Requery();
    int32_t nextRow = 1;
    if (!(rs.Eof() && rs.Bof())) {
        rs.MoveLast();
        nextRow = engine::CLng(rs.Value("FLD01")) + 1;
    }
    engine::TransactionGuard append(ws_);
    try {
        for (const FieldLine& line : lines) {
            rs.AddNew();
            rs.SetValue("FLD01", Variant::Long(nextRow));
            rs.SetValue("FLD02", Variant(line.Name));
            rs.SetValue("FLD03", Variant(line.TypeName));
            rs.SetValue("FLD04", Variant::Integer(line.Size));
            rs.SetValue("FLD05", Variant(line.Repeat));
            for (const char* column : {"FLD06", "FLD07", "FLD08", "FLD09", "FLD10", "FLD11"})
                rs.SetValue(column, Variant(""));
            rs.SetValue("FLD12", Variant(line.Description));
            for (const char* column : {"FLD13", "FLD14", "FLD16"}) rs.SetValue(column, Variant(""));
            rs.Update();
            ++nextRow;
        }
        append.Commit();
    } catch (...) {
        UndoRowChange(rs, append);
        throw;
    }
    rs.Requery();
    return nextRow;
}

} // namespace tavorin
