// The print command line run as a program with no display: every table of a file into one PDF,
// one table, and each way it can fail with its message and status.
#include "platform/testing/pdf_tools.h"
#include "program_run.h"
#include "window_fixture.h"

using namespace tavorintest;

namespace {

class PrintCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::vector<FieldDef> fields;
        for (int i = 1; i <= 60; ++i) fields.push_back({"F" + std::to_string(i), dao::dbText, 10});
        MakeTable(db, "A", fields);
        MakeTable(db, "B", TextFields({"CODE", "NAME"}), {{"PK_B", true, true, {{"CODE", false}}}});
    }

    ProgramRun Tavorin(const QStringList& arguments) { return RunTavorin(work.Path(), arguments); }

    TempDir work, data;
    std::string db = data.File("shop.mdb");
    QString pdf = QString::fromStdString(data.File("out.pdf"));
};

TEST_F(PrintCommandTest, EveryTableOfTheFileGoesIntoOnePdfWithPageNumbersRunningOn) {
    SKIP_WITHOUT_POPPLER();
    const ProgramRun run = Tavorin({"--print", QString::fromStdString(db), "--pdf", pdf});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(pdftools::PageCount(pdf), 3);
    const QString text = pdftools::Text(pdf);
    for (const char* expected :
         {"(Page   1)", "(Page   2)", "(Page   3)", "F60", "PK_B", "重複なし"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected;
    // The work folder goes with the run.
    EXPECT_FALSE(fs::exists(work.File("MdbTempDir")));
}

TEST_F(PrintCommandTest, OneTableIsNamedWithTable) {
    SKIP_WITHOUT_POPPLER();
    const ProgramRun run =
        Tavorin({"--print", QString::fromStdString(db), "--table", "b", "--pdf", pdf});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(pdftools::PageCount(pdf), 1);
    const QString text = pdftools::Text(pdf);
    EXPECT_TRUE(text.contains("PK_B"));
    EXPECT_TRUE(text.contains("(Page   1)"));
    EXPECT_FALSE(text.contains("F60"));
}

TEST_F(PrintCommandTest, FailuresGiveAMessageAndAStatusAndNoFile) {
    struct Case {
        QStringList arguments;
        int status;
        const char* message;
    };
    const QString file = QString::fromStdString(db);
    const Case cases[] = {
        {{"--print", file, "--table", "NOPE", "--pdf", pdf}, 1, "テーブル NOPE がありません。"},
        {{"--print", QString::fromStdString(data.File("none.mdb")), "--pdf", pdf},
         1,
         "ファイルがありません。"},
        {{"--print", file, "--pdf", QString::fromStdString(data.File("no/such/folder/out.pdf"))},
         1,
         "PDF ファイルに書き込めません。"},
        {{"--print", file}, 2, "--print FILE.mdb [--table T] --pdf OUT.pdf"},
        {{"--pdf", pdf}, 2, "--print FILE.mdb [--table T] --pdf OUT.pdf"},
    };
    for (const Case& c : cases) {
        const ProgramRun run = Tavorin(c.arguments);
        EXPECT_EQ(run.status, c.status) << c.message;
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(c.message))) << run.err.toStdString();
        EXPECT_FALSE(QFile::exists(pdf)) << c.message;
    }
}

TEST_F(PrintCommandTest, HelpListsThePrintCommandLine) {
    const ProgramRun run = Tavorin({"--help"});
    EXPECT_EQ(run.status, 0);
    for (const char* option : {"--print <FILE.mdb>", "--table <T>", "--pdf <OUT.pdf>"})
        EXPECT_TRUE(run.out.contains(option)) << run.out.toStdString();
}

} // namespace
