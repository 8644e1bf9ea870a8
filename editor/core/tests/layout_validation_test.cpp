// The whole-layout check before a save: each fault's message, code and row, what is written
// back into the work rows, the key tables and the index settings it completes.
#include <functional>

#include "core_fixture.h"

using namespace tavorin;
using namespace coretest;

namespace {

struct Stored {
    int row;
    std::string column;
    std::string value;
};

struct LayoutCase {
    const char* name;
    std::vector<Line> lines{};
    std::string message{}; // empty: the layout is accepted
    int16_t code = 0;
    int32_t errorRow = 0;
    std::vector<Stored> stored{};
    std::function<void(IndexSettings&)> prepare{};
    std::function<void(const LayoutDocument&, const IndexSettings&)> check{};
};

class LayoutValidationTest : public DocumentTest {};

TEST_F(LayoutValidationTest, EachFaultHasItsMessageCodeAndRowAndEveryDefaultIsWrittenBack) {
    using K = std::array<std::string, 6>;
    const LayoutCase cases[] = {
        {.name = "no rows",
         .message = "フィールドが一つも入力されていないテーブルは登録できません。",
         .code = 9},
        {.name = "missing name",
         .lines = With(Numbered(3), 3, [](Line& l) { l.name = ""; }),
         .message = "フィールド名称は省略できません。",
         .code = 9,
         .errorRow = 3},
        {.name = "missing type",
         .lines = With(Numbered(3), 2, [](Line& l) { l.type = ""; }),
         .message = "データ種別が未入力です。",
         .code = 9,
         .errorRow = 2},
        {.name = "unknown type",
         .lines = With(Numbered(3), 2, [](Line& l) { l.type = "dbGuid"; }),
         .message = "データ種別の誤りです。",
         .code = 9,
         .errorRow = 2},
        {.name = "text sizes and empty repeats written back",
         .lines = {{1, "A", "dbText", 0, " 0"},
                   {2, "B", "dbText", 255, "05"},
                   {3, "C", "dbLong", 0, "7 "}},
         .stored = {{1, "FLD04", "50"},
                    {2, "FLD04", "255"},
                    {3, "FLD04", "0"},
                    {1, "FLD05", ""},
                    {2, "FLD05", "05"},
                    {3, "FLD05", "7 "},
                    {1, "FLD12", ""}}},
        {.name = "text size 256",
         .lines = {{1, "A", "dbText", 0}, {2, "B", "dbText", 256}},
         .message = "テキストタイプのサイズは最大　'255'　です。",
         .code = 9,
         .errorRow = 2,
         .stored = {{1, "FLD04", "50"}, {2, "FLD04", "256"}}},
        {.name = "repeat with a letter",
         .lines = With(Numbered(2), 2, [](Line& l) { l.repeat = "1a"; }),
         .message = "数字以外の文字が入力されています。",
         .code = 9,
         .errorRow = 2},
        {.name = "repeat in full-width digits",
         .lines = With(Numbered(2), 1, [](Line& l) { l.repeat = "５"; }),
         .message = "数字以外の文字が入力されています。",
         .code = 9,
         .errorRow = 1},
        {.name = "repeat on an auto number",
         .lines = {{1, "ID", "(ｵｰﾄﾅﾝﾊﾞ-)", 4, "2"}},
         .message = "オートナンバー型のフィールドに繰り返しは指定できません。",
         .code = 9,
         .errorRow = 1},
        {.name = "key entries normalised into the key tables",
         .lines = {{1, "A", "dbLong", 4, "", K{"1", "1A"}},
                   {2, "B", "dbText", 10, "", K{"2d", "", "12 a"}}},
         .stored =
             {{1, "FLD06", " 1"}, {1, "FLD07", " 1A"}, {2, "FLD06", " 2d"}, {2, "FLD08", "12a"}},
         .check =
             [](const LayoutDocument& d, const IndexSettings&) {
                 EXPECT_EQ(d.KeyUsed, (std::array<int16_t, 7>{0, 9, 9, 9, 0, 0, 0}));
                 EXPECT_EQ(d.KeyFieldName[1][1], "A");
                 EXPECT_EQ(d.KeySortKind[1][1], "");
                 EXPECT_EQ(d.KeyFieldName[2][1], "B");
                 EXPECT_EQ(d.KeySortKind[2][1], "d");
                 EXPECT_EQ(d.KeyFieldName[1][2], "A"); // the same rank in another key is no fault
                 EXPECT_EQ(d.KeyFieldName[12][3], "B");
                 EXPECT_EQ(d.KeySortKind[12][3], "a");
             }},
        {.name = "one rank twice in a key",
         .lines = With(With(Numbered(3), 1, [](Line& l) { l.keys[2] = "3"; }), 3,
                       [](Line& l) { l.keys[2] = "3D"; }),
         .message = "キー内に同一順位が指定されています。",
         .code = 9,
         .errorRow = 3,
         .stored = {{1, "FLD08", " 3"}}},
        {.name = "sort letter",
         .lines = With(Numbered(2), 2, [](Line& l) { l.keys[0] = "3X"; }),
         .message = "ソート種別は 'A'　又は 'D'　です。",
         .code = 9,
         .errorRow = 2},
        {.name = "rank 21",
         .lines = With(Numbered(2), 1, [](Line& l) { l.keys[1] = "21"; }),
         .message = "キー順位は 20までです。",
         .code = 9,
         .errorRow = 1},
        {.name = "a faulty key entry",
         .lines = With(Numbered(2), 2, [](Line& l) { l.keys[4] = "a"; }),
         .message = "キー順位が指定されていません。",
         .code = 9,
         .errorRow = 2},
        {.name = "key on a repeated field",
         .lines = With(Numbered(2), 2,
                       [](Line& l) {
                           l.repeat = "3";
                           l.keys[0] = "1";
                       }),
         .message = "繰返しを指定したフィールドはキー指定できません。",
         .code = 9,
         .errorRow = 2},
        // Of two equal names the later row is reported.
        {.name = "names equal but for case",
         .lines = With(With(Numbered(12), 1, [](Line& l) { l.name = "Code"; }), 12,
                       [](Line& l) { l.name = "CODE"; }),
         .message = "同一フィールド名があります。",
         .code = 9,
         .errorRow = 12},
        // Of two auto numbers the one whose name sorts second is reported.
        {.name = "two auto numbers",
         .lines =
             With(With(Numbered(15), 3, [](Line& l) { l = {3, "ZID", "(ｵｰﾄﾅﾝﾊﾞ-)"}; }), 14,
                  [](Line& l) {
                      l = {14, "AID", "(ｵｰﾄﾅﾝﾊﾞ-)"};
                  }),
         .message = "オートナンバーは一つのテーブルに一つしか定義できません。",
         .code = 9,
         .errorRow = 3},
        {.name = "index name missing without a default",
         .lines = With(Numbered(2), 1, [](Line& l) { l.keys[2] = "1"; }),
         .message = "インデックス名が設定されていません。",
         .code = 3,
         .prepare = [this](IndexSettings&) { defaults.IndexDefaultName[2] = ""; }},
        {.name = "index settings of keys in use taken from the defaults",
         .lines = With(Numbered(2), 2, [](Line& l) { l.keys[1] = "1"; }),
         .check =
             [](const LayoutDocument&, const IndexSettings& s) {
                 EXPECT_EQ(s.Name[1], "SubKey1");
                 EXPECT_EQ(s.Dup[1], 1);
                 // A key without members keeps its empty settings.
                 EXPECT_EQ(s.Name[3], "");
                 EXPECT_EQ(s.Dup[3], -1);
             }},
        {.name = "primary key with duplicates",
         .lines = With(Numbered(2), 2, [](Line& l) { l.keys[0] = "1"; }),
         .message = "主キーは重複なしを設定して下さい。",
         .code = 1,
         .prepare = [](IndexSettings& s) { s.Dup[0] = 1; }},
        {.name = "duplicates of a primary key without members",
         .lines = Numbered(2),
         .prepare = [](IndexSettings& s) { s.Dup[0] = 1; }},
    };

    for (const LayoutCase& c : cases) {
        SCOPED_TRACE(c.name);
        ClearRows();
        defaults.SetStartDefaults();
        Write(c.lines);
        prompts.said.clear();
        IndexSettings settings;
        if (c.prepare) c.prepare(settings);

        int16_t code = -1;
        int32_t row = -1;
        doc.ValidateLayout(settings, prompts, code, row);
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(row, c.errorRow);
        EXPECT_EQ(prompts.said,
                  c.message.empty() ? std::vector<std::string>{} : std::vector{c.message});
        for (const Stored& s : c.stored)
            EXPECT_EQ(StoredText(s.row, s.column), s.value) << s.row << " " << s.column;
        if (c.check) c.check(doc, settings);
    }
}

TEST_F(LayoutValidationTest, EachValidationStartsFromEmptyKeyTables) {
    Write({{1, "A", "dbLong", 4, "", {"1"}}});
    IndexSettings settings;
    int16_t code = -1;
    int32_t row = -1;
    doc.ValidateLayout(settings, prompts, code, row);
    ASSERT_EQ(code, 0);
    ASSERT_EQ(doc.KeyFieldName[1][1], "A");

    rows->Requery();
    rows->Edit();
    rows->SetValue("FLD06", engine::Variant(""));
    rows->Update();
    doc.ValidateLayout(settings, prompts, code, row);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(doc.KeyUsed[1], 0);
    EXPECT_EQ(doc.KeyFieldName[1][1], "");
}

} // namespace
