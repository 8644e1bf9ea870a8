// frmMdbCpy: the two field grids and the links between target and source fields.
//
// Links live in the target's work rows (FLD05 name, FLD06 type, FLD07 size of the linked source
// field); a source work row's FLD05 is 1 while at least one target row links to it. The grids
// show ten work rows each; a target row is selected by a click, and a click on a source row then
// links the two.
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalBlocker>

#include "engine/error.h"
#include "frmMdbCpy.h"
#include "modules/FuncUtility.h"
#include "modules/WorkStore.h"
#include "platform/prompts.h"

namespace tavorin {
using engine::Variant;

namespace {

QString Q(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

std::string Trimmed(const std::string& s) {
    const size_t a = s.find_first_not_of(' ');
    if (a == std::string::npos) return {};
    return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

std::string TextOf(engine::Recordset& rs, const char* column) {
    return engine::TextOf(rs.Value(column));
}

long NumberOf(engine::Recordset& rs, const char* column) {
    const Variant& v = rs.Value(column);
    return v.IsNull() || v.IsEmpty() ? 0 : engine::CLng(v);
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

// ---- Colours and cells ---------------------------------------------------------------------

QColor frmMdbCpy::NormalColour(int side) const {
    // The host's &HC0FFFF (light yellow) and &HC0C0 (olive), written blue-green-red.
    return side == kTarget ? QColor(0xFF, 0xFF, 0xC0) : QColor(0xC0, 0xC0, 0x00);
}

QColor frmMdbCpy::HighlightColour(int side) const {
    return NormalColour(side == kTarget ? kSource : kTarget);
}

void frmMdbCpy::PaintRow(int side, int row, const QColor& colour) {
    const int first = side == kTarget ? 5 * row : 50 + 4 * row;
    const int count = side == kTarget ? 5 : 4;
    for (int i = first; i < first + count; ++i) {
        QLineEdit* cell = Text3[static_cast<size_t>(i)];
        QPalette palette = cell->palette();
        palette.setColor(QPalette::Base, colour);
        palette.setColor(QPalette::Window, colour);
        cell->setPalette(palette);
    }
}

bool frmMdbCpy::FindWorkRow(int side, int32_t rowNumber) {
    engine::Recordset& rs = Work(side);
    rs.FindFirst("FLD08 = " + std::to_string(rowNumber));
    return !rs.NoMatch();
}

// ---- Grids ---------------------------------------------------------------------------------

void frmMdbCpy::CFLDDSP(int side, int32_t first) {
    engine::Recordset& rs = Work(side);
    const int base = side == kTarget ? 0 : 50;
    const int width = side == kTarget ? 5 : 4;
    for (int row = 0; row < kGridLines; ++row) {
        for (int k = 0; k < width; ++k) Text3[static_cast<size_t>(base + width * row + k)]->clear();
        PaintRow(side, row, NormalColour(side));
    }
    const bool positioned = !rs.Bof() && !rs.Eof();
    const engine::Bookmark mark = positioned ? rs.GetBookmark() : 0;
    for (int row = 0; row < kGridLines; ++row) {
        if (!FindWorkRow(side, first + row)) continue;
        auto cell = [&](int k) { return Text3[static_cast<size_t>(base + width * row + k)]; };
        cell(0)->setText(Q(TextOf(rs, "FLD01")));
        cell(1)->setText(Q(TextOf(rs, "FLD02")));
        cell(2)->setText(Q(TextOf(rs, "FLD03")));
        cell(3)->setText(Q(FixWidth(rs.Value("FLD04"), "####")));
        for (int k = 0; k < width; ++k) cell(k)->setCursorPosition(0);
        if (side == kTarget) {
            cell(4)->setText(Q(TextOf(rs, "FLD05")));
            cell(4)->setCursorPosition(0);
        } else if (NumberOf(rs, "FLD05") > 0) {
            PaintRow(side, row, HighlightColour(side));
        }
    }
    if (positioned) rs.SetBookmark(mark);
}

void frmMdbCpy::CScrolSet(int side, int32_t position) {
    const int32_t n = Sides[static_cast<size_t>(side)].FieldCount;
    QScrollBar* bar = VScroll1[side];
    // The grid is redrawn by the caller; the bar only follows.
    const QSignalBlocker quiet(bar);
    bar->setMinimum(0);
    bar->setMaximum(n < 2 ? 1 : n - 1);
    bar->setPageStep(n > 9 ? 10 : (n >= 2 ? n - 1 : 1));
    bar->setSingleStep(1);
    bar->setValue(position);
}

void frmMdbCpy::VScroll1_Change(int side) {
    Side& s = Sides[static_cast<size_t>(side)];
    int32_t v = VScroll1[side]->value();
    if (s.FieldCount > 0 && v + 1 > s.FieldCount) v = s.FieldCount - 1;
    s.FirstRow = v + 1;
    CFLDDSP(side, s.FirstRow);
}

// ---- Selecting and linking -----------------------------------------------------------------

void frmMdbCpy::Text3_Click(int index) {
    Side& target = Sides[kTarget];
    Side& source = Sides[kSource];
    if (index < 50) {
        if (target.SelectedRow >= 0) PaintRow(kTarget, target.SelectedRow, NormalColour(kTarget));
        target.SelectedRow = index / 5;
        PaintRow(kTarget, target.SelectedRow, HighlightColour(kTarget));
        Work(kTarget).FindFirst("FLD08= " + std::to_string(target.SelectedRow + target.FirstRow));
        return;
    }
    if (target.SelectedRow < 0) {
        platform::MsgBox(QString::fromUtf8("移入先のフィールドが選択されていません。"));
        return;
    }
    source.SelectedRow = (index - 50) / 4;
    PaintRow(kTarget, target.SelectedRow, NormalColour(kSource));
    Work(kTarget).FindFirst("FLD08= " + std::to_string(target.SelectedRow + target.FirstRow));
    if (Work(kTarget).NoMatch()) return;
    Work(kSource).FindFirst("FLD08 = " + std::to_string(source.SelectedRow + source.FirstRow));
    if (Work(kSource).NoMatch()) return;
    engine::TransactionGuard batch(*Ws);
    LinkTargetRow();
    batch.Commit();
    CFLDDSP(kSource, source.FirstRow);
    QLineEdit* linkCell = Text3[static_cast<size_t>(5 * target.SelectedRow + 4)];
    linkCell->setText(Q(TextOf(Work(kSource), "FLD02")));
    linkCell->setCursorPosition(0);
}

void frmMdbCpy::LinkTargetRow() {
    engine::Recordset& target = Work(kTarget);
    engine::Recordset& source = Work(kSource);
    UnlinkTargetRow();
    target.Edit();
    target.SetValue("FLD05", source.Value("FLD02"));
    target.SetValue("FLD06", source.Value("FLD03"));
    target.SetValue("FLD07", source.Value("FLD04"));
    target.Update();
    SetMark(source, 1);
}

void frmMdbCpy::UnlinkTargetRow() {
    engine::Recordset& target = Work(kTarget);
    engine::Recordset& source = Work(kSource);
    const std::string oldName = TextOf(target, "FLD05");
    ClearLink(target);
    const engine::Bookmark targetMark = target.GetBookmark();
    target.FindFirst("FLD05 =  " + QuotedText(oldName));
    if (target.NoMatch() && !Trimmed(oldName).empty()) {
        const bool positioned = !source.Bof() && !source.Eof();
        const engine::Bookmark sourceMark = positioned ? source.GetBookmark() : 0;
        source.FindFirst("FLD02 =  " + QuotedText(oldName));
        if (!source.NoMatch()) SetMark(source, 0);
        if (positioned) source.SetBookmark(sourceMark);
    }
    target.SetBookmark(targetMark);
}

void frmMdbCpy::mnCpyJoint_Click() {
    engine::Recordset& target = Work(kTarget);
    engine::Recordset& source = Work(kSource);
    engine::TransactionGuard batch(*Ws);
    if (!source.Bof() || !source.Eof()) {
        for (source.MoveFirst(); !source.Eof(); source.MoveNext()) {
            target.FindFirst("FLD02 = " + QuotedText(TextOf(source, "FLD02")));
            if (!target.NoMatch()) LinkTargetRow();
        }
    }
    batch.Commit();
    CFLDDSP(kTarget, Sides[kTarget].FirstRow);
    CFLDDSP(kSource, Sides[kSource].FirstRow);
}

void frmMdbCpy::mnCpyJointNo_Click() {
    engine::Recordset& target = Work(kTarget);
    engine::Recordset& source = Work(kSource);
    engine::TransactionGuard batch(*Ws);
    if (!source.Bof() || !source.Eof()) {
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
    CFLDDSP(kTarget, Sides[kTarget].FirstRow);
    CFLDDSP(kSource, Sides[kSource].FirstRow);
}

void frmMdbCpy::mnCpyJointCan_Click() {
    const Side& target = Sides[kTarget];
    if (target.SelectedRow < 0) return;
    // Only the row on the selected line: a line without a row unlinks nothing.
    if (!FindWorkRow(kTarget, target.SelectedRow + target.FirstRow)) return;
    engine::TransactionGuard batch(*Ws);
    UnlinkTargetRow();
    batch.Commit();
    CFLDDSP(kTarget, target.FirstRow);
    CFLDDSP(kSource, Sides[kSource].FirstRow);
}

void frmMdbCpy::mnCpyJointCanAll_Click() {
    engine::Recordset& target = Work(kTarget);
    engine::Recordset& source = Work(kSource);
    engine::TransactionGuard batch(*Ws);
    if (!target.Bof() || !target.Eof())
        for (target.MoveFirst(); !target.Eof(); target.MoveNext()) ClearLink(target);
    if (!source.Bof() || !source.Eof())
        for (source.MoveFirst(); !source.Eof(); source.MoveNext()) SetMark(source, 0);
    batch.Commit();
    CFLDDSP(kTarget, Sides[kTarget].FirstRow);
    CFLDDSP(kSource, Sides[kSource].FirstRow);
}

void frmMdbCpy::Check1_Click() {
    if (Check1->isChecked())
        mnCpyJoint_Click();
    else
        mnCpyJointNo_Click();
}

// ---- Focus and keys ------------------------------------------------------------------------

void frmMdbCpy::Text3_GotFocus(int) {
    Label2->setText(QString::fromUtf8("移入元から連結フィールドをクリックして下さい。"));
}

bool frmMdbCpy::Text3_KeyDown(int index, int key) {
    const int side = index < 50 ? kTarget : kSource;
    Side& s = Sides[static_cast<size_t>(side)];
    const int width = side == kTarget ? 5 : 4;
    const int first = side == kTarget ? 0 : 50;
    const int last = side == kTarget ? 49 : 89;
    auto scrollBy = [&](int delta) {
        s.FirstRow += delta;
        CFLDDSP(side, s.FirstRow);
        const QSignalBlocker quiet(VScroll1[side]);
        VScroll1[side]->setValue(s.FirstRow - 1);
    };
    switch (key) {
    case Qt::Key_Up:
        if (index - width >= first)
            Text3[static_cast<size_t>(index - width)]->setFocus();
        else if (s.FirstRow >= 2)
            scrollBy(-1);
        return true;
    case Qt::Key_Down:
        if (index + width <= last)
            Text3[static_cast<size_t>(index + width)]->setFocus();
        else if (s.FirstRow < s.FieldCount)
            scrollBy(1);
        return true;
    case Qt::Key_Delete:
        if (side != kTarget) return false;
        mnCpyJointCan_Click();
        return true;
    default:
        return false;
    }
}

} // namespace tavorin
