// The rules of one grid cell: what each typed text makes of the row in edit, and the message
// and place of each fault.
#include <functional>

#include "core/CellRules.h"
#include "core/TypeVocabulary.h"
#include "core/WorkTable.h"
#include "gtest/gtest.h"

using namespace tavorin;

namespace {

enum class Cell { Name, Size, Repeat, Key, Description };

struct CellCase {
    const char* name;
    Cell cell;
    std::string text;
    std::function<void(RowBufferType&)> before; // the row in edit before the text is typed
    std::string fault{};                        // empty: the text is taken
    std::function<void(const RowBufferType&)> after{};
    bool atTypeBox = false;
    bool noStore = false;
    bool tookDefaultType = false;
    std::string defaultType{};
    int key = 0;
};

void Typed(RowBufferType& row, const char* type) {
    row.Name = "F";
    row.TypeName = type;
    DefaultTypeSize(type, row.Size);
}

CellVerdict Check(const CellCase& c, RowBufferType& row) {
    switch (c.cell) {
    case Cell::Name:
        return ValidateName(row, c.text, c.defaultType);
    case Cell::Size:
        return ValidateSize(row, c.text);
    case Cell::Repeat:
        return ValidateRepeat(row, c.text);
    case Cell::Key:
        return ValidateKey(row, c.key, c.text);
    case Cell::Description:
        return ValidateDescription(row, c.text);
    }
    return {};
}

const std::string k61Bytes(61, 'n');
const std::string k60Bytes(60, 'n');
// 128 double-byte characters: 256 bytes in code page 932.
std::string Wide(int count) {
    std::string s;
    for (int i = 0; i < count; ++i) s += "あ";
    return s;
}

TEST(CellRulesTest, EachCellTakesItsTextOrGivesItsFault) {
    const auto text = [](RowBufferType& r) { Typed(r, "dbText"); };
    const auto autoNumber = [](RowBufferType& r) { Typed(r, "(ｵｰﾄﾅﾝﾊﾞ-)"); };
    const auto blank = [](RowBufferType&) {};
    const std::vector<CellCase> cases = {
        // Field name
        {"a name is taken", Cell::Name, "CODE", blank, "",
         [](const RowBufferType& r) { EXPECT_EQ(r.Name, "CODE"); }},
        {"a name of 60 bytes is taken", Cell::Name, k60Bytes, blank},
        {"a name over 60 bytes is refused", Cell::Name, k61Bytes, blank,
         "フィールド名称は 60バイト（全角 30文字）までです。"},
        {"an empty name of a row with content is refused", Cell::Name, "", text,
         "フィールド名称は省略できません。",
         [](const RowBufferType& r) { EXPECT_EQ(r.Name, "F"); }},
        {"an empty name of an empty row stores nothing",
         Cell::Name,
         "",
         blank,
         "",
         {},
         false,
         true},
        {"a new name takes the default type and its size", Cell::Name, "D", blank, "",
         [](const RowBufferType& r) {
             EXPECT_EQ(r.TypeName, "dbText");
             EXPECT_EQ(r.Size, 50);
         },
         false, false, true, "dbText"},
        {"a name keeps the type the row has", Cell::Name, "D",
         [](RowBufferType& r) { Typed(r, "dbLong"); }, "",
         [](const RowBufferType& r) { EXPECT_EQ(r.TypeName, "dbLong"); }, false, false, false,
         "dbText"},
        // Size
        {"a size needs a type first",
         Cell::Size,
         "10",
         blank,
         "データ種別が未入力です。",
         {},
         true},
        {"a text size is taken", Cell::Size, "255", text, "",
         [](const RowBufferType& r) { EXPECT_EQ(r.Size, 255); }},
        {"an empty text size is 50", Cell::Size, "",
         [](RowBufferType& r) {
             Typed(r, "dbText");
             r.Size = 9;
         },
         "", [](const RowBufferType& r) { EXPECT_EQ(r.Size, 50); }},
        {"a text size over 255 is refused", Cell::Size, "256", text,
         "テキストタイプのサイズは最大　'255'　です。",
         [](const RowBufferType& r) { EXPECT_EQ(r.Size, 50); }},
        {"a size of many digits is refused, not overflowed", Cell::Size, "99999999999999999999",
         text, "テキストタイプのサイズは最大　'255'　です。"},
        {"a size with a letter is refused", Cell::Size, "1a", text,
         "数字以外の文字が入力されています。"},
        {"a size with full-width digits is refused", Cell::Size, "１２", text,
         "数字以外の文字が入力されています。"},
        {"the size of other types is fixed", Cell::Size, "x",
         [](RowBufferType& r) { Typed(r, "dbLong"); }, "",
         [](const RowBufferType& r) { EXPECT_EQ(r.Size, 4); }},
        // Repeat count
        {"a repeat needs a type first",
         Cell::Repeat,
         "2",
         blank,
         "データ種別が未入力です。",
         {},
         true},
        {"a repeat is kept as typed", Cell::Repeat, "05", text, "",
         [](const RowBufferType& r) { EXPECT_EQ(r.Repeat, "05"); }},
        {"leading zeros beyond two characters go", Cell::Repeat, "0007", text, "",
         [](const RowBufferType& r) { EXPECT_EQ(r.Repeat, "7"); }},
        {"a zero repeat is none", Cell::Repeat, "00",
         [](RowBufferType& r) {
             Typed(r, "dbText");
             r.Repeat = "3";
         },
         "", [](const RowBufferType& r) { EXPECT_EQ(r.Repeat, ""); }},
        {"a repeat over 99 is refused", Cell::Repeat, "100", text,
         "配列は　１次元で９９までです。"},
        {"an auto number has no repeat", Cell::Repeat, "2", autoNumber,
         "オートナンバー型のフィールドに繰り返しは指定できません。"},
        {"a repeat with a blank inside is refused", Cell::Repeat, "1 2", text,
         "数字以外の文字が入力されています。"},
        // Keys
        {"a key entry is normalised", Cell::Key, "3a", text, "",
         [](const RowBufferType& r) { EXPECT_EQ(r.Keys[2], " 3a"); }, false, false, false, "", 2},
        {"a descending entry keeps its letter", Cell::Key, "20D", text, "",
         [](const RowBufferType& r) { EXPECT_EQ(r.Keys[0], "20D"); }},
        {"a zero rank is no membership", Cell::Key, "0",
         [](RowBufferType& r) {
             Typed(r, "dbText");
             r.Keys[1] = " 1";
         },
         "", [](const RowBufferType& r) { EXPECT_EQ(r.Keys[1], ""); }, false, false, false, "", 1},
        {"a rank over 20 is refused", Cell::Key, "21", text, "キー順位は 20までです。"},
        {"a letter without a rank is refused", Cell::Key, "A", text,
         "キー順位が指定されていません。"},
        {"a sort letter other than A or D is refused", Cell::Key, "2X", text,
         "ソート種別は 'A'　又は 'D'　です。"},
        {"a repeated field is in no key", Cell::Key, "1",
         [](RowBufferType& r) {
             Typed(r, "dbText");
             r.Repeat = "2";
         },
         "繰返しを指定したフィールドはキー指定できません。"},
        // Description
        {"a description is taken", Cell::Description, "備考", text, "",
         [](const RowBufferType& r) { EXPECT_EQ(r.Description, "備考"); }},
        {"a description over 255 bytes is refused", Cell::Description, Wide(128), text,
         "フィールドの備考は 255バイト（全角 127文字）までです。",
         [](const RowBufferType& r) { EXPECT_EQ(r.Description, ""); }},
    };
    for (const CellCase& c : cases) {
        SCOPED_TRACE(c.name);
        RowBufferType row;
        c.before(row);
        const RowBufferType was = row;
        const CellVerdict verdict = Check(c, row);
        EXPECT_EQ(verdict.fault, c.fault);
        EXPECT_EQ(verdict.Accepted(), c.fault.empty());
        EXPECT_EQ(verdict.atTypeBox, c.atTypeBox);
        EXPECT_EQ(verdict.noStore, c.noStore);
        EXPECT_EQ(verdict.tookDefaultType, c.tookDefaultType);
        if (!c.fault.empty()) {
            // A refused text leaves the row as it was.
            EXPECT_EQ(row.Name, was.Name);
            EXPECT_EQ(row.Size, was.Size);
            EXPECT_EQ(row.Repeat, was.Repeat);
            EXPECT_EQ(row.Keys, was.Keys);
            EXPECT_EQ(row.Description, was.Description);
        }
        if (c.after) c.after(row);
    }
}

TEST(CellRulesTest, FieldNameFaultNamesEmptyAndTooLongNames) {
    EXPECT_EQ(FieldNameFault("A"), "");
    EXPECT_EQ(FieldNameFault("   "), "フィールド名称は省略できません。");
    EXPECT_EQ(FieldNameFault(k61Bytes), "フィールド名称は 60バイト（全角 30文字）までです。");
    EXPECT_EQ(FieldNameFault(Wide(31)), "フィールド名称は 60バイト（全角 30文字）までです。");
    EXPECT_EQ(FieldNameFault(Wide(30)), "");
}

} // namespace
