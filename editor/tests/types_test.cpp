// The type vocabulary and the conversion of stored values into a field's new type and size.
#include <gtest/gtest.h>

#include <cctype>
#include <variant>

#include "engine/database.h"
#include "engine/error.h"
#include "engine/field.h"
#include "engine/tabledef.h"
#include "engine/types.h"
#include "engine/workspace.h"
#include "modules/TavorinSub.h"
#include "platform/scripted.h"
#include "test_support.h"

using namespace tavorin;
using engine::Variant;
namespace dao = engine::dao;

namespace {

const char* const kAuto = "(ｵｰﾄﾅﾝﾊﾞ-)";

// Each name of the type list stands in the slot of its type code, in list order, and names a
// type the engine makes with the size the grid proposes for it (the auto number a Long, the
// text the grid's 50 bytes); letter case does not matter, any other text names no type.
TEST(TypeNames, EachListedNameIsTheEnginesTypeInListOrderWithItsSize) {
    FillTypeNames();
    tavorintest::TempDir dir;
    engine::DatabasePtr db =
        engine::DBEngine::Instance().Workspaces(0).CreateDatabase(dir.File("types.mdb"), engine::kLangJapanese);
    engine::TableDefPtr table = db->CreateTableDef("T");
    struct Made {
        std::string name;
        int type;
        int16_t proposed;
    };
    std::vector<Made> made;
    int16_t listed = 0;
    for (size_t slot = 0; slot < TypeNames.size(); ++slot) {
        const std::string& name = TypeNames[slot];
        if (name.empty()) continue;
        SCOPED_TRACE(name);
        EXPECT_EQ(TypeCodeOf(name), static_cast<int16_t>(slot));
        EXPECT_EQ(TypeListIndexOf(name), listed++);
        int16_t proposed = -7;
        DefaultTypeSize(name, proposed);
        const bool automatic = name == kAuto;
        const int type = automatic ? dao::dbLong : static_cast<int>(slot);
        table->Fields().Append(table->CreateField("F" + std::to_string(slot), type, type == dao::dbText ? proposed : 0));
        made.push_back({name, type, proposed});
        std::string upper = name;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ(TypeCodeOf(upper), TypeCodeOf(name));
    }
    EXPECT_EQ(listed, 11) << "the grid's list of types";
    db->TableDefs().Append(table);
    // The engine's own sizes of what it made.
    engine::TableDefPtr storedTable = db->TableDefs().Item("T");
    const engine::TableFields& stored = storedTable->Fields();
    ASSERT_EQ(stored.Count(), made.size());
    for (size_t i = 0; i < made.size(); ++i) {
        SCOPED_TRACE(made[i].name);
        EXPECT_EQ(stored[i]->Type(), made[i].type);
        // The grid shows a Boolean as the host language's 2 bytes; the file keeps it in 1.
        EXPECT_EQ(stored[i]->Size(), made[i].type == dao::dbBoolean ? 1 : made[i].proposed);
    }
    db->Close();
    // Other texts name no type; the list shows its last entry for them and sizes stay.
    for (const char* other : {"", "dbBinary", "ｵｰﾄﾅﾝﾊﾞ-", "dbText "}) {
        SCOPED_TRACE(other);
        EXPECT_EQ(TypeCodeOf(other), -1);
        EXPECT_EQ(TypeListIndexOf(other), other[0] ? 10 : -1);
        int16_t size = -7;
        DefaultTypeSize(other, size);
        EXPECT_EQ(size, -7);
    }
}

TEST(FieldMap, HoldsEntries1To999OfEightColumnsAndRefusesOtherIndexes) {
    FieldMap.Clear();
    FieldMap(1, 1) = "1";
    FieldMap(999, 8) = "03";
    EXPECT_EQ(FieldMap(1, 1), "1");
    EXPECT_EQ(FieldMap(999, 8), "03");
    for (const auto& [entry, column] : {std::pair{0, 1}, {1000, 1}, {1, 0}, {1, 9}, {-1, 2}}) {
        try {
            FieldMap(entry, column) = "x";
            ADD_FAILURE() << entry << "," << column;
        } catch (const engine::Error& e) {
            EXPECT_EQ(e.Number(), 9);
        }
    }
    FieldMap.Clear();
    EXPECT_EQ(FieldMap(999, 8), "");
}

// ---- ConvertFieldValue ------------------------------------------------------------------------

// One source field per type, with the type name and size the layout shows for it.
struct SourceField {
    const char* name;
    const char* typeName;
    int type;
    long size;
};
const SourceField kSources[] = {
    {"F_AUTO", kAuto, dao::dbLong, 4},       {"F_BOOL", "dbBoolean", dao::dbBoolean, 2},
    {"F_BYTE", "dbByte", dao::dbByte, 1},    {"F_INT", "dbInteger", dao::dbInteger, 2},
    {"F_LONG", "dbLong", dao::dbLong, 4},    {"F_CUR", "dbCurrency", dao::dbCurrency, 8},
    {"F_SNG", "dbSingle", dao::dbSingle, 4}, {"F_DBL", "dbDouble", dao::dbDouble, 8},
    {"F_DATE", "dbDate", dao::dbDate, 8},    {"F_TEXT", "dbText", dao::dbText, 20},
    {"F_MEMO", "dbMemo", dao::dbMemo, 0},
};
constexpr size_t kTypes = std::size(kSources);

// Three records: sample values; Null in every field; empty texts.
class ConvertFieldValueTest : public ::testing::Test {
  protected:
    void SetUp() override {
        FillTypeNames();
        FieldMap.Clear();
        engine::Workspace& ws = engine::DBEngine::Instance().Workspaces(0);
        db_ = ws.CreateDatabase(tmp_.File("source.mdb"), engine::kLangJapanese);
        engine::TableDefPtr td = db_->CreateTableDef("SRC");
        for (const SourceField& f : kSources) {
            engine::FieldPtr field =
                td->CreateField(f.name, f.type, f.type == dao::dbText ? f.size : 0);
            if (f.type == dao::dbText || f.type == dao::dbMemo) field->SetAllowZeroLength(true);
            if (std::string(f.name) == "F_AUTO") field->SetAttributes(dao::dbAutoIncrField);
            td->Fields().Append(field);
        }
        td->Fields().Append(td->CreateField("F_WIDE", dao::dbText, 100));
        db_->TableDefs().Append(td);

        rs_ = db_->OpenRecordset("SRC", engine::RecordsetType::Dynaset);
        rs_->AddNew();
        rs_->SetValue("F_BOOL", Variant::Boolean(true));
        rs_->SetValue("F_BYTE", Variant::Byte(200));
        rs_->SetValue("F_INT", Variant::Integer(-300));
        rs_->SetValue("F_LONG", Variant::Long(100000));
        rs_->SetValue("F_CUR", Variant::CurrencyScaled(123456));
        rs_->SetValue("F_SNG", Variant::Single(2.5f));
        rs_->SetValue("F_DBL", Variant::Double(3.75));
        rs_->SetValue("F_DATE", Variant::Date(engine::DateSerial(2024, 1, 31)));
        rs_->SetValue("F_TEXT", Variant("  42 "));
        rs_->SetValue("F_MEMO", Variant("2024/02/29"));
        rs_->SetValue("F_WIDE", Variant(std::string(70, 'x')));
        rs_->Update();
        rs_->AddNew(); // every field Null
        rs_->Update();
        rs_->AddNew();
        rs_->SetValue("F_TEXT", Variant(""));
        rs_->SetValue("F_MEMO", Variant(""));
        rs_->SetValue("F_WIDE", Variant("  あいう  "));
        rs_->Update();
        rs_->Requery();
        rs_->MoveFirst();
    }
    void TearDown() override {
        rs_->Close();
        db_->Close();
    }

    void GoToRecord(int n) {
        rs_->MoveFirst();
        for (int i = 1; i < n; ++i) rs_->MoveNext();
    }

    // Fills entry 1 for a field moving from `from` to new type `to` of size newSize.
    void MapEntry(const SourceField& from, const std::string& to, const std::string& newSize,
                  const std::string& oldSize = {}) {
        FieldMap(1, 1) = "1";
        FieldMap(1, 2) = "NEWF";
        FieldMap(1, 3) = to;
        FieldMap(1, 4) = newSize;
        FieldMap(1, 5) = from.name;
        FieldMap(1, 6) = from.typeName;
        FieldMap(1, 7) = oldSize.empty() ? std::to_string(from.size) : oldSize;
        FieldMap(1, 8) = "";
    }

    Variant Convert(int16_t& error) {
        Variant value = Variant("unset");
        error = -1;
        ConvertFieldValue(*rs_, 1, value, error);
        return value;
    }

    tavorintest::TempDir tmp_;
    engine::DatabasePtr db_;
    engine::RecordsetPtr rs_;
    platform::ScriptedPrompts prompts_;
    platform::ScopedScript script_{&prompts_};
};

// An expected result: a value, or the error number whose message the conversion shows.
using Expected = std::variant<Variant, long>;
Variant L(int32_t v) {
    return Variant::Long(v);
}
Variant I(int16_t v) {
    return Variant::Integer(v);
}
Variant By(uint8_t v) {
    return Variant::Byte(v);
}
Variant B(bool v) {
    return Variant::Boolean(v);
}
Variant Cur(int64_t scaled) {
    return Variant::CurrencyScaled(scaled);
}
Variant S(float v) {
    return Variant::Single(v);
}
Variant D(double v) {
    return Variant::Double(v);
}
Variant Dt(double v) {
    return Variant::Date(v);
}
Variant T(const char* v) {
    return Variant(v);
}
constexpr long kMismatch = 13, kOverflow = 6;

TEST_F(ConvertFieldValueTest, EveryPairOfOldAndNewTypesConvertsTheSampleValues) {
    const double jan31 = engine::DateSerial(2024, 1, 31), feb29 = engine::DateSerial(2024, 2, 29);
    // Rows: new type; columns: old type in the order of kSources
    // (auto 1, True, 200, -300, 100000, 12.3456, 2.5, 3.75, 2024/01/31, "  42 ", "2024/02/29").
    const std::vector<std::pair<const char*, std::vector<Expected>>> table = {
        {kAuto,
         {L(1), L(-1), L(200), L(-300), L(100000), L(12), L(2), L(4), L(45322), L(42), kMismatch}},
        {"dbBoolean",
         {B(true), B(true), B(true), B(true), B(true), B(true), B(true), B(true), B(true), B(true),
          kMismatch}},
        {"dbByte",
         {By(1), kOverflow, By(200), kOverflow, kOverflow, By(12), By(2), By(4), kOverflow, By(42),
          kMismatch}},
        {"dbInteger",
         {I(1), I(-1), I(200), I(-300), kOverflow, I(12), I(2), I(4), kOverflow, I(42), kMismatch}},
        {"dbLong",
         {L(1), L(-1), L(200), L(-300), L(100000), L(12), L(2), L(4), L(45322), L(42), kMismatch}},
        {"dbCurrency",
         {Cur(10000), Cur(-10000), Cur(2000000), Cur(-3000000), Cur(1000000000), Cur(123456),
          Cur(25000), Cur(37500), Cur(453220000), Cur(420000), kMismatch}},
        {"dbSingle",
         {S(1), S(-1), S(200), S(-300), S(100000), S(12.3456f), S(2.5f), S(3.75f), S(45322), S(42),
          kMismatch}},
        {"dbDouble",
         {D(1), D(-1), D(200), D(-300), D(100000), D(12.3456), D(2.5), D(3.75), D(45322), D(42),
          kMismatch}},
        {"dbDate",
         {Dt(1), Dt(-1), Dt(200), Dt(-300), Dt(100000), Dt(12.3456), Dt(2.5), Dt(3.75), Dt(jan31),
          kMismatch, Dt(feb29)}},
        {"dbText",
         {T("1"), T("True"), T("200"), T("-300"), T("100000"), T("12.3456"), T("2.5"), T("3.75"),
          T("2024/01/31"), T("  42 "), T("2024/02/29")}},
        {"dbMemo",
         {T("1"), T("True"), T("200"), T("-300"), T("100000"), T("12.3456"), T("2.5"), T("3.75"),
          T("2024/01/31"), T("42"), T("2024/02/29")}},
    };
    ASSERT_EQ(table.size(), kTypes);
    GoToRecord(1);
    for (const auto& [newType, row] : table) {
        ASSERT_EQ(row.size(), kTypes) << newType;
        for (size_t old = 0; old < kTypes; ++old) {
            const SourceField& from = kSources[old];
            MapEntry(from, newType, std::string(newType) == "dbText" ? "20" : "8");
            prompts_.Clear();
            int16_t error = 0;
            const Variant value = Convert(error);
            const std::string pair = std::string(from.typeName) + " -> " + newType;
            if (const Variant* expected = std::get_if<Variant>(&row[old])) {
                EXPECT_EQ(error, 0) << pair;
                EXPECT_EQ(value, *expected) << pair;
                EXPECT_TRUE(prompts_.Shown().empty()) << pair;
            } else {
                const long number = std::get<long>(row[old]);
                EXPECT_EQ(error, 9) << pair;
                ASSERT_EQ(prompts_.Shown().size(), 1u) << pair;
                const std::string text = "Error; " +
                                         engine::Str(Variant::Long(static_cast<int32_t>(number))) +
                                         " in NEWF\r" + engine::DescriptionOf(number);
                EXPECT_EQ(prompts_.Shown()[0].text.toStdString(), text) << pair;
                EXPECT_EQ(prompts_.Shown()[0].style, platform::vbOKOnly);
            }
        }
    }
}

TEST_F(ConvertFieldValueTest, NullAndEmptyBecomeZeroOrEmptyTextExceptWhenTheTypeStays) {
    for (int record : {2, 3}) {
        GoToRecord(record);
        for (const SourceField& from : kSources) {
            const Variant stored = rs_->Value(from.name);
            const bool blank = stored.IsNull() || engine::TextOf(stored).empty();
            if (!blank) continue; // record 3 has values only in its text fields
            for (const SourceField& to : kSources) {
                MapEntry(from, to.typeName, "20");
                int16_t error = 0;
                const Variant value = Convert(error);
                const std::string pair = std::string(from.typeName) + " -> " + to.typeName;
                EXPECT_EQ(error, 0) << pair;
                const bool text = to.type == dao::dbText || to.type == dao::dbMemo;
                if (&from == &to && to.type != dao::dbText)
                    EXPECT_EQ(value, stored) << pair; // unchanged, a Null stays Null
                else if (text)
                    EXPECT_EQ(value, Variant("")) << pair;
                else
                    EXPECT_EQ(value, Variant::Integer(0)) << pair;
            }
        }
    }
    EXPECT_TRUE(prompts_.Shown().empty());
}

TEST_F(ConvertFieldValueTest, TextIsCutToTheNewSizeWithoutSplittingADoubleByteCharacter) {
    const SourceField wide{"F_WIDE", "dbText", dao::dbText, 100};
    const SourceField memo = kSources[10];
    struct Case {
        int record;
        const SourceField* from;
        const char* newSize;
        const char* oldSize;
        Variant expected;
    };
    const Case cases[] = {
        {1, &wide, "60", "100", Variant(std::string(60, 'x'))},  // size down: cut
        {1, &wide, "150", "100", Variant(std::string(70, 'x'))}, // size up: unchanged
        {3, &wide, "100", "100", Variant("  あいう  ")},         // same size: untrimmed
        {3, &wide, "7", "100",
         Variant("  あい")}, // cut, not trimmed: 2 + 4 bytes, "う" would make 8
        {3, &wide, "8", "100", Variant("  あいう")},
        {1, &memo, "5", "0", Variant("2024/")}, // other old type: trimmed and cut
    };
    for (const Case& c : cases) {
        GoToRecord(c.record);
        MapEntry(*c.from, "dbText", c.newSize, c.oldSize);
        int16_t error = 0;
        EXPECT_EQ(Convert(error), c.expected) << c.from->name << " " << c.newSize;
        EXPECT_EQ(error, 0);
    }

    // Trimmed first, then cut by bytes: "あいう" (6 bytes) into 5 bytes keeps two characters.
    GoToRecord(3);
    MapEntry(wide, "dbText", "5");
    FieldMap(1, 6) = "dbMemo";
    int16_t error = 0;
    EXPECT_EQ(Convert(error), Variant("あい"));
    FieldMap(1, 4) = "6";
    EXPECT_EQ(Convert(error), Variant("あいう"));
}

TEST_F(ConvertFieldValueTest, BadTableEntriesAreReportedAsConversionErrors) {
    GoToRecord(1);
    struct Case {
        const char* newSize;
        const char* oldName;
        std::string message;
    };
    const Case cases[] = {
        {"abc", "F_MEMO", "Error;  13 in NEWF\r型が一致しません。"},
        {"20", "NO_SUCH", "Error;  3265 in NEWF\rコレクションに項目が見つかりません。"},
    };
    for (const Case& c : cases) {
        MapEntry(kSources[10], "dbText", c.newSize);
        FieldMap(1, 5) = c.oldName;
        FieldMap(1, 6) = "dbLong";
        prompts_.Clear();
        int16_t error = 0;
        Convert(error);
        EXPECT_EQ(error, 9);
        ASSERT_EQ(prompts_.Shown().size(), 1u);
        EXPECT_EQ(prompts_.Shown()[0].text.toStdString(), c.message);
    }

    prompts_.Clear();
    Variant value;
    int16_t error = 0;
    ConvertFieldValue(*rs_, 1000, value, error);
    EXPECT_EQ(error, 9);
    ASSERT_EQ(prompts_.Shown().size(), 1u);
    EXPECT_EQ(prompts_.Shown()[0].text.toStdString(),
              "Error;  9 in \rインデックスが有効範囲にありません。");
}

} // namespace
