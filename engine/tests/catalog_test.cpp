// Tables, fields, indexes and properties survive a close and reopen exactly as defined.
#include "engine/testing/test_support.h"

using namespace engine;
using namespace enginetest;

namespace {

DatabasePtr MakeOrdersDb(const std::string& path) {
    DatabasePtr db = Ws().CreateDatabase(path, kLangJapanese);
    TableDefPtr td = db->CreateTableDef("受注 明細");
    auto id = AddField(td, "ID", dao::dbLong);
    id->SetAttributes(dao::dbAutoIncrField);
    auto code = AddField(td, "Code", dao::dbText, 10);
    code->SetAllowZeroLength(true);
    code->SetDefaultValue("\"\"");
    auto qty = AddField(td, "Qty", dao::dbInteger);
    qty->SetRequired(true);
    qty->SetDefaultValue("0");
    AddField(td, "Price", dao::dbCurrency);
    AddField(td, "When", dao::dbDate);
    AddField(td, "Note", dao::dbMemo);
    AddField(td, "Flag", dao::dbBoolean);
    AddIndex(td, "PrimaryKey", {"ID"}, true, true);
    AddIndex(td, "ByCode", {"Code", "-When"}, false, true);
    td->Properties().Append(td->CreateProperty("Description", dao::dbText, Variant("受注の明細")));
    code->Properties().Append(
        code->CreateProperty("Description", dao::dbText, Variant("商品コード")));
    db->TableDefs().Append(td);
    return db;
}

} // namespace

TEST(Catalog, RoundTripAfterReopenKeepsEveryDefinition) {
    TempDir dir;
    std::string path = dir.File("orders.mdb");
    MakeOrdersDb(path)->Close();

    DatabasePtr db = Ws().OpenDatabase(path);
    EXPECT_EQ(db->Connect(), kLangJapanese);
    TableDefPtr td = db->TableDefs().Item("受注 明細");
    ASSERT_EQ(td->Fields().Count(), 7u);
    struct Expect {
        const char* name;
        int type;
        long size;
        long attributes;
    } expected[] = {{"ID", dao::dbLong, 4, 17},    {"Code", dao::dbText, 10, 2},
                    {"Qty", dao::dbInteger, 2, 1}, {"Price", dao::dbCurrency, 8, 1},
                    {"When", dao::dbDate, 8, 1},   {"Note", dao::dbMemo, 0, 2},
                    {"Flag", dao::dbBoolean, 1, 1}};
    for (size_t i = 0; i < 7; ++i) {
        auto f = td->Fields()[i];
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(f->Name(), expected[i].name);
        EXPECT_EQ(f->Type(), expected[i].type);
        EXPECT_EQ(f->Size(), expected[i].size);
        EXPECT_EQ(f->Attributes(), expected[i].attributes);
        EXPECT_EQ(f->OrdinalPosition(), static_cast<int>(i));
    }
    EXPECT_TRUE(td->Fields().Item("code")->AllowZeroLength());
    EXPECT_EQ(td->Fields().Item("Code")->DefaultValue(), "\"\"");
    EXPECT_TRUE(td->Fields().Item("Qty")->Required());
    EXPECT_FALSE(td->Fields().Item("Note")->AllowZeroLength());

    ASSERT_EQ(td->Indexes().Count(), 2u);
    auto pk = td->Indexes()[0];
    EXPECT_EQ(pk->Name(), "PrimaryKey");
    EXPECT_TRUE(pk->Primary());
    EXPECT_TRUE(pk->Unique());
    auto by = td->Indexes().Item("bycode");
    EXPECT_FALSE(by->Primary());
    EXPECT_TRUE(by->Unique());
    ASSERT_EQ(by->Fields().Count(), 2u);
    EXPECT_EQ(by->Fields()[0]->Name(), "Code");
    EXPECT_EQ(by->Fields()[0]->Attributes(), 0);
    EXPECT_EQ(by->Fields()[1]->Name(), "When");
    EXPECT_EQ(by->Fields()[1]->Attributes(), dao::dbDescending);

    EXPECT_EQ(CStr(td->Properties().Item("description")->Value()), "受注の明細");
    EXPECT_EQ(CStr(td->Fields().Item("Code")->Properties().Item("Description")->Value()),
              "商品コード");
    EXPECT_EQ(ErrorOf([&] { td->Fields().Item("Qty")->Properties().Item("Description"); }),
              err::kPropertyNotFound);
}

TEST(Catalog, TableDefsWalkInNameOrderIgnoringCase) {
    TempDir dir;
    DatabasePtr db = Ws().CreateDatabase(dir.File("a.mdb"), kLangJapanese);
    for (const char* name : {"beta", "Alpha", "gamma", "ALPHA2", "顧客"}) {
        auto td = db->CreateTableDef(name);
        AddField(td, "x", dao::dbLong);
        db->TableDefs().Append(td);
    }
    std::vector<std::string> names;
    for (size_t i = 0; i < db->TableDefs().Count(); ++i) {
        std::string n = db->TableDefs()[i]->Name();
        if (n.rfind("MSys", 0) != 0) names.push_back(n);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "ALPHA2", "beta", "gamma", "顧客"}));
}

TEST(Catalog, PropertiesCreatedLaterAndChangedWriteThrough) {
    TempDir dir;
    std::string path = dir.File("p.mdb");
    {
        DatabasePtr db = MakeOrdersDb(path);
        TableDefPtr td = db->TableDefs().Item("受注 明細");
        auto qty = td->Fields().Item("Qty");
        EXPECT_EQ(ErrorOf([&] { qty->Properties().Item("Description")->SetValue(Variant("x")); }),
                  err::kPropertyNotFound);
        qty->Properties().Append(qty->CreateProperty("DesCription", dao::dbText, Variant("数量")));
        td->Properties().Item("Description")->SetValue(Variant("変更後"));
        EXPECT_EQ(ErrorOf([&] {
                      td->Properties().Append(
                          td->CreateProperty("description", dao::dbText, Variant("y")));
                  }),
                  err::kPropertyExists);
    }
    DatabasePtr db = Ws().OpenDatabase(path);
    TableDefPtr td = db->TableDefs().Item("受注 明細");
    EXPECT_EQ(CStr(td->Properties().Item("Description")->Value()), "変更後");
    auto p = td->Fields().Item("Qty")->Properties().Item("Description");
    EXPECT_EQ(p->Name(), "DesCription");
    EXPECT_EQ(CStr(p->Value()), "数量");
}

TEST(Catalog, RenameDeleteAndFieldChangesOnStoredTables) {
    TempDir dir;
    DatabasePtr db = MakeOrdersDb(dir.File("r.mdb"));
    TableDefPtr td = db->TableDefs().Item("受注 明細");
    td->SetName("Orders");
    EXPECT_FALSE(db->TableDefs().Contains("受注 明細"));
    TableDefPtr again = db->TableDefs().Item("ORDERS");
    EXPECT_EQ(again->Name(), "Orders");
    EXPECT_EQ(CStr(again->Properties().Item("Description")->Value()), "受注の明細");
    EXPECT_EQ(again->Indexes().Count(), 2u);

    again->SetName("orders"); // a change of letter case only
    EXPECT_EQ(db->TableDefs().Item("Orders")->Name(), "orders");

    auto other = db->CreateTableDef("Other");
    AddField(other, "x", dao::dbLong);
    db->TableDefs().Append(other);
    EXPECT_EQ(ErrorOf([&] { db->TableDefs().Item("Other")->SetName("ORDERS"); }),
              err::kTableExists);

    again = db->TableDefs().Item("orders");
    again->Fields().Item("Note")->SetName("Remark");
    EXPECT_TRUE(db->TableDefs().Item("orders")->Fields().Contains("Remark"));
    again->Fields().Append(again->CreateField("Added", dao::dbText, 5));
    EXPECT_EQ(db->TableDefs().Item("orders")->Fields().Count(), 8u);
    EXPECT_EQ(ErrorOf([&] { again->Fields().Delete("Code"); }), err::kFieldInIndex);

    db->TableDefs().Delete("Orders");
    EXPECT_FALSE(db->TableDefs().Contains("orders"));
    EXPECT_EQ(ErrorOf([&] { db->TableDefs().Delete("orders"); }), err::kItemNotFound);
    EXPECT_EQ(ErrorOf([&] { db->OpenRecordset("SELECT * FROM [orders]"); }), err::kTableNotFound);
}

TEST(Catalog, JetLimitsAreRefusedBeforeAnythingIsWritten) {
    TempDir dir;
    DatabasePtr db = Ws().CreateDatabase(dir.File("l.mdb"), kLangJapanese);

    auto wide = db->CreateTableDef("wide");
    for (int i = 0; i < 255; ++i) AddField(wide, "f" + std::to_string(i), dao::dbLong);
    EXPECT_EQ(ErrorOf([&] { AddField(wide, "f255", dao::dbLong); }), err::kTooManyFields);
    db->TableDefs().Append(wide);
    EXPECT_EQ(db->TableDefs().Item("wide")->Fields().Count(), 255u);

    auto t = db->CreateTableDef("t");
    for (int i = 0; i < 12; ++i) AddField(t, "k" + std::to_string(i), dao::dbLong);
    auto ix = t->CreateIndex("big");
    for (int i = 0; i < 11; ++i) ix->Fields().Append(ix->CreateField("k" + std::to_string(i)));
    EXPECT_EQ(ErrorOf([&] { t->Indexes().Append(ix); }), err::kTooManyIndexFields);
    EXPECT_EQ(ErrorOf([&] { AddField(t, std::string(65, 'n'), dao::dbLong); }), err::kInvalidName);
    AddField(t, std::string(64, 'n'), dao::dbLong);
    EXPECT_EQ(ErrorOf([&] { AddField(t, "k1", dao::dbLong); }), err::kFieldExists);
    EXPECT_EQ(ErrorOf([&] { AddField(t, "big", dao::dbText, 256); }), err::kInvalidArgument);
    for (int i = 0; i < 12; ++i) AddIndex(t, "i" + std::to_string(i), {"k" + std::to_string(i)});
    db->TableDefs().Append(t);
    EXPECT_FALSE(db->TableDefs().Contains("big"));

    auto dup = db->CreateTableDef("T");
    AddField(dup, "x", dao::dbLong);
    EXPECT_EQ(ErrorOf([&] { db->TableDefs().Append(dup); }), err::kTableExists);
    auto empty = db->CreateTableDef("empty");
    EXPECT_EQ(ErrorOf([&] { db->TableDefs().Append(empty); }), err::kNoFieldDefined);
    EXPECT_FALSE(db->TableDefs().Contains("empty"));
}

TEST(Catalog, NamesWithQuotesAndBlanksWork) {
    TempDir dir;
    DatabasePtr db = Ws().CreateDatabase(dir.File("n.mdb"), kLangJapanese);
    auto td = db->CreateTableDef("O'Brien \"q\" x");
    AddField(td, "it's", dao::dbText, 10);
    AddField(td, "a \"b\"", dao::dbLong);
    AddIndex(td, "ix'1", {"it's"}, true);
    db->TableDefs().Append(td);
    auto rs = db->OpenRecordset("SELECT * FROM [O'Brien \"q\" x] ORDER BY [a \"b\"]");
    rs->AddNew();
    rs->SetValue("it's", Variant("v'1"));
    rs->SetValue("a \"b\"", Variant::Long(3));
    rs->Update();
    rs->Requery();
    rs->FindFirst("[it's] = 'v''1'");
    EXPECT_FALSE(rs->NoMatch());
    EXPECT_EQ(CLng(rs->Value("a \"b\"")), 3);
    db->Execute("DELETE * FROM [O'Brien \"q\" x]");
    rs->Requery();
    EXPECT_TRUE(rs->Eof());
}

TEST(Catalog, OpeningMissingForeignAndExistingFiles) {
    TempDir dir;
    EXPECT_EQ(ErrorOf([&] { Ws().OpenDatabase(dir.File("none.mdb")); }), err::kFileNotFound);
    {
        std::FILE* f = std::fopen(dir.File("text.mdb").c_str(), "w");
        std::fputs("this is not a database at all, just some text in a file\n", f);
        std::fclose(f);
    }
    EXPECT_EQ(ErrorOf([&] { Ws().OpenDatabase(dir.File("text.mdb")); }), err::kBadFormat);
    Ws().CreateDatabase(dir.File("x.mdb"), kLangJapanese)->Close();
    EXPECT_EQ(ErrorOf([&] { Ws().CreateDatabase(dir.File("x.mdb"), kLangJapanese); }),
              err::kDatabaseExists);
    EXPECT_EQ(ErrorOf([&] { Ws().CreateDatabase(dir.File("text.mdb"), kLangJapanese); }),
              err::kDatabaseExists);
}

TEST(Catalog, AFixedLengthTextFieldKeepsItsAttribute) {
    TempDir dir;
    std::string path = dir.File("fixed.mdb");
    {
        DatabasePtr db = Ws().CreateDatabase(path, kLangJapanese);
        TableDefPtr td = db->CreateTableDef("T");
        AddField(td, "Fixed", dao::dbText, 4)->SetAttributes(dao::dbFixedField);
        AddField(td, "Plain", dao::dbText, 4);
        AddField(td, "Number", dao::dbLong)->SetAttributes(dao::dbVariableField);
        db->TableDefs().Append(td);
        db->Close();
    }
    DatabasePtr db = Ws().OpenDatabase(path);
    TableDefPtr td = db->TableDefs().Item("T");
    EXPECT_EQ(td->Fields().Item("Fixed")->Attributes(), dao::dbFixedField);
    EXPECT_EQ(td->Fields().Item("Plain")->Attributes(), dao::dbVariableField);
    EXPECT_EQ(td->Fields().Item("Number")->Attributes(), dao::dbFixedField);
}
