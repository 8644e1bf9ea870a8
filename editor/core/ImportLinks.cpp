#include "core/ImportLinks.h"

#include "core/Criteria.h"
#include "core/TextRules.h"
#include "core/UserPrompts.h"
#include "engine/recordset.h"
#include "engine/transaction_guard.h"
#include "engine/workspace.h"

namespace tavorin {
using engine::Variant;

namespace {

std::string TextOf(engine::Recordset& rs, const char* column) {
    return engine::TextOf(rs.Value(column));
}

bool HasRows(engine::Recordset& rs) {
    return !rs.Bof() || !rs.Eof();
}

void ClearLink(engine::Recordset& target) {
    target.Edit();
    target.SetValue("FLD05", Variant(""));
    target.SetValue("FLD06", Variant(""));
    target.SetValue("FLD07", Variant::Integer(0));
    target.Update();
}

void SetMark(engine::Recordset& source, int16_t mark) {
    source.Edit();
    source.SetValue("FLD05", Variant::Integer(mark));
    source.Update();
}

} // namespace

bool FindWorkRow(engine::Recordset& rows, int32_t rowNumber) {
    rows.FindFirst("FLD08 = " + std::to_string(rowNumber));
    return !rows.NoMatch();
}

void LinkTargetRow(engine::Recordset& target, engine::Recordset& source) {
    UnlinkTargetRow(target, source);
    target.Edit();
    target.SetValue("FLD05", source.Value("FLD02"));
    target.SetValue("FLD06", source.Value("FLD03"));
    target.SetValue("FLD07", source.Value("FLD04"));
    target.Update();
    SetMark(source, 1);
}

void UnlinkTargetRow(engine::Recordset& target, engine::Recordset& source) {
    const std::string oldName = TextOf(target, "FLD05");
    ClearLink(target);
    const engine::Bookmark targetMark = target.GetBookmark();
    target.FindFirst("FLD05 =  " + QuotedText(oldName));
    if (target.NoMatch() && !TrimBlanks(oldName).empty()) {
        const bool positioned = !source.Bof() && !source.Eof();
        const engine::Bookmark sourceMark = positioned ? source.GetBookmark() : 0;
        source.FindFirst("FLD02 =  " + QuotedText(oldName));
        if (!source.NoMatch()) SetMark(source, 0);
        if (positioned) source.SetBookmark(sourceMark);
    }
    target.SetBookmark(targetMark);
}

bool LinkRows(engine::Workspace& ws, engine::Recordset& target, engine::Recordset& source,
              int32_t targetRow, int32_t sourceRow, UserPrompts& prompts) {
    if (targetRow < 1) {
        prompts.Say("移入先のフィールドが選択されていません。");
        return false;
    }
    if (!FindWorkRow(target, targetRow) || !FindWorkRow(source, sourceRow)) return false;
    engine::TransactionGuard batch(ws);
    LinkTargetRow(target, source);
    batch.Commit();
    return true;
}

bool UnlinkRow(engine::Workspace& ws, engine::Recordset& target, engine::Recordset& source,
               int32_t targetRow) {
    if (!FindWorkRow(target, targetRow)) return false;
    engine::TransactionGuard batch(ws);
    UnlinkTargetRow(target, source);
    batch.Commit();
    return true;
}

void LinkSameNames(engine::Workspace& ws, engine::Recordset& target, engine::Recordset& source) {
    engine::TransactionGuard batch(ws);
    if (HasRows(source)) {
        for (source.MoveFirst(); !source.Eof(); source.MoveNext()) {
            target.FindFirst("FLD02 = " + QuotedText(TextOf(source, "FLD02")));
            if (!target.NoMatch()) LinkTargetRow(target, source);
        }
    }
    batch.Commit();
}

void UnlinkSameNames(engine::Workspace& ws, engine::Recordset& target, engine::Recordset& source) {
    engine::TransactionGuard batch(ws);
    if (HasRows(source)) {
        for (source.MoveFirst(); !source.Eof(); source.MoveNext()) {
            const std::string criteria = "FLD05 = " + QuotedText(TextOf(source, "FLD02"));
            target.FindFirst(criteria);
            if (!target.NoMatch()) ClearLink(target);
            // The mark stays while another target row still takes this field.
            target.FindFirst(criteria);
            SetMark(source, target.NoMatch() ? 0 : 1);
        }
    }
    batch.Commit();
}

void UnlinkAll(engine::Workspace& ws, engine::Recordset& target, engine::Recordset& source) {
    engine::TransactionGuard batch(ws);
    if (HasRows(target))
        for (target.MoveFirst(); !target.Eof(); target.MoveNext()) ClearLink(target);
    if (HasRows(source))
        for (source.MoveFirst(); !source.Eof(); source.MoveNext()) SetMark(source, 0);
    batch.Commit();
}

} // namespace tavorin
