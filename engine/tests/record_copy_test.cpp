// The record-by-record run of a copy plan: every pair of old and new types converting sample
// values, blanks, texts cut to a size, values that fail (with the field and the error they
// stop at), and where each mode stops and what it has written by then.
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "engine/copy_plan.h"
#include "engine/testing/test_support.h"
#include "engine/transaction_guard.h"

using namespace engine;
using namespace enginetest;

namespace {

using Route = ValueConversion::Route;

// One source field per type of the layout, with the number type a conversion into it gives.
struct TypeRow {
    const char* field;
    const char* name; // as the layout names it
    int type;
    long size;
    VarType number;
};
const TypeRow kTypes[] = {
    {"F_AUTO", "auto", dao::dbLong, 4, VarType::Long},
    {"F_BOOL", "dbBoolean", dao::dbBoolean, 2, VarType::Boolean},
    {"F_BYTE", "dbByte", dao::dbByte, 1, VarType::Byte},
    {"F_INT", "dbInteger", dao::dbInteger, 2, VarType::Integer},
    {"F_LONG", "dbLong", dao::dbLong, 4, VarType::Long},
    {"F_CUR", "dbCurrency", dao::dbCurrency, 8, VarType::Currency},
    {"F_SNG", "dbSingle", dao::dbSingle, 4, VarType::Single},
    {"F_DBL", "dbDouble", dao::dbDouble, 8, VarType::Double},
    {"F_DATE", "dbDate", dao::dbDate, 8, VarType::Date},
    {"F_TEXT", "dbText", dao::dbText, 20, VarType::String},
    {"F_MEMO", "dbMemo", dao::dbMemo, 0, VarType::String},
};
constexpr size_t kTypeCount = std::size(kTypes);
const TypeRow kWide{"F_WIDE", "dbText", dao::dbText, 100, VarType::String};
const TypeRow& kText = kTypes[9];
const TypeRow& kMemo = kTypes[10];

bool IsText(const TypeRow& t) {
    return t.type == dao::dbText || t.type == dao::dbMemo;
}

// The conversion the layout gives a field moving between two of its types.
ValueConversion ConversionOf(const TypeRow& from, const TypeRow& to, const std::string& newSize,
                             const std::string& oldSize) {
    if (std::string(from.name) == to.name)
        return ValueConversion(to.type == dao::dbText ? Route::SameText : Route::Keep,
                               VarType::Empty, newSize, oldSize);
    if (to.type == dao::dbText)
        return ValueConversion(Route::ToText, VarType::Empty, newSize, oldSize);
    if (to.type == dao::dbMemo)
        return ValueConversion(Route::ToMemo, VarType::Empty, newSize, oldSize);
    return ValueConversion(Route::ToType, to.number, newSize, oldSize);
}

// How one run ended: the values stored, in source order, or its result when a value failed.
struct Outcome {
    std::vector<Variant> stored;
    RecordCopyResult result;
};

// Three source tables of one field per type and a wide text: SAMPLE holds sample values,
// BLANK a record of Nulls and one of empty texts, WIDE a text with blanks around it.
class RecordCopyConversion : public ::testing::Test {
  protected:
    void SetUp() override {
        db_ = Ws().CreateDatabase(dir_.File("a.mdb"), kLangJapanese);
        for (const char* table : {"SAMPLE", "BLANK", "WIDE"}) {
            auto td = db_->CreateTableDef(table);
            for (const TypeRow& t : kTypes) {
                auto f = AddField(td, t.field, t.type, t.type == dao::dbText ? t.size : 0);
                if (IsText(t)) f->SetAllowZeroLength(true);
                if (std::string(t.field) == "F_AUTO") f->SetAttributes(dao::dbAutoIncrField);
            }
            AddField(td, kWide.field, dao::dbText, kWide.size)->SetAllowZeroLength(true);
            db_->TableDefs().Append(td);
        }
        auto sample = db_->OpenRecordset("SAMPLE");
        sample->AddNew();
        sample->SetValue("F_BOOL", Variant::Boolean(true));
        sample->SetValue("F_BYTE", Variant::Byte(200));
        sample->SetValue("F_INT", Variant::Integer(-300));
        sample->SetValue("F_LONG", Variant::Long(100000));
        sample->SetValue("F_CUR", Variant::CurrencyScaled(123456));
        sample->SetValue("F_SNG", Variant::Single(2.5f));
        sample->SetValue("F_DBL", Variant::Double(3.75));
        sample->SetValue("F_DATE", Variant::Date(DateSerial(2024, 1, 31)));
        sample->SetValue("F_TEXT", Variant("  42 "));
        sample->SetValue("F_MEMO", Variant("2024/02/29"));
        sample->SetValue("F_WIDE", Variant(std::string(70, 'x')));
        sample->Update();
        sample->Close();
        auto blank = db_->OpenRecordset("BLANK");
        blank->AddNew(); // every field Null
        blank->Update();
        blank->AddNew();
        blank->SetValue("F_TEXT", Variant(""));
        blank->SetValue("F_MEMO", Variant(""));
        blank->SetValue("F_WIDE", Variant(""));
        blank->Update();
        blank->Close();
        auto wide = db_->OpenRecordset("WIDE");
        wide->AddNew();
        wide->SetValue("F_WIDE", Variant("  あいう  "));
        wide->Update();
        wide->Close();
    }
    void TearDown() override { db_->Close(); }

    // Carries `from` of sourceTable into field NEWF of a table of type `to` (text and memo
    // taking the empty text) through conversion, reads what was stored and rolls it back.
    Outcome Carry(const std::string& sourceTable, const std::string& from, const TypeRow& to,
                  long toSize, const ValueConversion& conversion) {
        const std::string table = "T_" + std::to_string(to.type) + "_" + std::to_string(toSize);
        if (!made_[table]) {
            auto td = db_->CreateTableDef(table);
            auto f = AddField(td, "NEWF", to.type, to.type == dao::dbText ? toSize : 0);
            if (IsText(to)) f->SetAllowZeroLength(true);
            db_->TableDefs().Append(td);
            made_[table] = true;
        }
        CopyPlan plan;
        plan.sourceTable = sourceTable;
        plan.targetTable = table;
        plan.fields = {{"NEWF", from, conversion, false, false, IsText(to)}};
        std::optional<TransactionGuard> transaction;
        Outcome out;
        out.result = CopyRecordByRecord(*db_, *db_, plan, Ws(), transaction, {});
        auto rs = db_->OpenRecordset(table, RecordsetType::Snapshot);
        for (; !rs->Eof(); rs->MoveNext()) out.stored.push_back(rs->Value("NEWF"));
        rs->Close();
        EXPECT_TRUE(transaction && transaction->Active());
        if (transaction) transaction->Rollback();
        return out;
    }

    TempDir dir_;
    DatabasePtr db_;
    std::map<std::string, bool> made_;
};

// An expected result: the value stored, or the number of the error the value fails with.
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

// A value that fails stops the run at the first record: the field, its target's name and the
// error, nothing written.
void ExpectFailure(const Outcome& out, long number, const std::string& description = {}) {
    EXPECT_FALSE(out.result.done);
    EXPECT_EQ(out.result.failedField, 1);
    EXPECT_EQ(out.result.failedTarget, "NEWF");
    EXPECT_EQ(out.result.errorNumber, number);
    EXPECT_EQ(out.result.errorDescription,
              description.empty() ? DescriptionOf(number) : description);
    EXPECT_EQ(out.result.counts.read, 0);
    EXPECT_EQ(out.result.counts.written, 0);
    EXPECT_TRUE(out.stored.empty());
}

} // namespace

TEST_F(RecordCopyConversion, EveryPairOfOldAndNewTypesStoresTheSampleValuesConverted) {
    const double jan31 = DateSerial(2024, 1, 31), feb29 = DateSerial(2024, 2, 29);
    // Rows: new type, in the order of kTypes (the auto number stored as a Long); columns: old
    // type (auto 1, True, 200, -300, 100000, 12.3456, 2.5, 3.75, 2024/01/31, "  42 ",
    // "2024/02/29").
    const std::vector<std::vector<Expected>> table = {
        {L(1), L(-1), L(200), L(-300), L(100000), L(12), L(2), L(4), L(45322), L(42), kMismatch},
        {B(true), B(true), B(true), B(true), B(true), B(true), B(true), B(true), B(true), B(true),
         kMismatch},
        {By(1), kOverflow, By(200), kOverflow, kOverflow, By(12), By(2), By(4), kOverflow, By(42),
         kMismatch},
        {I(1), I(-1), I(200), I(-300), kOverflow, I(12), I(2), I(4), kOverflow, I(42), kMismatch},
        {L(1), L(-1), L(200), L(-300), L(100000), L(12), L(2), L(4), L(45322), L(42), kMismatch},
        {Cur(10000), Cur(-10000), Cur(2000000), Cur(-3000000), Cur(1000000000), Cur(123456),
         Cur(25000), Cur(37500), Cur(453220000), Cur(420000), kMismatch},
        {S(1), S(-1), S(200), S(-300), S(100000), S(12.3456f), S(2.5f), S(3.75f), S(45322), S(42),
         kMismatch},
        {D(1), D(-1), D(200), D(-300), D(100000), D(12.3456), D(2.5), D(3.75), D(45322), D(42),
         kMismatch},
        {Dt(1), Dt(-1), Dt(200), Dt(-300), Dt(100000), Dt(12.3456), Dt(2.5), Dt(3.75), Dt(jan31),
         kMismatch, Dt(feb29)},
        {T("1"), T("True"), T("200"), T("-300"), T("100000"), T("12.3456"), T("2.5"), T("3.75"),
         T("2024/01/31"), T("  42 "), T("2024/02/29")},
        {T("1"), T("True"), T("200"), T("-300"), T("100000"), T("12.3456"), T("2.5"), T("3.75"),
         T("2024/01/31"), T("42"), T("2024/02/29")},
    };
    ASSERT_EQ(table.size(), kTypeCount);
    for (size_t to = 0; to < kTypeCount; ++to) {
        ASSERT_EQ(table[to].size(), kTypeCount);
        for (size_t old = 0; old < kTypeCount; ++old) {
            const TypeRow& from = kTypes[old];
            const TypeRow& into = kTypes[to];
            const std::string size = into.type == dao::dbText ? "20" : "8";
            SCOPED_TRACE(std::string(from.name) + " -> " + into.name);
            const Outcome out = Carry("SAMPLE", from.field, into, 20,
                                      ConversionOf(from, into, size, std::to_string(from.size)));
            if (const Variant* expected = std::get_if<Variant>(&table[to][old])) {
                EXPECT_TRUE(out.result.done) << out.result.errorNumber;
                EXPECT_EQ(out.result.counts.read, 1);
                EXPECT_EQ(out.result.counts.written, 1);
                ASSERT_EQ(out.stored.size(), 1u);
                EXPECT_EQ(out.stored[0], *expected);
            } else {
                ExpectFailure(out, std::get<long>(table[to][old]));
            }
        }
    }
}

TEST_F(RecordCopyConversion, NullAndEmptyBecomeZeroOrEmptyTextExceptWhenTheTypeStays) {
    const Variant zeros[] = {L(0), B(false), By(0), I(0),  L(0), Cur(0),
                             S(0), D(0),     Dt(0), T(""), T("")};
    static_assert(std::size(zeros) == kTypeCount);
    for (const TypeRow& from : kTypes) {
        if (std::string(from.field) == "F_AUTO") continue; // numbered, never blank
        for (size_t to = 0; to < kTypeCount; ++to) {
            const TypeRow& into = kTypes[to];
            SCOPED_TRACE(std::string(from.name) + " -> " + into.name);
            const Outcome out =
                Carry("BLANK", from.field, into, 20, ConversionOf(from, into, "20", "20"));
            EXPECT_TRUE(out.result.done);
            ASSERT_EQ(out.stored.size(), 2u);
            // The second record holds the empty text in the text fields, Null elsewhere.
            const Variant before[] = {Variant::Null(), IsText(from) ? T("") : Variant::Null()};
            for (size_t record = 0; record < 2; ++record) {
                if (&from == &into && into.type != dao::dbText)
                    EXPECT_EQ(out.stored[record], before[record])
                        << record; // unchanged, a Null stays Null
                else
                    EXPECT_EQ(out.stored[record], zeros[to]) << record;
            }
        }
    }
}

TEST_F(RecordCopyConversion, TextIsCutToTheNewSizeWithoutSplittingADoubleByteCharacter) {
    struct Case {
        const char* table;
        const TypeRow* from;
        const TypeRow* as; // the old type the layout gives the field
        const char* newSize;
        const char* oldSize;
        Variant expected;
    };
    const Case cases[] = {
        {"SAMPLE", &kWide, &kWide, "60", "100", Variant(std::string(60, 'x'))}, // size down: cut
        {"SAMPLE", &kWide, &kWide, "150", "100",
         Variant(std::string(70, 'x'))},                         // size up: unchanged
        {"WIDE", &kWide, &kWide, "100", "100", T("  あいう  ")}, // same size: untrimmed
        {"WIDE", &kWide, &kWide, "7", "100",
         T("  あい")}, // cut, not trimmed: "う" would make 8 bytes
        {"WIDE", &kWide, &kWide, "8", "100", T("  あいう")},
        {"SAMPLE", &kMemo, &kMemo, "5", "0", T("2024/")}, // another old type: trimmed and cut
        // Trimmed first, then cut by bytes: "あいう" (6 bytes) into 5 keeps two characters.
        {"WIDE", &kWide, &kMemo, "5", "100", T("あい")},
        {"WIDE", &kWide, &kMemo, "6", "100", T("あいう")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.table) + " " + c.from->field + " " + c.as->name + " -> " +
                     c.newSize);
        const Outcome out = Carry(c.table, c.from->field, kText, std::stol(c.newSize),
                                  ConversionOf(*c.as, kText, c.newSize, c.oldSize));
        EXPECT_TRUE(out.result.done);
        ASSERT_EQ(out.stored.size(), 1u);
        EXPECT_EQ(out.stored[0], c.expected);
    }
}

TEST_F(RecordCopyConversion, ASizeThatIsNoNumberAndAMissingOldFieldFailTheValue) {
    struct Case {
        const char* newSize;
        const char* oldField;
        long number;
        const char* description;
    };
    const Case cases[] = {
        {"abc", "F_MEMO", 13, "型が一致しません。"},
        {"20", "NO_SUCH", 3265, "コレクションに項目が見つかりません。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.oldField);
        const Outcome out =
            Carry("SAMPLE", c.oldField, kText, 20, ConversionOf(kTypes[4], kText, c.newSize, "4"));
        ExpectFailure(out, c.number, c.description);
    }
}

// ---- Where each mode stops ------------------------------------------------------------------

namespace {

struct Row {
    std::string id; // as the source holds it: a text the key converts from
    std::string name;
    std::string qty;
};

// S: ID, a name and a quantity as texts. D: ID (the key), a name of 4 bytes, the quantity as a
// number.
DatabasePtr MakeKeyedFile(const std::string& path, const std::vector<Row>& source,
                          const std::vector<Row>& target) {
    DatabasePtr db = Ws().CreateDatabase(path, kLangJapanese);
    auto s = db->CreateTableDef("S");
    AddField(s, "ID", dao::dbText, 5);
    AddField(s, "Name", dao::dbText, 10);
    AddField(s, "Qty", dao::dbText, 5);
    db->TableDefs().Append(s);
    auto d = db->CreateTableDef("D");
    AddField(d, "ID", dao::dbLong);
    AddField(d, "Name", dao::dbText, 4);
    AddField(d, "Qty", dao::dbLong);
    AddIndex(d, "PrimaryKey", {"ID"}, true, true);
    db->TableDefs().Append(d);
    auto add = [&](const char* table, const std::vector<Row>& rows, bool numbers) {
        auto rs = db->OpenRecordset(table);
        for (const Row& r : rows) {
            rs->AddNew();
            rs->SetValue("ID", numbers ? Variant::Long(std::stoi(r.id)) : Variant(r.id));
            rs->SetValue("Name", Variant(r.name));
            rs->SetValue("Qty", numbers ? Variant::Long(std::stoi(r.qty)) : Variant(r.qty));
            rs->Update();
        }
        rs->Close();
    };
    add("S", source, false);
    add("D", target, true);
    return db;
}

std::string Records(Database& db) {
    auto rs = db.OpenRecordset("SELECT * FROM D ORDER BY ID", RecordsetType::Snapshot);
    std::string out;
    for (; !rs->Eof(); rs->MoveNext())
        out += CStr(rs->Value("ID")) + "|" + CStr(rs->Value("Name")) + "|" +
               CStr(rs->Value("Qty")) + ";";
    return out;
}

} // namespace

// A value that fails stops every mode at its record: the field and the counts of the records
// before it, the record itself left out. A keyed mode converts the key of every record but the
// other values only of the records it writes.
TEST(RecordCopy, EachModeStopsAtTheFirstValueThatFailsWithTheRecordsBeforeItWritten) {
    const std::vector<Row> badQty = {
        {"1", "abcdef", "12"}, {"2", "xy", "7"}, {"3", "pq", "x9"}, {"4", "zz", "1"}};
    const std::vector<Row> badKey = {{"1", "abcdef", "12"}, {"k", "xy", "7"}, {"3", "pq", "9"}};
    struct Case {
        const char* name;
        CopyMode mode;
        std::vector<Row> source, target;
        long failedField; // 0: done
        const char* failedTarget;
        long read, written;
        std::string after; // the target with what the run wrote committed
    };
    const Case cases[] = {
        {"carry", CopyMode::Carry, badQty, {}, 3, "Qty", 2, 2, "1|abcd|12;2|xy|7;"},
        {"carry, a key that does not convert",
         CopyMode::Carry,
         badKey,
         {},
         1,
         "ID",
         1,
         1,
         "1|abcd|12;"},
        {"replace all",
         CopyMode::ReplaceAll,
         badQty,
         {{"9", "old", "1"}},
         3,
         "Qty",
         2,
         2,
         "1|abcd|12;2|xy|7;"},
        {"add or update",
         CopyMode::AddOrUpdate,
         badQty,
         {{"1", "zz", "0"}, {"5", "keep", "5"}},
         3,
         "Qty",
         2,
         2,
         "1|abcd|12;2|xy|7;5|keep|5;"},
        {"add or update, a key that does not convert",
         CopyMode::AddOrUpdate,
         badKey,
         {{"1", "zz", "0"}},
         1,
         "ID",
         1,
         1,
         "1|abcd|12;"},
        {"add only",
         CopyMode::AddOnly,
         badQty,
         {{"1", "zz", "0"}},
         3,
         "Qty",
         2,
         1,
         "1|zz|0;2|xy|7;"},
        {"add only leaves the failing record's match alone",
         CopyMode::AddOnly,
         badQty,
         {{"3", "old", "1"}},
         0,
         "",
         4,
         3,
         "1|abcd|12;2|xy|7;3|old|1;4|zz|1;"},
        {"update only",
         CopyMode::UpdateOnly,
         badQty,
         {{"1", "zz", "0"}, {"3", "old", "1"}},
         3,
         "Qty",
         2,
         1,
         "1|abcd|12;3|old|1;"},
        {"update only leaves out the failing record",
         CopyMode::UpdateOnly,
         badQty,
         {{"2", "zz", "0"}},
         0,
         "",
         4,
         1,
         "2|xy|7;"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        DatabasePtr db = MakeKeyedFile(dir.File("a.mdb"), c.source, c.target);
        CopyPlan plan;
        plan.mode = c.mode;
        plan.sourceTable = "S";
        plan.targetTable = "D";
        plan.sourceStatement = "SELECT * FROM S";
        plan.keyIndex = "PrimaryKey";
        if (c.mode != CopyMode::Carry && c.mode != CopyMode::ReplaceAll) plan.keyFields = {1};
        plan.fields = {
            {"ID", "ID", ValueConversion(Route::ToType, VarType::Long, "4", "5"), false, false,
             false},
            {"Name", "Name", ValueConversion(Route::SameText, VarType::Empty, "4", "10"), false,
             false, true},
            {"Qty", "Qty", ValueConversion(Route::ToType, VarType::Long, "4", "5"), false, false,
             false},
        };
        std::optional<TransactionGuard> transaction;
        CopyCounts seen;
        const RecordCopyResult result = CopyRecordByRecord(
            *db, *db, plan, Ws(), transaction, [&](const CopyCounts& counts) { seen = counts; });
        EXPECT_EQ(result.done, c.failedField == 0);
        EXPECT_EQ(result.failedField, c.failedField);
        EXPECT_EQ(result.failedTarget, c.failedTarget);
        if (c.failedField != 0) {
            EXPECT_EQ(result.errorNumber, kMismatch);
            EXPECT_EQ(result.errorDescription, DescriptionOf(kMismatch));
        }
        EXPECT_EQ(result.counts.read, c.read);
        EXPECT_EQ(result.counts.written, c.written);
        // The progress saw every record finished.
        EXPECT_EQ(seen.read, c.read);
        EXPECT_EQ(seen.written, c.written);
        ASSERT_TRUE(transaction && transaction->Active());
        transaction->Commit();
        EXPECT_EQ(Ws().TransactionLevel(), 0);
        EXPECT_EQ(Records(*db), c.after);
    }
}
