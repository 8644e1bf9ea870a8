// Printing layouts: the form on the recording printer, coordinate by coordinate (header, file
// box, key box, headings, wrapped lines, page breaks, page numbers across the tables of a file),
// the two commands with the grid's pending cell, the print-all work database and printer
// errors, and the real PDF output read back.
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <algorithm>
#include <map>

#include "modules/TavorinSub_print.h"
#include "platform/printer.h"
#include "platform/recording_printer.h"
#include "platform/testing/pdf_tools.h"
#include "save_support.h"
#include "window_fixture.h"

using namespace tavorin;
using namespace tavorintest;
using platform::PrintOp;
using platform::PrintOutcome;

namespace {

const std::string kDate = "2024年1月5日作成 (Page";

double FixedDate() {
    return engine::DateSerial(2024, 1, 5);
}

std::string Describe(const PrintOp& op) {
    switch (op.kind) {
    case PrintOp::Text:
        return "T " + std::to_string(op.x) + " " + std::to_string(op.y) + " " +
               op.text.toStdString();
    case PrintOp::Line:
        return "L " + std::to_string(op.x) + " " + std::to_string(op.y) + " " +
               std::to_string(op.x2) + " " + std::to_string(op.y2) + " w" +
               std::to_string(op.width);
    case PrintOp::NewPage:
        return "NEWPAGE";
    case PrintOp::EndDoc:
        return "ENDDOC";
    }
    return {};
}

std::vector<std::string> Described(const std::vector<PrintOp>& ops) {
    std::vector<std::string> out;
    for (const PrintOp& op : ops) out.push_back(Describe(op));
    return out;
}

std::vector<std::string> Sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

std::string T(int x, int y, const std::string& text) {
    return "T " + std::to_string(x) + " " + std::to_string(y) + " " + text;
}
std::string L(int x1, int y1, int x2, int y2, int width) {
    return "L " + std::to_string(x1) + " " + std::to_string(y1) + " " + std::to_string(x2) + " " +
           std::to_string(y2) + " w" + std::to_string(width);
}

// The vertical rules of a table line n: thick at 648, 11160 and 1080, thin between the columns.
void AddLineRules(std::vector<std::string>& out, int n) {
    for (int x : {648, 11160, 1080}) out.push_back(L(x, 240 * n - 40, x, 240 * n + 200, 5));
    for (int x : {3384, 4248, 4680, 5112, 5544, 5976, 6408, 6840, 7272, 7704})
        out.push_back(L(x, 240 * n - 40, x, 240 * n + 200, 1));
}

// Texts of a page by position, "x y" -> text.
std::map<std::string, std::string> TextsOf(const std::vector<PrintOp>& page) {
    std::map<std::string, std::string> out;
    for (const PrintOp& op : page)
        if (op.kind == PrintOp::Text)
            out[std::to_string(op.x) + " " + std::to_string(op.y)] = op.text.toStdString();
    return out;
}

// The text at (x, y) of a page, or "" when nothing is printed there.
std::string TextAt(const std::vector<PrintOp>& page, int x, int y) {
    const auto texts = TextsOf(page);
    const auto it = texts.find(std::to_string(x) + " " + std::to_string(y));
    return it == texts.end() ? std::string() : it->second;
}

bool HasOp(const std::vector<PrintOp>& page, const std::string& described) {
    for (const PrintOp& op : page)
        if (Describe(op) == described) return true;
    return false;
}

class PrintTest : public WindowTest {
  protected:
    void SetUp() override {
        app.PrintDateSource = &FixedDate;
        WindowTest::SetUp();
    }

    // Opens table of the file at path as the command line does.
    void Open(const std::string& path, const std::string& table) {
        W().OpenOnStart(path, table);
        ASSERT_EQ(W().CurrentTable, table);
    }

    std::vector<std::vector<PrintOp>> Pages() const { return printer.Pages(); }

    platform::RecordingPrinter printer;
    platform::ScopedStandIns printerInstalled{app.Platform, {.printer = &printer}};
    std::string db = data.File("shop.mdb");
    savetest::Layout layout{app};
};

// ---- The form ----------------------------------------------------------------------------------

TEST_F(PrintTest, AnEmptyLayoutPrintsOnePageOfHeaderBoxesHeadingsAndClosingRule) {
    MakeTable(db, "CUST", TextFields({"ID"}));
    Open(db, "NEWT");
    W().mnTablePrint->trigger();

    std::vector<std::string> expected = {
        // Date and page number on line 1, underlined.
        T(8496, 240, kDate), T(10656, 240, "  1)"), L(8496, 440, 11160, 440, 3),
        // File box: heading line 3, one line of names (H = 1), closed above line 5.
        L(1080, 680, 10872, 680, 5), L(1080, 680, 1080, 920, 5), L(10872, 680, 10872, 920, 5),
        L(3960, 680, 3960, 920, 1), L(6840, 680, 6840, 920, 1), T(1152, 720, "ファイル名称"),
        T(4032, 720, "テーブル名称"), T(6912, 720, "備　　　　考"), L(1080, 920, 10872, 920, 1),
        T(1152, 960, "shop.MDB"), T(4032, 960, "NEWT"), L(1080, 920, 1080, 1160, 5),
        L(10872, 920, 10872, 1160, 5), L(3960, 920, 3960, 1160, 1), L(6840, 920, 6840, 1160, 1),
        L(1080, 1160, 10872, 1160, 5),
        // Key boxes on lines 6 to 8 with the default index settings.
        L(1080, 1400, 5688, 1400, 5), L(1080, 1640, 5688, 1640, 1), L(1080, 1880, 5688, 1880, 1),
        L(1080, 2120, 5688, 2120, 5), L(1080, 1400, 1080, 2120, 5), L(5688, 1400, 5688, 2120, 5),
        L(1944, 1400, 1944, 2120, 5), L(4824, 1400, 4824, 2120, 1), T(1152, 1440, "主キー"),
        T(2016, 1440, "PrimaryKey"), T(4896, 1440, "重複なし"), T(1152, 1680, "副キー１"),
        T(2016, 1680, "SubKey1"), T(4896, 1680, "重複あり"), T(1152, 1920, "副キー２"),
        T(2016, 1920, "SubKey2"), T(4896, 1920, "重複あり"), L(6264, 1400, 10872, 1400, 5),
        L(6264, 1640, 10872, 1640, 1), L(6264, 1880, 10872, 1880, 1), L(6264, 2120, 10872, 2120, 5),
        L(6264, 1400, 6264, 2120, 5), L(10872, 1400, 10872, 2120, 5), L(7128, 1400, 7128, 2120, 5),
        L(10008, 1400, 10008, 2120, 1), T(6336, 1440, "副キー３"), T(7200, 1440, "SubKey3"),
        T(10080, 1440, "重複あり"), T(6336, 1680, "副キー４"), T(7200, 1680, "SubKey4"),
        T(10080, 1680, "重複あり"), T(6336, 1920, "副キー５"), T(7200, 1920, "SubKey5"),
        T(10080, 1920, "重複あり"),
        // Column headings on line 10, and the closing rule under them.
        L(648, 2360, 11160, 2360, 5), T(720, 2400, "No."), T(1152, 2400, "フィールド名"),
        T(3456, 2400, "ﾃﾞｰﾀ種別"), T(4320, 2400, "ｻｲｽﾞ"), T(4752, 2400, " 繰"),
        T(5184, 2400, "主ｷｰ"), T(5616, 2400, "副1"), T(6048, 2400, "副2"), T(6480, 2400, "副3"),
        T(6912, 2400, "副4"), T(7344, 2400, "副5"), T(7776, 2400, "備     考"),
        L(648, 2600, 11160, 2600, 5), "NEWPAGE", "ENDDOC"};
    AddLineRules(expected, 10);

    EXPECT_EQ(Sorted(Described(printer.Ops())), Sorted(expected));
    ASSERT_EQ(Pages().size(), 1u);
    EXPECT_EQ(Describe(printer.Ops().back()), "ENDDOC");
    for (const PrintOp& op : printer.Ops())
        if (op.kind == PrintOp::Text) {
            EXPECT_EQ(op.fontName, "ＭＳ ゴシック");
            EXPECT_EQ(op.fontSize, 9);
        }
    EXPECT_EQ(printer.JobTitles(), QStringList{"shop.mdb - NEWT"});
    EXPECT_EQ(printer.Finished(), 1);
    EXPECT_EQ(printer.OutsideJob(), 0);
}

TEST_F(PrintTest, ARowPrintsItsColumnsAndA80ByteDescriptionTakesThreeLines) {
    MakeTable(db, "CUST",
              {{"ID", dao::dbLong, 0, 17},
               {"NAME", dao::dbText, 20},
               {"ADDR_01", dao::dbText, 10},
               {"ADDR_02", dao::dbText, 10},
               {"PRICE", dao::dbCurrency}},
              {{"PK", true, true, {{"ID", false}}},
               {"IX", false, false, {{"NAME", false}, {"ID", true}}}});
    Open(db, "CUST");
    const std::string description(80, 'd');
    layout.Set(2, "FLD12", engine::Variant(description));
    W().mnTablePrint->trigger();

    ASSERT_EQ(Pages().size(), 1u);
    const auto page = Pages()[0];
    // Row 1 on line 11: the first line of the page has a thick rule above it.
    EXPECT_TRUE(HasOp(page, L(648, 2600, 11160, 2600, 5)));
    EXPECT_EQ(TextAt(page, 720, 2640), "  1");
    EXPECT_EQ(TextAt(page, 1152, 2640), "ID");
    EXPECT_EQ(TextAt(page, 3456, 2640), "ｵｰﾄﾅﾝﾊﾞ-");
    EXPECT_EQ(TextAt(page, 4320, 2640), "  4");
    EXPECT_EQ(TextAt(page, 4752, 2640), "");
    EXPECT_EQ(TextAt(page, 5184, 2640), " 1A");
    EXPECT_EQ(TextAt(page, 5616, 2640), " 2D");
    // Row 2 on lines 12 to 14: the description in lines of 37, 37 and 6 bytes; everything else
    // only on its first line, under a thin rule.
    EXPECT_TRUE(HasOp(page, L(648, 2840, 11160, 2840, 1)));
    EXPECT_EQ(TextAt(page, 720, 2880), "  2");
    EXPECT_EQ(TextAt(page, 3456, 2880), "Text");
    EXPECT_EQ(TextAt(page, 4320, 2880), " 20");
    EXPECT_EQ(TextAt(page, 5616, 2880), " 1A");
    EXPECT_EQ(TextAt(page, 7776, 2880), description.substr(0, 37));
    EXPECT_EQ(TextAt(page, 7776, 3120), description.substr(37, 37));
    EXPECT_EQ(TextAt(page, 7776, 3360), description.substr(74));
    for (int y : {3120, 3360}) {
        for (int x : {720, 1152, 3456, 4320, 5184, 5616})
            EXPECT_EQ(TextAt(page, x, y), "") << x << " " << y;
        EXPECT_TRUE(HasOp(page, L(1080, y - 40, 1080, y + 200, 5))) << y;
        EXPECT_TRUE(HasOp(page, L(7704, y - 40, 7704, y + 200, 1))) << y;
        EXPECT_FALSE(HasOp(page, L(648, y - 40, 11160, y - 40, 1))) << y;
    }
    // Row 3 on line 15: a group prints its repeat count; row 4 the type without "db".
    EXPECT_EQ(TextAt(page, 1152, 3600), "ADDR");
    EXPECT_EQ(TextAt(page, 4752, 3600), "  2");
    EXPECT_EQ(TextAt(page, 3456, 3840), "Currency");
    // Closed under the last line, 16.
    EXPECT_TRUE(HasOp(page, L(648, 240 * 16 + 200, 11160, 240 * 16 + 200, 5)));
    EXPECT_EQ(Describe(printer.Ops()[printer.Ops().size() - 2]), "NEWPAGE");
}

TEST_F(PrintTest, NamesAndDescriptionsAreCutAfterTheEleventhLine) {
    MakeTable(db, "CUST", TextFields({"A", "B"}));
    Open(db, "CUST");
    std::string name, description;
    for (int i = 1; i <= 12; ++i) {
        name += (i > 1 ? "\r" : "") + ("N" + std::to_string(i));
        description += (i > 1 ? "\r" : "") + ("説明" + std::to_string(i));
    }
    layout.Set(1, "FLD02", engine::Variant(name));
    layout.Set(1, "FLD12", engine::Variant(description));
    W().mnTablePrint->trigger();

    const auto page = Pages().at(0);
    for (int i = 0; i < 11; ++i) {
        EXPECT_EQ(TextAt(page, 1152, 240 * (11 + i)), "N" + std::to_string(i + 1));
        EXPECT_EQ(TextAt(page, 7776, 240 * (11 + i)), "説明" + std::to_string(i + 1));
    }
    // The twelfth lines are dropped: row 2 follows on line 22.
    EXPECT_EQ(TextAt(page, 720, 240 * 22), "  2");
    EXPECT_EQ(TextAt(page, 1152, 240 * 22), "B");
}

TEST_F(PrintTest, ALongRemarkDeepensTheFileBoxAndMovesTheKeyBoxAndHeadings) {
    MakeTable(db, "CUST", TextFields({"A"}), {}, std::string(40, 'r') + "備考の続き");
    Open(db, "CUST");
    W().mnTablePrint->trigger();

    const auto page = Pages().at(0);
    // The remark wraps at 43 bytes: H = 2, so the box closes above line 6.
    EXPECT_EQ(TextAt(page, 6912, 960), std::string(40, 'r') + "備");
    EXPECT_EQ(TextAt(page, 6912, 1200), "考の続き");
    EXPECT_TRUE(HasOp(page, L(1080, 1160, 1080, 1400, 5)));
    EXPECT_TRUE(HasOp(page, L(1080, 1400, 10872, 1400, 5)));
    EXPECT_TRUE(HasOp(page, L(1080, 1640, 5688, 1640, 5))); // key box top, above line 7
    EXPECT_EQ(TextAt(page, 1152, 1680), "主キー");
    EXPECT_EQ(TextAt(page, 720, 2640), "No."); // headings on line 11
    EXPECT_EQ(TextAt(page, 720, 2880), "  1"); // the first row on line 12
}

TEST_F(PrintTest, ARowStartingOnLine61GoesOnUnderANewHeaderWithoutKeyBoxOrNumber) {
    std::vector<FieldDef> fields;
    for (int i = 1; i <= 52; ++i) fields.push_back({"F" + std::to_string(i), dao::dbText, 10});
    MakeTable(db, "WIDE", fields);
    Open(db, "WIDE");
    const std::string description = std::string(37, 'a') + std::string(37, 'b') + "cccccc";
    layout.Set(51, "FLD12", engine::Variant(description));
    W().mnTablePrint->trigger();

    const auto pages = Pages();
    ASSERT_EQ(pages.size(), 2u);
    const auto& first = pages[0];
    const auto& second = pages[1];
    // Page 1: rows 1 to 51 on lines 11 to 61; row 51 starts on line 61 and the page closes there.
    EXPECT_EQ(TextAt(first, 720, 240 * 11), "  1");
    EXPECT_EQ(TextAt(first, 720, 240 * 61), " 51");
    EXPECT_EQ(TextAt(first, 7776, 240 * 61), std::string(37, 'a'));
    EXPECT_TRUE(HasOp(first, L(648, 240 * 61 + 200, 11160, 240 * 61 + 200, 5)));
    EXPECT_EQ(TextAt(first, 10656, 240), "  1)");

    // Page 2: header and headings on line 6, no key box, the rest of row 51 without a number.
    EXPECT_EQ(TextAt(second, 8496, 240), kDate);
    EXPECT_EQ(TextAt(second, 10656, 240), "  2)");
    EXPECT_EQ(TextAt(second, 1152, 720), "ファイル名称");
    EXPECT_EQ(TextAt(second, 4032, 960), "WIDE");
    for (const auto& [where, text] : TextsOf(second)) {
        EXPECT_EQ(text.find("キー"), std::string::npos) << where;
    }
    EXPECT_TRUE(HasOp(second, L(648, 1400, 11160, 1400, 5)));
    EXPECT_EQ(TextAt(second, 720, 1440), "No.");
    EXPECT_EQ(TextAt(second, 720, 1680), "");
    EXPECT_EQ(TextAt(second, 1152, 1680), "");
    EXPECT_EQ(TextAt(second, 7776, 1680), std::string(37, 'b'));
    EXPECT_EQ(TextAt(second, 7776, 1920), "cccccc");
    EXPECT_FALSE(HasOp(second, L(648, 1640, 11160, 1640, 5)));
    EXPECT_FALSE(HasOp(second, L(648, 1640, 11160, 1640, 1)));
    EXPECT_TRUE(HasOp(second, L(1080, 1640, 1080, 1880, 5)));
    // Row 52 follows on line 9 with a thin rule above; the table closes under it.
    EXPECT_EQ(TextAt(second, 720, 240 * 9), " 52");
    EXPECT_TRUE(HasOp(second, L(648, 240 * 9 - 40, 11160, 240 * 9 - 40, 1)));
    EXPECT_TRUE(HasOp(second, L(648, 240 * 9 + 200, 11160, 240 * 9 + 200, 5)));
}

TEST_F(PrintTest, AFullLastPageEndsTheDocumentWithoutAnEmptyPage) {
    std::vector<FieldDef> fields;
    for (int i = 1; i <= 51; ++i) fields.push_back({"F" + std::to_string(i), dao::dbText, 10});
    MakeTable(db, "FULL", fields);
    Open(db, "FULL");
    W().mnTablePrint->trigger();

    ASSERT_EQ(Pages().size(), 1u);
    EXPECT_EQ(TextAt(Pages()[0], 720, 240 * 61), " 51");
    // Closed once, under line 61.
    const std::string closing = L(648, 240 * 61 + 200, 11160, 240 * 61 + 200, 5);
    const auto described = Described(printer.Ops());
    EXPECT_EQ(std::count(described.begin(), described.end(), closing), 1);
    EXPECT_EQ(described.back(), "ENDDOC");
}

TEST_F(PrintTest, IndexSettingsPrintTheNameAndTheDuplicatesText) {
    struct Case {
        const char* name;
        int duplicates;
        const char* text;
    };
    const Case cases[] = {
        {"", 0, ""},         // label only
        {"", 1, "重複あり"}, // label and 重複あり
        {"IX", 0, "重複なし"},
        {"IX", 1, "重複あり"},
        {"IX", -1, "重複なし"}, // none chosen for a named index
        {"", -1, ""},
    };
    MakeTable(db, "CUST", TextFields({"A"}));
    Open(db, "CUST");
    for (const Case& c : cases) {
        printer.Clear();
        W().Text1[1]->setText(QString::fromUtf8(c.name));
        W().Combo1[0]->setCurrentIndex(c.duplicates);
        W().mnTablePrint->trigger();
        const auto page = Pages().at(0);
        EXPECT_EQ(TextAt(page, 1152, 1440), "主キー") << c.name << c.duplicates;
        EXPECT_EQ(TextAt(page, 2016, 1440), c.name) << c.name << c.duplicates;
        EXPECT_EQ(TextAt(page, 4896, 1440), c.text) << c.name << c.duplicates;
    }
}

// ---- The commands ------------------------------------------------------------------------------

// Notes whether the print-all work database is there while the pages are drawn.
class WatchingPrinter : public platform::RecordingPrinter {
  public:
    explicit WatchingPrinter(std::string printDbPath) : printDbPath_(std::move(printDbPath)) {}
    void Print(const QString& text) override {
        if (fs::exists(printDbPath_)) ++whileStoreExists;
        RecordingPrinter::Print(text);
    }
    int whileStoreExists = 0;

  private:
    std::string printDbPath_;
};

TEST_F(PrintTest, PrintingAllRunsThePageNumbersOnAndGivesEachTableItsKeyBox) {
    std::vector<FieldDef> fields;
    for (int i = 1; i <= 60; ++i) fields.push_back({"F" + std::to_string(i), dao::dbText, 10});
    MakeTable(db, "A", fields, {}, "表A");
    MakeTable(db, "B", TextFields({"CODE", "NAME"}),
              {{"PK_B", true, true, {{"CODE", false}}}, {"IX_B", false, false, {{"NAME", true}}}});
    OpenFile(db);
    ASSERT_TRUE(W().mnTablePrintAll->isEnabled());
    WatchingPrinter watching(app.Store.PrintDbPath);
    platform::ScopedStandIns installed(app.Platform, {.printer = &watching});
    W().mnTablePrintAll->trigger();

    EXPECT_EQ(watching.JobTitles(), QStringList{"shop.mdb"}); // one job for the whole file
    EXPECT_EQ(watching.Finished(), 1);
    EXPECT_EQ(watching.Documents(), 2);
    const auto pages = watching.Pages();
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(TextAt(pages[0], 10656, 240), "  1)");
    EXPECT_EQ(TextAt(pages[1], 10656, 240), "  2)");
    EXPECT_EQ(TextAt(pages[2], 10656, 240), "  3)");
    EXPECT_EQ(TextAt(pages[0], 4032, 960), "A");
    EXPECT_EQ(TextAt(pages[0], 6912, 960), "表A");
    EXPECT_EQ(TextAt(pages[1], 4032, 960), "A");
    EXPECT_EQ(TextAt(pages[2], 4032, 960), "B");
    // Each table's first page has its own key box, from the table's own indexes.
    EXPECT_EQ(TextAt(pages[0], 1152, 1440), "主キー");
    EXPECT_EQ(TextAt(pages[0], 2016, 1440), "");
    EXPECT_EQ(TextAt(pages[0], 4896, 1440), "");
    EXPECT_EQ(TextAt(pages[1], 1152, 1440), "フィールド名"); // headings where a key box would be
    EXPECT_EQ(TextAt(pages[2], 1152, 1440), "主キー");
    EXPECT_EQ(TextAt(pages[2], 2016, 1440), "PK_B");
    EXPECT_EQ(TextAt(pages[2], 4896, 1440), "重複なし");
    EXPECT_EQ(TextAt(pages[2], 2016, 1680), "IX_B");
    EXPECT_EQ(TextAt(pages[2], 4896, 1680), "重複あり");
    EXPECT_EQ(TextAt(pages[2], 5184, 2640), " 1A");
    EXPECT_EQ(TextAt(pages[2], 5616, 2880), " 1D");
    // The row counter starts again for each table.
    EXPECT_EQ(TextAt(pages[2], 720, 2640), "  1");

    // The print-all work database was there while drawing, and is gone; the editor's state is
    // as before.
    EXPECT_GT(watching.whileStoreExists, 0);
    EXPECT_FALSE(fs::exists(app.Store.PrintDbPath));
    EXPECT_EQ(app.Store.Ws->TransactionLevel(), 0);
    EXPECT_TRUE(fs::exists(app.Store.WorkDbPath));
    EXPECT_EQ(W().CurrentTable, "");
    EXPECT_EQ(W().TableDesc, "");
    EXPECT_TRUE(WorkRows().empty());
    EXPECT_EQ(Focus(), W().Text1[0]);
    EXPECT_TRUE(printer.Ops().empty());
}

TEST_F(PrintTest, PrintingAllOfAFileWithoutTablesSaysSo) {
    MakeTable(db, "CUST", TextFields({"A"}));
    OpenFile(db);
    W().TableList.clear();
    prompts.Expect("印刷するテーブルがありません。");
    W().mnTablePrintAll->trigger();
    EXPECT_TRUE(printer.JobTitles().isEmpty());
}

TEST_F(PrintTest, TheGridsPendingCellIsCommittedFirstAndAFaultStopsThePrint) {
    MakeTable(db, "CUST", {{"CODE", dao::dbText, 10}, {"NAME", dao::dbText, 20}});
    OpenTable(db, "CUST");
    TypeInto(Cell(1, grid::kDescription), QString::fromUtf8("名前の説明"), /*enter=*/false);
    W().mnTablePrint->trigger();
    ASSERT_EQ(Pages().size(), 1u);
    EXPECT_EQ(TextAt(Pages()[0], 7776, 240 * 12), "名前の説明");
    EXPECT_EQ(WorkRows()[1][11], "名前の説明");

    printer.Clear();
    const auto before = WorkRows();
    TypeInto(Cell(0, grid::kSize), "abc", /*enter=*/false);
    prompts.Expect("数字以外の文字が入力されています。");
    W().mnTablePrint->trigger();
    EXPECT_TRUE(printer.JobTitles().isEmpty());
    EXPECT_TRUE(printer.Ops().empty());
    EXPECT_EQ(WorkRows(), before);
}

TEST_F(PrintTest, APrinterThatRefusesFailsOrIsCancelledLeavesLayoutAndWorkStoreAlone) {
    struct Case {
        QString refuse;
        PrintOutcome outcome;
        QString message; // "" = none
    };
    const Case cases[] = {
        {"PDF ファイルに書き込めません。\r/x.pdf", {}, "PDF ファイルに書き込めません。\r/x.pdf"},
        {"", {PrintOutcome::Cancelled, {}}, ""},
        {"", {PrintOutcome::Failed, "印刷できませんでした。\rlp0"}, "印刷できませんでした。\rlp0"},
    };
    MakeTable(db, "CUST", TextFields({"CODE", "NAME"}));
    for (const Case& c : cases) {
        for (bool all : {false, true}) {
            SCOPED_TRACE(c.message.toStdString() + (all ? " all" : " one"));
            if (all) {
                W().LayoutChanged = 0;
                OpenFile(db);
                ASSERT_TRUE(W().mnTablePrintAll->isEnabled());
            } else {
                Open(db, "CUST");
                W().LayoutChanged = 9;
            }
            const auto rows = WorkRows();
            const int16_t changed = W().LayoutChanged;
            printer.Clear();
            printer.refuseStart = c.refuse;
            printer.outcome = c.outcome;
            if (!c.message.isEmpty()) prompts.Expect(c.message);
            (all ? W().mnTablePrintAll : W().mnTablePrint)->trigger();
            EXPECT_EQ(prompts.Pending(), 0);
            EXPECT_EQ(printer.Ops().empty(), !c.refuse.isEmpty());
            EXPECT_EQ(WorkRows(), rows);
            EXPECT_EQ(W().LayoutChanged, changed);
            EXPECT_EQ(W().CurrentTable, all ? "" : "CUST");
            EXPECT_FALSE(fs::exists(app.Store.PrintDbPath));
        }
    }
    W().LayoutChanged = 0;
}

TEST_F(PrintTest, AnEngineErrorWhilePrintingAllDropsTheJobAndTheWorkDatabase) {
    MakeTable(db, "CUST", TextFields({"CODE"}));
    OpenFile(db);
    W().TableList.push_back({"GONE", ""}); // listed, but not in the file
    prompts.ExpectAny();
    W().mnTablePrintAll->trigger();
    ASSERT_EQ(prompts.Shown().size(), 1u);
    EXPECT_TRUE(prompts.Shown()[0].text.startsWith("Error; "))
        << prompts.Shown()[0].text.toStdString();
    EXPECT_EQ(printer.Aborted(), 1);
    EXPECT_EQ(printer.Finished(), 0);
    EXPECT_FALSE(fs::exists(app.Store.PrintDbPath));
    EXPECT_EQ(app.Store.Ws->TransactionLevel(), 0);
    EXPECT_EQ(W().CurrentTable, "");
}

TEST_F(PrintTest, ThePrintCommandsAndTheToolbarButtonRunOnceEnabled) {
    MakeTable(db, "CUST", TextFields({"CODE"}));
    EXPECT_FALSE(W().mnTablePrint->isEnabled());
    EXPECT_FALSE(W().mnTablePrintAll->isEnabled());
    OpenFile(db);
    EXPECT_TRUE(W().mnTablePrintAll->isEnabled());
    EXPECT_FALSE(W().mnTablePrint->isEnabled());
    DoubleClickTable("CUST");
    EXPECT_TRUE(W().mnTablePrint->isEnabled());
    EXPECT_FALSE(W().mnTablePrintAll->isEnabled());
    QTest::mouseClick(W().Image1[6], Qt::LeftButton);
    EXPECT_EQ(printer.JobTitles(), QStringList{"shop.mdb - CUST"});
    EXPECT_EQ(Pages().size(), 1u);
}

// ---- Real output -------------------------------------------------------------------------------

TEST_F(PrintTest, ALayoutPrintedToPdfReadsBackWithItsJapaneseHeadingsAndNames) {
    SKIP_WITHOUT_POPPLER();
    MakeTable(db, "顧客",
              {{"顧客コード", dao::dbText, 10, 0, "得意先の番号"}, {"顧客名", dao::dbText, 40}});
    Open(db, "顧客");
    const QString pdf = QString::fromStdString(data.File("layout.pdf"));
    auto qtPrinter = platform::QtPrinter::ToPdfFile(pdf);
    platform::ScopedStandIns installed(app.Platform, {.printer = qtPrinter.get()});
    W().mnTablePrint->trigger();

    ASSERT_EQ(pdftools::PageCount(pdf), 1);
    const QString text = pdftools::Text(pdf);
    for (const char* expected :
         {"ファイル名称", "テーブル名称", "フィールド名", "ﾃﾞｰﾀ種別", "主キー", "顧客コード",
          "顧客名", "得意先の番号", "shop.MDB", "2024年1月5日作成 (Page"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << "\n"
                                                                << text.toStdString();
}

} // namespace
