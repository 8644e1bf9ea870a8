// frmMdbCpy: the two field grids and the links between target and source fields. The links'
// rules are the core's (core/ImportLinks.h); the grids show ten work rows each, a target row
// is selected by a click, and a click on a source row then links the two.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalBlocker>

#include "QtText.h"
#include "core/ImportLinks.h"
#include "core/TextRules.h"
#include "engine/error.h"
#include "frmMdbCpy.h"
#include "modules/WindowPrompts.h"
#include "modules/WorkStore.h"

namespace tavorin {
using engine::Variant;

namespace {

std::string TextOf(engine::Recordset& rs, const char* column) {
    return engine::TextOf(rs.Value(column));
}

long NumberOf(engine::Recordset& rs, const char* column) {
    const Variant& v = rs.Value(column);
    return v.IsNull() || v.IsEmpty() ? 0 : engine::CLng(v);
}

} // namespace

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
        if (!FindWorkRow(rs, first + row)) continue;
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
        FindWorkRow(Work(kTarget), target.SelectedRow + target.FirstRow);
        return;
    }
    const bool chosen = target.SelectedRow >= 0;
    if (chosen) {
        source.SelectedRow = (index - 50) / 4;
        PaintRow(kTarget, target.SelectedRow, NormalColour(kSource));
    }
    WindowPrompts prompts(App.Platform);
    if (!LinkRows(*App.Store.Ws, Work(kTarget), Work(kSource),
                  chosen ? target.SelectedRow + target.FirstRow : 0,
                  source.SelectedRow + source.FirstRow, prompts))
        return;
    CFLDDSP(kSource, source.FirstRow);
    QLineEdit* linkCell = Text3[static_cast<size_t>(5 * target.SelectedRow + 4)];
    linkCell->setText(Q(TextOf(Work(kSource), "FLD02")));
    linkCell->setCursorPosition(0);
}

void frmMdbCpy::mnCpyJoint_Click() {
    LinkSameNames(*App.Store.Ws, Work(kTarget), Work(kSource));
    CFLDDSP(kTarget, Sides[kTarget].FirstRow);
    CFLDDSP(kSource, Sides[kSource].FirstRow);
}

void frmMdbCpy::mnCpyJointNo_Click() {
    UnlinkSameNames(*App.Store.Ws, Work(kTarget), Work(kSource));
    CFLDDSP(kTarget, Sides[kTarget].FirstRow);
    CFLDDSP(kSource, Sides[kSource].FirstRow);
}

void frmMdbCpy::mnCpyJointCan_Click() {
    const Side& target = Sides[kTarget];
    if (target.SelectedRow < 0) return;
    // Only the row on the selected line: a line without a row unlinks nothing.
    if (!UnlinkRow(*App.Store.Ws, Work(kTarget), Work(kSource),
                   target.SelectedRow + target.FirstRow))
        return;
    CFLDDSP(kTarget, target.FirstRow);
    CFLDDSP(kSource, Sides[kSource].FirstRow);
}

void frmMdbCpy::mnCpyJointCanAll_Click() {
    UnlinkAll(*App.Store.Ws, Work(kTarget), Work(kSource));
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
