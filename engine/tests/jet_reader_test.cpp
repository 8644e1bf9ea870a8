// Genuine Jet files opened through the workspace: what every test file holds (checked against
// the mdbtools command-line programs), read-only behaviour, values of each type (some put into
// copies of the files by patching bytes), the reuse of converted copies, and what happens when
// the reader program fails.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <thread>

#include "engine/testing/jet_test_support.h"
#include "engine/testing/shared_test_data.h"
#include "engine/testing/test_support.h"
#include "jet/jet_format.h"
#include "jet/jet_reader.h"

using namespace engine;
using namespace enginetest;
using namespace jettest;

namespace {

std::vector<std::string> UserTables(const DatabasePtr& db) {
    std::vector<std::string> names;
    for (const auto& n : db->TableDefs().Names())
        if (n.rfind("MSys", 0) != 0) names.push_back(n);
    return names;
}

std::string Lower(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// One value as mdb-export prints it with the options of MdbExport: text-like values (text,
// dates, binary as hexadecimal) in double quotes, numbers and Booleans bare, Null as nothing.
std::string AsExported(const Variant& v, int type) {
    char buf[64];
    switch (v.Type()) {
    case VarType::Null:
        return "";
    case VarType::Boolean:
        return v.BoolValue() ? "1" : "0";
    case VarType::Byte:
    case VarType::Integer:
    case VarType::Long:
        return std::to_string(v.IntValue());
    case VarType::Currency: {
        int64_t c = v.CurrencyValue();
        std::snprintf(buf, sizeof buf, "%s%lld.%04lld", c < 0 ? "-" : "",
                      static_cast<long long>(std::llabs(c) / 10000),
                      static_cast<long long>(std::llabs(c) % 10000));
        return buf;
    }
    case VarType::Single:
        std::snprintf(buf, sizeof buf, "%.8g", v.RealValue());
        return buf;
    case VarType::Double:
        std::snprintf(buf, sizeof buf, "%.16g", v.RealValue());
        return buf;
    case VarType::Date: {
        DateParts p = SplitDate(v.RealValue());
        std::snprintf(buf, sizeof buf, "\"%04d-%02d-%02d %02d:%02d:%02d\"", p.year, p.month, p.day,
                      p.hour, p.minute, p.second);
        return buf;
    }
    case VarType::String: {
        if (type == dao::dbBinary || type == dao::dbLongBinary) {
            std::string hex;
            for (unsigned char c : v.StringValue()) {
                std::snprintf(buf, sizeof buf, "%02X", c);
                hex += buf;
            }
            return "\"" + hex + "\"";
        }
        std::string quoted = "\"";
        for (char c : v.StringValue()) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
        return quoted + "\"";
    }
    default:
        return "?";
    }
}

struct FieldExpect {
    const char* name;
    int type;
    long size;
    long attributes;
    bool allowZeroLength;
    bool required;
    const char* defaultValue;
};

struct IndexExpect {
    const char* name;
    bool primary;
    bool unique;
    bool ignoreNulls;
    std::vector<std::string> fields; // "-" marks a descending field
};

void ExpectFields(const DatabasePtr& db, const std::string& table,
                  const std::vector<FieldExpect>& expected) {
    SCOPED_TRACE(table);
    TableDefPtr td = db->TableDefs().Item(table);
    ASSERT_EQ(td->Fields().Count(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const FieldExpect& e = expected[i];
        FieldPtr f = td->Fields()[i];
        SCOPED_TRACE(e.name);
        EXPECT_EQ(f->Name(), e.name);
        EXPECT_EQ(f->Type(), e.type);
        EXPECT_EQ(f->Size(), e.size);
        EXPECT_EQ(f->Attributes(), e.attributes);
        EXPECT_EQ(f->AllowZeroLength(), e.allowZeroLength);
        EXPECT_EQ(f->Required(), e.required);
        EXPECT_EQ(f->DefaultValue(), e.defaultValue);
        EXPECT_EQ(f->OrdinalPosition(), static_cast<int>(i));
    }
}

void ExpectIndexes(const DatabasePtr& db, const std::string& table,
                   const std::vector<IndexExpect>& expected) {
    SCOPED_TRACE(table);
    TableDefPtr td = db->TableDefs().Item(table);
    ASSERT_EQ(td->Indexes().Count(), expected.size());
    for (const auto& e : expected) {
        SCOPED_TRACE(e.name);
        IndexPtr ix = td->Indexes().Item(e.name);
        EXPECT_EQ(ix->Primary(), e.primary);
        EXPECT_EQ(ix->Unique(), e.unique);
        EXPECT_EQ(ix->IgnoreNulls(), e.ignoreNulls);
        std::vector<std::string> fields;
        for (const auto& f : ix->Fields())
            fields.push_back(((f->Attributes() & dao::dbDescending) ? "-" : "") + f->Name());
        EXPECT_EQ(fields, e.fields);
    }
}

} // namespace

TEST(JetReader, TableListsMatchMdbTables) {
    SKIP_WITHOUT_SHARED_TEST_DATA();
    for (const char* file : kJetFiles) {
        SCOPED_TRACE(file);
        DatabasePtr db = Ws().OpenDatabase(JetFile(file));
        EXPECT_TRUE(db->ReadOnly());
        std::vector<std::string> ours = UserTables(db), theirs = MdbTables(JetFile(file));
        auto byName = [](const std::string& a, const std::string& b) {
            return Lower(a) < Lower(b);
        };
        std::sort(theirs.begin(), theirs.end(), byName);
        EXPECT_EQ(ours, theirs);
    }
    EXPECT_EQ(Ws().OpenDatabase(JetFile("testV1997.mdb"))->Connect(),
              ";LANGID=0x0409;CP=1252;COUNTRY=0");
}

// Types and sizes as mdb-schema shows them, AllowZeroLength, Required and DefaultValue as
// mdb-prop shows them; Attributes as Jet reports them (1 fixed, 2 variable, 16 auto-number).
TEST(JetReader, FieldDefinitionsMatchMdbSchemaAndMdbProp) {
    SKIP_WITHOUT_SHARED_TEST_DATA();
    using namespace dao;
    DatabasePtr v97 = Ws().OpenDatabase(JetFile("testV1997.mdb"));
    ExpectFields(v97, "Table1",
                 {{"A", dbText, 50, 2, false, false, ""},
                  {"B", dbText, 100, 2, false, false, ""},
                  {"C", dbByte, 1, 1, false, false, "0"},
                  {"D", dbInteger, 2, 1, false, false, "0"},
                  {"E", dbLong, 4, 1, false, false, "0"},
                  {"F", dbDouble, 8, 1, false, false, "0"},
                  {"G", dbDate, 8, 1, false, false, ""},
                  {"H", dbCurrency, 8, 1, false, false, "0"},
                  {"I", dbBoolean, 1, 1, false, false, ""}});
    ExpectFields(v97, "Table3",
                 {{"a", dbLong, 4, 17, false, false, ""}, {"b", dbText, 50, 2, false, false, ""}});
    ExpectFields(v97, "Table4",
                 {{"name", dbText, 50, 2, false, false, ""},
                  {"data", dbGUID, 16, 17, false, false, "GenGUID()"}});
    TableDefPtr wide = v97->TableDefs().Item("Table2");
    ASSERT_EQ(wide->Fields().Count(), 89u);
    EXPECT_EQ(wide->Fields()[88]->Name(), "column89");
    EXPECT_TRUE(wide->Fields()[88]->AllowZeroLength());

    DatabasePtr msp = Ws().OpenDatabase(JetFile("test2V1997.mdb"));
    TableDefPtr projects = msp->TableDefs().Item("MSP_PROJECTS");
    ASSERT_EQ(projects->Fields().Count(), 74u);
    struct Some {
        const char* name;
        int type;
        long size;
        long attributes;
    } some[] = {{"PROJ_ID", dbLong, 4, 1},
                {"PROJ_NAME", dbText, 255, 2},
                {"PROJ_PROP_AUTHOR", dbMemo, 0, 2},
                {"PROJ_OPT_CALC_ACT_COSTS", dbBoolean, 1, 1},
                {"PROJ_OPT_CURRENCY_DIGITS", dbInteger, 2, 1},
                {"PROJ_OPT_DEF_OVT_RATE", dbDouble, 8, 1},
                {"PROJ_PROJECT", dbText, 203, 2},
                {"RESERVED_BINARY_DATA", dbLongBinary, 0, 2}};
    for (const auto& s : some) {
        SCOPED_TRACE(s.name);
        FieldPtr f = projects->Fields().Item(s.name);
        EXPECT_EQ(f->Type(), s.type);
        EXPECT_EQ(f->Size(), s.size);
        EXPECT_EQ(f->Attributes(), s.attributes);
    }

    // Jet 4: text sizes in characters; fixed-length text reported with Attributes 1.
    DatabasePtr fixed = Ws().OpenDatabase(JetFile("fixedTextTestV2000.mdb"));
    ExpectFields(fixed, "users",
                 {{"i_user_id", dbLong, 4, 1, false, true, ""},
                  {"c_user_login", dbText, 32, 2, false, true, ""},
                  {"c_user_pwd", dbText, 32, 2, false, true, ""},
                  {"c_user_session", dbText, 40, 2, false, true, ""},
                  {"c_user_name", dbText, 200, 2, false, true, ""},
                  {"i_user_flags", dbLong, 4, 1, false, true, ""},
                  {"i_user_type", dbLong, 4, 1, false, true, ""},
                  {"i_user_merch", dbLong, 4, 1, false, true, ""},
                  {"c_flag_", dbText, 1, 1, false, true, ""},
                  {"d_stamp_", dbDate, 8, 1, false, true, ""}});
    for (const char* file : {"indexTestV1997.mdb", "indexTestV2000.mdb"}) {
        SCOPED_TRACE(file);
        DatabasePtr db = Ws().OpenDatabase(JetFile(file));
        ExpectFields(db, "Table1",
                     {{"id", dbLong, 4, 1, false, false, "0"},
                      {"otherfk1", dbLong, 4, 1, false, false, "0"},
                      {"otherfk2", dbLong, 4, 1, false, false, "0"},
                      {"data", dbText, 50, 2, true, false, ""},
                      {"otherfk3", dbLong, 4, 1, false, false, "0"}});
        ExpectFields(
            db, "Table2",
            {{"id", dbLong, 4, 1, false, false, "0"}, {"data", dbText, 50, 2, true, false, ""}});
    }
    ExpectFields(Ws().OpenDatabase(JetFile("compIndexTestV1997.mdb")), "Table1",
                 {{"CD_AGENTE", dbLong, 4, 1, false, false, "0"},
                  {"RS_AGENTE", dbText, 55, 2, true, false, ""},
                  {"DC_AGENTE", dbText, 55, 2, true, false, ""}});
    ExpectFields(Ws().OpenDatabase(JetFile("testIndexPropertiesV2000.mdb")), "TableIgnoreNulls2",
                 {{"row", dbText, 50, 2, true, false, ""},
                  {"data1", dbText, 50, 2, true, false, ""},
                  {"data2", dbLong, 4, 1, false, false, "0"}});
}

// Indexes as the table definitions hold them. mdb-schema agrees for all files except
// testIndexPropertiesV2000.mdb, where libmdb pairs logical and physical index entries wrongly
// (it prints indexes without columns); there the values come from the definition bytes and
// the names tell the intent (unique or ignore-nulls data indexes). Foreign-key entries of
// relationships are not indexes of the table, as mdb-schema shows.
TEST(JetReader, IndexesKeepPrimaryUniqueIgnoreNullsOrderAndDirection) {
    SKIP_WITHOUT_SHARED_TEST_DATA();
    DatabasePtr v97 = Ws().OpenDatabase(JetFile("testV1997.mdb"));
    ExpectIndexes(v97, "Table1",
                  {{"B", false, false, false, {"B"}}, {"PrimaryKey", true, true, false, {"A"}}});
    ExpectIndexes(v97, "Table2",
                  {{"column10", false, false, false, {"column10"}},
                   {"column14", false, false, false, {"column14"}},
                   {"column75", false, false, false, {"column75"}},
                   {"id", false, false, false, {"column1"}},
                   {"PrimaryKey", true, true, false, {"column1"}}});
    ExpectIndexes(v97, "Table4", {{"PrimaryKey", true, true, false, {"data"}}});

    for (const char* file : {"indexTestV1997.mdb", "indexTestV2000.mdb"}) {
        SCOPED_TRACE(file);
        DatabasePtr db = Ws().OpenDatabase(JetFile(file));
        for (const char* table : {"Table1", "Table2", "Table3"})
            ExpectIndexes(
                db, table,
                {{"id", false, false, false, {"id"}}, {"PrimaryKey", true, true, false, {"id"}}});
    }

    ExpectIndexes(Ws().OpenDatabase(JetFile("compIndexTestV1997.mdb")), "Table1",
                  {{"CD_AGENTE", false, false, false, {"-CD_AGENTE"}}});
    ExpectIndexes(Ws().OpenDatabase(JetFile("test2V1997.mdb")), "MSP_PROJECTS",
                  {{"I_MSP_PROJECTS", false, true, false, {"PROJ_ID"}},
                   {"I_PROJ_NAME", false, true, false, {"PROJ_NAME"}}});

    DatabasePtr props = Ws().OpenDatabase(JetFile("testIndexPropertiesV2000.mdb"));
    ExpectIndexes(
        props, "TableIgnoreNulls1",
        {{"DataIndex", false, false, true, {"data"}}, {"PrimaryKey", true, true, false, {"row"}}});
    ExpectIndexes(props, "TableIgnoreNulls2",
                  {{"DataIndex", false, false, true, {"data1", "data2"}},
                   {"PrimaryKey", true, true, false, {"row"}}});
    ExpectIndexes(
        props, "TableUnique1_temp",
        {{"DataIndex", false, true, false, {"data"}}, {"PrimaryKey", true, true, false, {"row"}}});
    ExpectIndexes(props, "TableUnique2_temp",
                  {{"DataIndex", false, true, false, {"data1", "data2"}},
                   {"PrimaryKey", true, true, false, {"row"}}});
    EXPECT_TRUE(
        props->TableDefs().Item("TableUnique2_temp")->Indexes().Item("PrimaryKey")->Required());
}

// Every value of every table of every file, compared with mdb-export's output; the record
// counts with it.
TEST(JetReader, EveryValueMatchesMdbExport) {
    SKIP_WITHOUT_SHARED_TEST_DATA();
    for (const char* file : kJetFiles) {
        DatabasePtr db = Ws().OpenDatabase(JetFile(file));
        for (const auto& table : UserTables(db)) {
            SCOPED_TRACE(std::string(file) + " " + table);
            auto exported = MdbExport(JetFile(file), table);
            ASSERT_FALSE(exported.empty());
            RecordsetPtr rs = db->OpenRecordset(table, RecordsetType::Snapshot);
            ASSERT_EQ(rs->FieldCount(), exported[0].size());
            for (size_t i = 0; i < rs->FieldCount(); ++i)
                EXPECT_EQ(rs->FieldAt(i).name, exported[0][i]);
            EXPECT_EQ(rs->RecordCount(), static_cast<long>(exported.size() - 1));
            EXPECT_EQ(db->TableDefs().Item(table)->RecordCount(),
                      static_cast<long>(exported.size() - 1));
            size_t row = 1;
            for (; !rs->Eof() && row < exported.size(); rs->MoveNext(), ++row) {
                for (size_t i = 0; i < rs->FieldCount(); ++i) {
                    SCOPED_TRACE(rs->FieldAt(i).name + " row " + std::to_string(row));
                    EXPECT_EQ(AsExported(rs->Value(i), rs->FieldAt(i).type), exported[row][i]);
                }
            }
            EXPECT_EQ(row, exported.size());
        }
    }
}

TEST(JetReader, ValuesComeWithTheirTypes) {
    SKIP_WITHOUT_SHARED_TEST_DATA();
    DatabasePtr db = Ws().OpenDatabase(JetFile("testV1997.mdb"));
    RecordsetPtr rs =
        db->OpenRecordset("SELECT * FROM [Table1] ORDER BY A DESC", RecordsetType::Dynaset);
    EXPECT_EQ(rs->Value("A"), Variant("abcdefg"));
    EXPECT_EQ(rs->Value("C"), Variant::Byte(2));
    EXPECT_EQ(rs->Value("D"), Variant::Integer(222));
    EXPECT_EQ(rs->Value("E"), Variant::Long(333333333));
    EXPECT_EQ(rs->Value("F"), Variant::Double(444.555));
    EXPECT_EQ(rs->Value("G"), Variant::Date(DateSerial(1974, 9, 21)));
    EXPECT_EQ(rs->Value("H"), Variant::CurrencyScaled(35000));
    EXPECT_EQ(rs->Value("I"), Variant::Boolean(true));
    rs->MoveNext();
    EXPECT_EQ(rs->Value("I"), Variant::Boolean(false));
    EXPECT_EQ(rs->Value("G"), Variant::Date(DateSerial(1981, 12, 12)));

    DatabasePtr msp = Ws().OpenDatabase(JetFile("test2V1997.mdb"));
    RecordsetPtr p = msp->OpenRecordset("MSP_PROJECTS", RecordsetType::Snapshot);
    Variant memo = p->Value("PROJ_PROP_AUTHOR");
    ASSERT_TRUE(memo.IsString());
    EXPECT_EQ(memo.StringValue().rfind("Jon Iles this is a a vawesrasoih", 0), 0u);
    EXPECT_EQ(memo.StringValue().size(), 348u);
    EXPECT_EQ(p->Value("PROJ_OPT_CURRENCY_SYMBOL"), Variant("£"));
    EXPECT_TRUE(p->Value("PROJ_PROP_CATEGORY").IsNull());
    EXPECT_EQ(p->Value("PROJ_CREATION_DATE_EX"),
              Variant::Date(DateSerial(2006, 2, 3) + TimeSerial(22, 11, 5)));
    Variant blob = p->Value("RESERVED_BINARY_DATA");
    ASSERT_TRUE(blob.IsString());
    EXPECT_EQ(blob.StringValue().size(), 22970u);
    EXPECT_EQ(blob.StringValue().substr(0, 4), std::string("\x15\x1C\x2D\x00", 4));

    DatabasePtr nulls = Ws().OpenDatabase(JetFile("testIndexPropertiesV2000.mdb"));
    RecordsetPtr n = nulls->OpenRecordset("SELECT * FROM [TableUnique2_temp] WHERE row = 'row2'",
                                          RecordsetType::Snapshot);
    EXPECT_EQ(n->Value("data1"), Variant("more"));
    EXPECT_TRUE(n->Value("data2").IsNull());
}

// Values no test file holds, put into a copy of testV1997.mdb: a date before 1900, a negative
// amount, an empty text next to a Null, and Descriptions (by renaming the properties
// ColumnWidth and Orientation, of the same length, in the property blobs).
TEST(JetReader, PatchedValuesKeepWhatJetStores) {
    SKIP_WITHOUT_SHARED_TEST_DATA();
    TempDir dir;
    std::string image = ReadWhole(JetFile("testV1997.mdb"));
    // Table1's records are on page 31: the first at 2008, the second at 1954.
    const size_t page = 31 * 2048;
    ASSERT_EQ(ReadF64(image, page + 2008 + 16), DateSerial(1981, 12, 12));
    PutF64(image, page + 2008 + 16, -1.5);      // G: 1899-12-29 12:00
    PutI64(image, page + 2008 + 24, -12345678); // H: -1234.5678
    ASSERT_EQ(static_cast<unsigned char>(image[page + 1954 + 50]), 0x20);
    image[page + 1954 + 50] = 0x27; // A of the second record: starts where B starts, so ""
    EXPECT_EQ(ReplaceAll(image, "ColumnWidth", "Description"), 4u);
    EXPECT_EQ(ReplaceAll(image, "Orientation", "Description"), 4u);
    std::string path = WriteFile(dir, "patched.mdb", image);

    DatabasePtr db = Ws().OpenDatabase(path);
    RecordsetPtr rs = db->OpenRecordset("Table1", RecordsetType::Snapshot);
    ASSERT_EQ(rs->Value("B"), Variant("b"));
    Variant date = rs->Value("G");
    ASSERT_EQ(date.Type(), VarType::Date);
    EXPECT_DOUBLE_EQ(date.RealValue(), -1.5);
    DateParts parts = SplitDate(date.RealValue());
    EXPECT_EQ(std::vector<int>({parts.year, parts.month, parts.day, parts.hour}),
              std::vector<int>({1899, 12, 29, 12}));
    EXPECT_EQ(rs->Value("H"), Variant::CurrencyScaled(-12345678));
    rs->MoveNext();
    EXPECT_EQ(rs->Value("A"), Variant(""));
    EXPECT_EQ(rs->Value("B"), Variant("hijklmnop"));
    rs->FindFirst("A = ''");
    EXPECT_FALSE(rs->NoMatch());
    rs->FindFirst("A Is Null");
    EXPECT_TRUE(rs->NoMatch());

    TableDefPtr td = db->TableDefs().Item("Table1");
    EXPECT_EQ(td->Properties().Item("Description")->Value(), Variant("0"));
    EXPECT_EQ(td->Properties().Item("Description")->Type(), dao::dbText);
    EXPECT_EQ(td->Fields().Item("A")->Properties().Item("Description")->Value(), Variant("-1"));
    // The unpatched file has none: the property is missing.
    TableDefPtr plain = Ws().OpenDatabase(JetFile("testV1997.mdb"))->TableDefs().Item("Table1");
    EXPECT_EQ(ErrorOf([&] { plain->Properties().Item("Description"); }), err::kPropertyNotFound);
    EXPECT_EQ(ErrorOf([&] { plain->Fields().Item("A")->Properties().Item("Description"); }),
              err::kPropertyNotFound);
}

// Jet 3 text follows the header's code page (932 when it names none), or the setting.
TEST(JetReader, Jet3TextIsDecodedWithTheCodePageAndBadBytesAreReported) {
    SKIP_WITHOUT_SHARED_TEST_DATA();
    TempDir dir;
    const std::string original = ReadWhole(JetFile("testV1997.mdb"));
    const size_t textAt = 31 * 2048 + 1954 + 32; // "abcdefg", A of Table1's second record
    ASSERT_EQ(original.substr(textAt, 7), "abcdefg");
    auto variant = [&](const char* name, int codePage, std::string text) {
        std::string image = original;
        SetJet3HeaderCodePage(image, codePage);
        image.replace(textAt, 7, text);
        return WriteFile(dir, name, image);
    };
    const std::string sjis = "\x93\xFA\x96\x7B\x8C\xEA"
                             "x"; // 日本語x
    std::string cp932 = variant("cp932.mdb", 932, sjis);
    std::string none = variant("none.mdb", 0, sjis);
    std::string latin = variant("latin.mdb", 1252, sjis);
    std::string broken = variant("broken.mdb", 932, "ab\x82 xyz");

    auto firstA = [](const std::string& path) {
        RecordsetPtr rs = Ws().OpenDatabase(path)->OpenRecordset(
            "SELECT * FROM [Table1] ORDER BY B DESC", RecordsetType::Snapshot);
        return rs->Value("A");
    };
    EXPECT_EQ(firstA(cp932), Variant("日本語x"));
    EXPECT_EQ(firstA(none), Variant("日本語x"));
    EXPECT_EQ(firstA(latin), Variant("“ú–{Œêx"));
    EXPECT_EQ(Ws().OpenDatabase(cp932)->Connect(), ";LANGID=0x0409;CP=932;COUNTRY=0");

    {
        EnvGuard force("TAVORIN_JET3_CODEPAGE", "932");
        EXPECT_EQ(firstA(latin), Variant("日本語x"));
    }
    {
        EnvGuard force("TAVORIN_JET3_CODEPAGE", "1252");
        EXPECT_EQ(firstA(cp932), Variant("“ú–{Œêx"));
    }
    EXPECT_EQ(firstA(latin), Variant("“ú–{Œêx"));

    // Names in code page 932 too: a field and its index renamed everywhere the file names them
    // (definition pages, index, property blocks).
    std::string named = original;
    SetJet3HeaderCodePage(named, 932);
    ASSERT_EQ(ReplaceAll(named, "column10",
                         "\x97\xF1\x96\xBC"
                         "abcd"),
              5u);
    TableDefPtr wide =
        Ws().OpenDatabase(WriteFile(dir, "named.mdb", named))->TableDefs().Item("Table2");
    EXPECT_EQ(wide->Fields()[9]->Name(), "列名abcd");
    EXPECT_TRUE(wide->Fields()[9]->AllowZeroLength()); // its properties found under that name
    EXPECT_TRUE(wide->Indexes().Contains("列名abcd"));

    try {
        Ws().OpenDatabase(broken);
        ADD_FAILURE() << "no error for undecodable text";
    } catch (const Error& e) {
        EXPECT_EQ(e.Number(), err::kBadFormat);
        EXPECT_NE(e.Description().find(broken), std::string::npos) << e.Description();
        EXPECT_NE(e.Description().find("'Table1'"), std::string::npos) << e.Description();
        EXPECT_NE(e.Description().find("'A'"), std::string::npos) << e.Description();
        EXPECT_NE(e.Description().find("CP932"), std::string::npos) << e.Description();
    }
}

TEST(JetReader, EveryKindOfChangeIsRefusedAsReadOnly) {
    SKIP_WITHOUT_SHARED_TEST_DATA();
    const std::string path = JetFile("testV1997.mdb");
    const std::string before = ReadWhole(path);
    DatabasePtr db = Ws().OpenDatabase(path, false, false);
    ASSERT_TRUE(db->ReadOnly());
    TableDefPtr td = db->TableDefs().Item("Table1");
    RecordsetPtr dyn = db->OpenRecordset("Table1", RecordsetType::Dynaset);
    RecordsetPtr tab = db->OpenRecordset("Table1", RecordsetType::Table);
    EXPECT_FALSE(dyn->Updatable());
    struct Change {
        const char* what;
        std::function<void()> run;
    } changes[] = {
        {"AddNew", [&] { dyn->AddNew(); }},
        {"AddNew on a table recordset", [&] { tab->AddNew(); }},
        {"Edit", [&] { dyn->Edit(); }},
        {"Delete", [&] { dyn->Delete(); }},
        {"Execute DELETE", [&] { db->Execute("DELETE * FROM Table1"); }},
        {"TableDefs.Append",
         [&] {
             TableDefPtr t = db->CreateTableDef("New");
             AddField(t, "X", dao::dbLong);
             db->TableDefs().Append(t);
         }},
        {"TableDefs.Delete", [&] { db->TableDefs().Delete("Table1"); }},
        {"rename a table", [&] { td->SetName("Renamed"); }},
        {"rename a field", [&] { td->Fields().Item("A")->SetName("AA"); }},
        {"append a field", [&] { td->Fields().Append(td->CreateField("Z", dao::dbLong)); }},
        {"append an index",
         [&] {
             IndexPtr ix = td->CreateIndex("ByC");
             ix->Fields().Append(ix->CreateField("C"));
             td->Indexes().Append(ix);
         }},
        {"delete an index", [&] { td->Indexes().Delete("B"); }},
        {"CreateProperty + Append on the table",
         [&] {
             td->Properties().Append(td->CreateProperty("Description", dao::dbText, Variant("x")));
         }},
        {"CreateProperty + Append on a field",
         [&] {
             FieldPtr f = td->Fields().Item("A");
             f->Properties().Append(f->CreateProperty("Description", dao::dbText, Variant("x")));
         }},
        {"Required", [&] { td->Fields().Item("A")->SetRequired(true); }},
        {"DefaultValue", [&] { td->Fields().Item("A")->SetDefaultValue("\"x\""); }},
    };
    for (const auto& c : changes) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ErrorOf(c.run), err::kReadOnly);
    }
    EXPECT_EQ(dyn->RecordCount(), 2);
    EXPECT_EQ(db->TableDefs().Item("Table1")->RecordCount(), 2);
    EXPECT_TRUE(db->TableDefs().Contains("Table1"));
    EXPECT_FALSE(db->TableDefs().Item("Table1")->Properties().Contains("Description"));
    EXPECT_EQ(ReadWhole(path), before);
}

TEST(JetReader, RecordsetsOfEveryKindFindAndSeek) {
    SKIP_WITHOUT_SHARED_TEST_DATA();
    DatabasePtr db = Ws().OpenDatabase(JetFile("indexTestV2000.mdb"));
    RecordsetPtr tab = db->OpenRecordset("Table1", RecordsetType::Table);
    tab->SetIndex("PrimaryKey");
    tab->Seek("=", {Variant::Long(2)});
    ASSERT_FALSE(tab->NoMatch());
    EXPECT_EQ(tab->Value("data"), Variant("baz11-2"));
    tab->Seek("=", {Variant::Long(42)});
    EXPECT_TRUE(tab->NoMatch());

    RecordsetPtr dyn = db->OpenRecordset(
        "SELECT * FROM [Table1] WHERE otherfk2 = 11 ORDER BY id DESC", RecordsetType::Dynaset);
    EXPECT_EQ(dyn->RecordCount(), 2);
    EXPECT_EQ(dyn->Value("id"), Variant::Long(2));
    dyn->FindFirst("data = 'baz11'");
    ASSERT_FALSE(dyn->NoMatch());
    EXPECT_EQ(dyn->Value("id"), Variant::Long(1));

    RecordsetPtr snap = db->OpenRecordset("SELECT * FROM [Table1] WHERE data Like 'baz1*'",
                                          RecordsetType::Snapshot);
    EXPECT_EQ(snap->RecordCount(), 3);
    snap->MoveLast();
    EXPECT_EQ(snap->Value("data"), Variant("baz13"));
}

TEST(JetReader, OpeningTheSameUnchangedFileAgainReusesTheCopy) {
    SKIP_WITHOUT_SHARED_TEST_DATA();
    TempDir dir;
    std::string path = WriteFile(dir, "again.mdb", ReadWhole(JetFile("indexTestV1997.mdb")));
    std::string first = detail::NativeCopyOfJetFile(path);
    Ws().OpenDatabase(path)->Close();
    struct stat a {};
    ASSERT_EQ(::stat(first.c_str(), &a), 0);
    EXPECT_EQ(detail::NativeCopyOfJetFile(path), first);
    EXPECT_EQ(Ws().OpenDatabase(path)->TableDefs().Item("Table2")->RecordCount(), 3);
    struct stat b {};
    ASSERT_EQ(::stat(first.c_str(), &b), 0);
    EXPECT_EQ(a.st_ino, b.st_ino);
    EXPECT_EQ(fs::path(first).parent_path().string(), detail::JetCopyFolder());

    // Changed on disk (another modification time): converted again, the old copy dropped.
    struct timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    std::string second = detail::NativeCopyOfJetFile(path);
    EXPECT_NE(second, first);
    EXPECT_FALSE(fs::exists(first));
    EXPECT_TRUE(fs::exists(second));
}

TEST(JetReader, HeadersOfOtherGenerationsAreRefused) {
    SKIP_WITHOUT_SHARED_TEST_DATA();
    TempDir dir;
    std::string jet4 = ReadWhole(JetFile("emptyJet4.mdb"));
    std::string ace = jet4;
    ace[0x14] = 0x03;
    std::string aceSignature = jet4;
    aceSignature.replace(4, 15, "Standard ACE DB");
    aceSignature[0x14] = 0x02;
    std::string garbage = jet4.substr(0, 0x20) + std::string(8192, '\x5A');
    struct Case {
        const char* name;
        std::string bytes;
        const char* says;
    } cases[] = {
        {"ace.mdb", ace, "ACE"}, {"ace2.accdb", aceSignature, "ACE"}, {"garbage.mdb", garbage, ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = WriteFile(dir, c.name, c.bytes);
        try {
            Ws().OpenDatabase(path);
            ADD_FAILURE() << "opened";
        } catch (const Error& e) {
            EXPECT_EQ(e.Number(), err::kBadFormat);
            EXPECT_NE(e.Description().find(path), std::string::npos) << e.Description();
            EXPECT_NE(e.Description().find(c.says), std::string::npos) << e.Description();
        }
    }
    EXPECT_TRUE(UserTables(Ws().OpenDatabase(JetFile("emptyJet4.mdb"))).empty());
    EXPECT_TRUE(ChildProcesses().empty());
}

// The reader program crashing, hanging (also with a process of its own), failing with a
// message or writing nothing: each gives 3343 naming the file and the reason, in bounded time,
// and leaves neither processes nor files behind.
TEST(JetReader, AFailingReaderProgramGivesBadFormatAndLeavesNothingBehind) {
    SKIP_WITHOUT_SHARED_TEST_DATA();
    TempDir dir;
    std::string jet = WriteFile(dir, "victim.mdb", ReadWhole(JetFile("indexTestV1997.mdb")));
    std::string pidFile = dir.File("grandchild.pid");
    struct Case {
        const char* name;
        std::string script;
        const char* says;
    } cases[] = {
        {"crash", "echo 'about to crash' >&2\nkill -SEGV $$\n", "SIGSEGV"},
        {"abort", "kill -ABRT $$\n", "SIGABRT"},
        {"hang", "exec sleep 30\n", "制限時間"},
        {"hang with a helper", "sleep 30 &\necho $! > '" + pidFile + "'\nwait\n", "制限時間"},
        {"message",
         "echo 'some noise' >&2\necho 'jetread: テーブル X が壊れています' >&2\nexit 1\n",
         "テーブル X が壊れています"},
        {"exit code", "exit 7\n", "終了コード 7"},
        {"no output", "exit 0\n", "結果を書きませんでした"},
        {"garbage output", "echo garbage > \"$2\"\nexit 0\n", "結果を書きませんでした"},
    };
    const size_t descriptors = OpenDescriptors();
    detail::SetJetReadTimeLimit(std::chrono::milliseconds(400), std::chrono::milliseconds(0));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string program = WriteScript(dir, std::string("fake-") + c.name, c.script);
        EnvGuard use("TAVORIN_JETREAD", program);
        detail::ForgetJetCopies();
        auto start = std::chrono::steady_clock::now();
        try {
            Ws().OpenDatabase(jet);
            ADD_FAILURE() << "opened";
        } catch (const Error& e) {
            EXPECT_EQ(e.Number(), err::kBadFormat);
            EXPECT_NE(e.Description().find(jet), std::string::npos) << e.Description();
            EXPECT_NE(e.Description().find(c.says), std::string::npos) << e.Description();
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        EXPECT_TRUE(ChildProcesses().empty());
        EXPECT_TRUE(LeftoverFiles(detail::JetCopyFolder()).empty());
    }
    // The helper of the hanging script was killed with it.
    pid_t helper = 0;
    ASSERT_TRUE(std::ifstream(pidFile) >> helper);
    EXPECT_TRUE(ProcessGone(helper));

    {
        EnvGuard use("TAVORIN_JETREAD", dir.File("no-such-program"));
        EXPECT_EQ(ErrorOf([&] { Ws().OpenDatabase(jet); }), err::kBadFormat);
    }
    detail::SetJetReadTimeLimit(std::chrono::seconds(10), std::chrono::seconds(1));
    EXPECT_EQ(Ws().OpenDatabase(jet)->TableDefs().Item("Table1")->RecordCount(), 4);
    EXPECT_EQ(OpenDescriptors(), descriptors);
}

// The copy folder goes away when the process ends normally; a process that is killed leaves
// it, and the next conversion (of any process) removes it. The helper is this test program,
// run again with only JetReaderHelper selected.
TEST(JetReader, CopyFolderIsRemovedAtExitOrByTheNextProcess) {
    SKIP_WITHOUT_SHARED_TEST_DATA();
    std::string normal = RunHelper(false);
    ASSERT_FALSE(normal.empty());
    EXPECT_FALSE(fs::exists(normal));

    // Other test processes running meanwhile may be the ones that clear it.
    std::string killed = RunHelper(true);
    ASSERT_FALSE(killed.empty());
    TempDir dir;
    std::string jet = WriteFile(dir, "next.mdb", ReadWhole(JetFile("compIndexTestV1997.mdb")));
    detail::ForgetJetCopies();
    Ws().OpenDatabase(jet)->Close();
    EXPECT_FALSE(fs::exists(killed));
    EXPECT_TRUE(fs::exists(detail::JetCopyFolder()));
}

// Run by CopyFolderIsRemovedAtExitOrByTheNextProcess in a process of its own: converts a file,
// prints the copy folder, then exits normally or waits to be killed.
TEST(JetReaderHelper, ConvertAndReportTheFolder) {
    const char* mode = std::getenv("JET_READER_HELPER");
    if (!mode) GTEST_SKIP() << "only run as a helper process";
    SKIP_WITHOUT_SHARED_TEST_DATA();
    Ws().OpenDatabase(JetFile("testV1997.mdb"))->Close();
    std::printf("FOLDER=%s\n", detail::JetCopyFolder().c_str());
    std::fflush(stdout);
    if (std::string(mode) == "wait") std::this_thread::sleep_for(std::chrono::seconds(60));
}

// Jet 3 files set the column flag 0x40 on ordinary Date, Currency, Integer and Text columns:
// only a Long with 0x04 or a GUID with 0x40 is an auto number.
TEST(JetReader, Jet3ColumnFlag40MakesNoAutoNumberOfOtherTypes) {
    SKIP_WITHOUT_SHARED_TEST_DATA();
    TempDir dir;
    std::string image = ReadWhole(JetFile("testV1997.mdb"));
    using namespace detail::jet;
    PageSource pages = [&image](uint32_t page, std::string& out) {
        if (page == 0 || (uint64_t(page) + 1) * 2048 > image.size()) return false;
        out = image.substr(size_t(page) * 2048, 2048);
        return true;
    };
    // Table1's definition: the one whose columns are A to I.
    size_t entries = 0;
    std::vector<TdefColumn> columns;
    for (uint32_t page = 1; (size_t(page) + 1) * 2048 <= image.size() && !entries; ++page) {
        if (image[size_t(page) * 2048] != 0x02) continue;
        std::string error;
        auto tdef = ReadTdef(Version::Jet3, page, pages, error);
        if (!tdef || tdef->columns.size() != 9 || tdef->columns[0].rawName != "A" ||
            tdef->columns[8].rawName != "I")
            continue;
        entries =
            size_t(page) * 2048 + 43 + tdef->realIndexes.size() * 8; // column entries of 18 bytes
        columns = tdef->columns;
    }
    ASSERT_NE(entries, 0u);
    for (size_t i = 0; i < columns.size(); ++i) {
        const std::string& name = columns[i].rawName;
        char& flags = image[entries + i * 18 + 13];
        ASSERT_EQ(static_cast<uint8_t>(flags), columns[i].flags) << name;
        if (name == "D" || name == "G" || name == "H") {
            ASSERT_EQ(flags, 0x03) << name;
            flags = 0x43;
        } else if (name == "A") {
            flags = static_cast<char>(flags | 0x40);
        }
    }
    DatabasePtr db = Ws().OpenDatabase(WriteFile(dir, "flags.mdb", image));
    TableDefPtr td = db->TableDefs().Item("Table1");
    for (const auto& [name, attributes] :
         std::vector<std::pair<std::string, long>>{{"A", dao::dbVariableField},
                                                   {"D", dao::dbFixedField},
                                                   {"G", dao::dbFixedField},
                                                   {"H", dao::dbFixedField}})
        EXPECT_EQ(td->Fields().Item(name)->Attributes(), attributes) << name;
    RecordsetPtr rs = db->OpenRecordset("Table1", RecordsetType::Snapshot);
    EXPECT_EQ(rs->Value("G"), Variant::Date(DateSerial(1981, 12, 12)));
    // The genuine auto numbers stay: a Long with 0x04 and a GUID with 0x40.
    EXPECT_EQ(db->TableDefs().Item("Table3")->Fields().Item("a")->Attributes(), 17);
    EXPECT_EQ(db->TableDefs().Item("Table4")->Fields().Item("data")->Attributes(), 17);
}

// A byte code page 1252 leaves undefined decodes as Windows decodes it, so the file opens.
TEST(JetReader, BytesCodePage1252LeavesUndefinedDecodeToTheSameCodePoints) {
    SKIP_WITHOUT_SHARED_TEST_DATA();
    TempDir dir;
    std::string image = ReadWhole(JetFile("testV1997.mdb"));
    const size_t textAt = 31 * 2048 + 1954 + 32; // "abcdefg", A of Table1's second record
    ASSERT_EQ(image.substr(textAt, 7), "abcdefg");
    image.replace(textAt, 7, "\x81\x8D\x8F\x90\x9D\x80g");
    RecordsetPtr rs =
        Ws().OpenDatabase(WriteFile(dir, "undefined.mdb", image))
            ->OpenRecordset("SELECT * FROM [Table1] ORDER BY B DESC", RecordsetType::Snapshot);
    EXPECT_EQ(rs->Value("A"), Variant("\u0081\u008D\u008F\u0090\u009D€g"));
}

// The reader program dies with the process that started it, also when that process is killed
// while the reader waits (here for a FIFO nobody writes).
TEST(JetReader, TheReaderProgramEndsWithItsParent) {
    TempDir dir;
    char self[4096];
    ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(n, 0);
    const std::string program =
        fs::path(std::string(self, static_cast<size_t>(n))).parent_path() / "tavorin-jetread";
    ASSERT_TRUE(fs::exists(program));
    const std::string fifo = dir.File("input.mdb"), output = dir.File("out.db");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

    // A parent that is gone already when the reader starts: the reader stops at once.
    {
        EnvGuard parent("TAVORIN_JETREAD_PARENT", "1");
        std::string status = jettest::Run(ShellQuote(program) + " " + ShellQuote(fifo) + " " +
                                          ShellQuote(output) + " >/dev/null 2>&1; echo $?");
        EXPECT_EQ(status, "3\n");
    }

    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    pid_t middle = ::fork();
    if (middle == 0) {
        pid_t reader = ::fork();
        if (reader == 0) {
            ::setenv("TAVORIN_JETREAD_PARENT", std::to_string(::getppid()).c_str(), 1);
            ::execl(program.c_str(), program.c_str(), fifo.c_str(), output.c_str(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::write(fds[1], &reader, sizeof reader);
        std::this_thread::sleep_for(std::chrono::milliseconds(200)); // the reader is waiting by now
        ::_exit(0);
    }
    ::close(fds[1]);
    pid_t reader = -1;
    ASSERT_EQ(::read(fds[0], &reader, sizeof reader), static_cast<ssize_t>(sizeof reader));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(middle, &status, 0);
    const bool gone = ProcessGone(reader);
    if (!gone && reader > 0) ::kill(reader, SIGKILL);
    EXPECT_TRUE(gone);
}
