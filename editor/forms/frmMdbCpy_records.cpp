// frmMdbCpy: the record view. In the grids' place it shows one side's records, ten records by
// seven fields at a time in primary-key order, with a record number column; the scroll bars
// move through the fields and the records. A side's view stays open, keeping its position,
// until "構成" for that side, another table or file, or an import run closes it.
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>

#include "engine/error.h"
#include "engine/workspace.h"
#include "frmMdbCpy.h"
#include "modules/FuncUtility.h"
#include "modules/WorkStore.h"

namespace tavorin {
using engine::Variant;

namespace {

// Min 0; Max 1 below two items, else the last 0-based position; a page of ten, or of one less
// than a shorter list.
void SetScrollRange(QScrollBar* bar, long n, long position) {
    const int count = static_cast<int>(std::min<long>(n, INT32_MAX));
    bar->setMinimum(0);
    bar->setMaximum(count < 2 ? 1 : count - 1);
    bar->setPageStep(count > 9 ? 10 : (count >= 2 ? count - 1 : 1));
    bar->setSingleStep(1);
    bar->setValue(static_cast<int>(position));
}

} // namespace

void frmMdbCpy::CloseRecordView(int side) {
    Side& s = Sides[static_cast<size_t>(side)];
    if (s.ViewRs) {
        s.ViewRs->Close();
        s.ViewRs.reset();
    }
    s.Db.reset();
    s.ViewState = 0;
}

void frmMdbCpy::Command1_Click(int index) {
    if (index < 2) {
        ShownSide = index;
        CloseRecordView(index);
        ShowGridFrame(true);
        return;
    }
    const int side = index - 2;
    Side& s = Sides[static_cast<size_t>(side)];
    ShownSide = side;
    if (s.TableName.empty() || s.File.FullPath.empty()) return;
    ShowGridFrame(false);
    if (s.ViewState == 0) {
        try {
            s.Db = App.Store.Ws->OpenDatabase(s.File.FullPath);
            std::string order;
            engine::TableDefPtr table = s.Db->TableDefs().Item(s.TableName);
            for (const engine::IndexPtr& ix : table->Indexes()) {
                if (!ix->Primary()) continue;
                for (const engine::FieldPtr& member : ix->Fields())
                    order +=
                        (order.empty() ? std::string(" ORDER BY ") + " " : std::string(" , ")) +
                        Bracketed(member->Name());
                break;
            }
            s.ViewRs = s.Db->OpenRecordset("SELECT * FROM " + Bracketed(s.TableName) + order,
                                           engine::RecordsetType::Snapshot);
            s.ViewState = 9;
            s.FirstField = 1;
            s.FirstRecord = 1;
            s.RecordCount = 0;
            if (!s.ViewRs->Eof()) {
                s.ViewRs->MoveLast();
                s.RecordCount = s.ViewRs->RecordCount();
                s.ViewRs->MoveFirst();
                s.FirstBookmark = s.ViewRs->GetBookmark();
            }
        } catch (...) {
            // A table that cannot be read: its grid comes back, the message follows.
            CloseRecordView(side);
            ShowGridFrame(true);
            throw;
        }
    }
    ShowFieldHeadings();
    RecordTitle->setText(
        QString::fromUtf8(side == kTarget ? "移入先テーブル：　" : "移入元テーブル：　") +
        QString::fromStdString(s.TableName));
    ScrollSetup = true;
    CScrolHead(side, s.FirstField - 1);
    CScrolRec(side, s.FirstRecord - 1);
    ScrollSetup = false;
    ShowRecords();
}

void frmMdbCpy::CScrolHead(int side, int32_t position) {
    SetScrollRange(HScroll1, Sides[static_cast<size_t>(side)].FieldCount, position);
}

void frmMdbCpy::CScrolRec(int side, int32_t position) {
    SetScrollRange(VScroll2, Sides[static_cast<size_t>(side)].RecordCount, position);
}

void frmMdbCpy::ShowFieldHeadings() {
    Side& s = Sides[static_cast<size_t>(ShownSide)];
    for (int k = 1; k < kRecordColumns; ++k) Label6[k]->clear();
    engine::Recordset& rows = Work(ShownSide);
    rows.FindFirst("FLD08 = " + std::to_string(s.FirstField));
    if (rows.NoMatch()) return;
    for (int k = 1; k < kRecordColumns && !rows.Eof(); ++k) {
        Label6[k]->setText(QString::fromStdString(engine::TextOf(rows.Value("FLD02"))));
        rows.MoveNext();
    }
}

void frmMdbCpy::ShowRecords() {
    for (QLineEdit* cell : Text4) {
        cell->clear();
        cell->setToolTip(QString());
    }
    Side& s = Sides[static_cast<size_t>(ShownSide)];
    if (s.RecordCount == 0 || !s.ViewRs) return;
    engine::Recordset& rs = *s.ViewRs;
    rs.SetBookmark(s.FirstBookmark);
    for (int r = 0; r < kGridLines && !rs.Eof(); ++r) {
        // Five places, right-aligned; a number past them is shown whole rather than cut.
        const int32_t number = s.FirstRecord + r;
        Text4[static_cast<size_t>(kRecordColumns * r)]->setText(QString::fromStdString(
            number > 99999 ? std::to_string(number) : FixWidth(Variant::Long(number), "#####")));
        for (int k = 1; k < kRecordColumns; ++k) {
            const QString heading = Label6[k]->text();
            if (heading.isEmpty()) continue;
            const Variant& v = rs.Value(heading.toStdString());
            if (v.IsNull()) continue;
            // The cell shows what fits; the whole value is in its tooltip.
            QLineEdit* cell = Text4[static_cast<size_t>(kRecordColumns * r + k)];
            const QString text = QString::fromStdString(engine::TextOf(v));
            cell->setText(text);
            cell->setCursorPosition(0);
            cell->setToolTip(text);
        }
        if (r < kGridLines - 1) rs.MoveNext();
    }
}

void frmMdbCpy::HScroll1_Change() {
    if (ScrollSetup) return;
    Side& s = Sides[static_cast<size_t>(ShownSide)];
    if (s.ViewState != 9) return;
    int32_t v = HScroll1->value();
    if (s.FieldCount > 0 && v + 1 > s.FieldCount) v = s.FieldCount - 1;
    s.FirstField = v + 1;
    ShowFieldHeadings();
    ShowRecords();
}

void frmMdbCpy::VScroll2_Change() {
    if (ScrollSetup) return;
    Side& s = Sides[static_cast<size_t>(ShownSide)];
    if (s.ViewState != 9 || !s.ViewRs) return;
    engine::Recordset& rs = *s.ViewRs;
    if (s.RecordCount == 0 || (rs.Bof() && rs.Eof())) {
        ShowRecords();
        return;
    }
    const long v = std::min<long>(VScroll2->value(), s.RecordCount - 1);
    // The record at position v becomes the first shown (a jump rather than a walk of v steps).
    try {
        rs.SetAbsolutePosition(v);
        s.FirstRecord = static_cast<int32_t>(v + 1);
    } catch (const engine::Error&) {
        rs.MoveLast();
        s.FirstRecord = static_cast<int32_t>(s.RecordCount);
    }
    s.FirstBookmark = rs.GetBookmark();
    ShowRecords();
}

} // namespace tavorin
