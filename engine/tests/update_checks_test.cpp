// Values are checked against their field as Jet checks them.
#include "engine/testing/test_support.h"

using namespace engine;
using namespace enginetest;

namespace {

struct Fixture {
    TempDir dir;
    DatabasePtr db;
    RecordsetPtr rs;
    Fixture() {
        db = Ws().CreateDatabase(dir.File("c.mdb"), kLangJapanese);
        auto td = db->CreateTableDef("C");
        AddField(td, "Key", dao::dbText, 6);
        AddField(td, "B", dao::dbByte);
        AddField(td, "I", dao::dbInteger);
        AddField(td, "L", dao::dbLong);
        AddField(td, "Cur", dao::dbCurrency);
        AddField(td, "D", dao::dbDate);
        AddField(td, "Flag", dao::dbBoolean);
        AddField(td, "Memo", dao::dbMemo)->SetAllowZeroLength(true);
        AddField(td, "Req", dao::dbText, 4)->SetRequired(true);
        AddIndex(td, "PrimaryKey", {"Key"}, true);
        db->TableDefs().Append(td);
        rs = db->OpenRecordset("C");
    }
    void StartRecord(const std::string& key) {
        rs->AddNew();
        rs->SetValue("Key", Variant(key));
        rs->SetValue("Req", Variant("r"));
    }
};

} // namespace

TEST(UpdateChecks, AssignmentsConvertOrFailWithJetErrors) {
    Fixture f;
    f.StartRecord("k1");
    struct Case {
        const char* field;
        Variant value;
        long error;
    } cases[] = {
        {"B", Variant::Long(255), 0},
        {"B", Variant::Long(256), err::kNumericOverflow},
        {"B", Variant::Long(-1), err::kNumericOverflow},
        {"I", Variant::Long(32767), 0},
        {"I", Variant::Long(32768), err::kNumericOverflow},
        {"L", Variant("12"), 0},
        {"L", Variant("twelve"), err::kConversionError},
        {"Cur", Variant("12.3456"), 0},
        {"D", Variant("2024/01/31"), 0},
        {"D", Variant("not a date"), err::kConversionError},
        {"Flag", Variant("True"), 0},
        {"Key", Variant("ｱｲｳｴｵｶ"), 0},
        {"Key", Variant("あいう"), 0},
        {"Key", Variant("あいうx"), err::kTextTooLong},
        {"Key", Variant("1234567"), err::kTextTooLong},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.field) + " <- " + TextOf(c.value));
        EXPECT_EQ(ErrorOf([&] { f.rs->SetValue(c.field, c.value); }), c.error);
    }
    f.rs->SetValue("Key", Variant("k1"));
    f.rs->Update();
    f.rs->MoveFirst();
    EXPECT_EQ(f.rs->Value("L").Type(), VarType::Long);
    EXPECT_EQ(CLng(f.rs->Value("L")), 12);
    EXPECT_EQ(f.rs->Value("Cur").CurrencyValue(), 123456);
    EXPECT_EQ(CStr(f.rs->Value("D")), "2024/01/31");
    EXPECT_TRUE(f.rs->Value("Flag").BoolValue());
    EXPECT_EQ(f.rs->Value("Flag").IntValue(), -1);
}

TEST(UpdateChecks, RequiredZeroLengthAndNullKeysAreRefusedAtUpdate) {
    Fixture f;
    f.StartRecord("k1");
    f.rs->SetValue("Req", Variant::Null());
    EXPECT_EQ(ErrorOf([&] { f.rs->Update(); }), err::kRequiredNull);
    f.rs->SetValue("Req", Variant(""));
    EXPECT_EQ(ErrorOf([&] { f.rs->Update(); }), err::kZeroLength);
    f.rs->SetValue("Req", Variant("ok"));
    f.rs->SetValue("Memo", Variant("")); // AllowZeroLength
    f.rs->SetValue("Key", Variant::Null());
    EXPECT_EQ(ErrorOf([&] { f.rs->Update(); }), err::kNullInIndex);
    f.rs->SetValue("Key", Variant("k1"));
    f.rs->Update();
    f.rs->MoveFirst();
    EXPECT_TRUE(f.rs->Value("Memo").IsString());
    EXPECT_TRUE(f.rs->Value("L").IsNull()); // Null stays apart from the empty text
    EXPECT_EQ(f.db->TableDefs().Item("C")->RecordCount(), 1);
}

TEST(UpdateChecks, DuplicateKeysDifferingOnlyInCaseAreRefused) {
    Fixture f;
    f.StartRecord("abc");
    f.rs->Update();
    f.StartRecord("ABC");
    EXPECT_EQ(ErrorOf([&] { f.rs->Update(); }), err::kDuplicateKey);
    f.rs->CancelUpdate();
    EXPECT_EQ(f.db->TableDefs().Item("C")->RecordCount(), 1);
    f.StartRecord("abd");
    f.rs->Update();
    f.rs->MoveFirst();
    f.rs->MoveNext();
    f.rs->Edit();
    f.rs->SetValue("Key", Variant("Abc"));
    EXPECT_EQ(ErrorOf([&] { f.rs->Update(); }), err::kDuplicateKey);
}

TEST(UpdateChecks, DefaultValuesFillNewRecords) {
    TempDir dir;
    DatabasePtr db = Ws().CreateDatabase(dir.File("d.mdb"), kLangJapanese);
    auto td = db->CreateTableDef("D");
    auto t = AddField(td, "T", dao::dbText, 5);
    t->SetAllowZeroLength(true);
    t->SetDefaultValue("\"\"");
    AddField(td, "N", dao::dbLong)->SetDefaultValue("7");
    AddField(td, "X", dao::dbLong);
    db->TableDefs().Append(td);
    auto rs = db->OpenRecordset("D");
    rs->AddNew();
    rs->Update();
    rs->MoveFirst();
    EXPECT_TRUE(rs->Value("T").IsString());
    EXPECT_EQ(TextOf(rs->Value("T")), "");
    EXPECT_EQ(CLng(rs->Value("N")), 7);
    EXPECT_TRUE(rs->Value("X").IsNull());
}

TEST(UpdateChecks, ValuesOfEveryTypeReadBackExactly) {
    Fixture f;
    f.StartRecord("v");
    f.rs->SetValue("Cur", Variant::CurrencyScaled(922337203685477LL * 10000 + 5807));
    f.rs->SetValue("D", Variant("1850/03/04 13:14:15"));
    f.rs->SetValue("Memo", Variant(std::string(100000, 'm') + "終"));
    f.rs->SetValue("Flag", Variant::Boolean(false));
    f.rs->Update();
    f.rs->MoveFirst();
    EXPECT_EQ(f.rs->Value("Cur").CurrencyValue(), 922337203685477LL * 10000 + 5807);
    EXPECT_EQ(CStr(f.rs->Value("D")), "1850/03/04 13:14:15");
    EXPECT_EQ(f.rs->Value("Memo").StringValue().size(), 100000u + 3u);
    EXPECT_EQ(f.rs->Value("Flag").Type(), VarType::Boolean);
    EXPECT_FALSE(f.rs->Value("Flag").BoolValue());
}

// Dates are written from the recordset's own copy of their text, one per field: every record
// and every date field of a record keeps its own date, through AddNew and Edit alike.
TEST(UpdateChecks, EveryDateOfEveryRecordIsStoredAsItsOwn) {
    TempDir dir;
    DatabasePtr db = Ws().CreateDatabase(dir.File("w.mdb"), kLangJapanese);
    auto td = db->CreateTableDef("W");
    AddField(td, "N", dao::dbLong);
    AddField(td, "A", dao::dbDate);
    AddField(td, "B", dao::dbDate);
    db->TableDefs().Append(td);
    struct Row {
        const char *a, *b;
    } rows[] = {{"2024/01/31 08:09:10", "1850/03/04"},
                {"1899/12/30 23:59:59", "9999/12/31 12:00:00"},
                {"100/01/01", "2000/02/29 00:00:01"}};
    auto rs = db->OpenRecordset("W", RecordsetType::Dynaset);
    for (int i = 0; i < 3; ++i) {
        rs->AddNew();
        rs->SetValue("N", Variant::Long(i));
        rs->SetValue("A", Variant(rows[i].a));
        rs->SetValue("B", Variant(rows[i].b));
        rs->Update();
    }
    rs->MoveFirst();
    rs->MoveNext();
    rs->Edit();
    rs->SetValue("B", Variant("1970/01/01 01:02:03"));
    rs->Update();
    rows[1].b = "1970/01/01 01:02:03";
    rs->Close();
    auto check = db->OpenRecordset("SELECT * FROM W ORDER BY N", RecordsetType::Snapshot);
    for (int i = 0; i < 3; ++i, check->MoveNext()) {
        ASSERT_FALSE(check->Eof());
        EXPECT_EQ(CStr(check->Value("A")), CStr(Variant::Date(CDate(Variant(rows[i].a))))) << i;
        EXPECT_EQ(CStr(check->Value("B")), CStr(Variant::Date(CDate(Variant(rows[i].b))))) << i;
    }
    EXPECT_TRUE(check->Eof());
}
