// Copy plans run by the engine alone: what each mode leaves in the target, the counts, a value
// that fails, and the check-only run that writes nothing.
#include <optional>
#include <string>
#include <vector>

#include "engine/copy_plan.h"
#include "engine/testing/test_support.h"
#include "engine/transaction_guard.h"

using namespace engine;
using namespace enginetest;

namespace {

struct Row {
    int id;
    std::string name;
    std::string qty;
};

// S (source): ID, a name of up to 10 bytes, a quantity as text. D (target): ID, a name of 4
// bytes, the quantity as a number; both keyed on ID.
DatabasePtr MakeFile(const std::string& path, const std::vector<Row>& source,
                     const std::vector<Row>& target) {
    DatabasePtr db = Ws().CreateDatabase(path, kLangJapanese);
    auto s = db->CreateTableDef("S");
    AddField(s, "ID", dao::dbLong);
    AddField(s, "Name", dao::dbText, 10)->SetAllowZeroLength(true);
    AddField(s, "Qty", dao::dbText, 5);
    AddIndex(s, "PrimaryKey", {"ID"}, true, true);
    db->TableDefs().Append(s);
    auto d = db->CreateTableDef("D");
    AddField(d, "ID", dao::dbLong);
    AddField(d, "Name", dao::dbText, 4);
    AddField(d, "Qty", dao::dbLong);
    AddIndex(d, "PrimaryKey", {"ID"}, true, true);
    db->TableDefs().Append(d);
    auto add = [&](const char* table, const std::vector<Row>& rows, bool numberQty) {
        auto rs = db->OpenRecordset(table);
        for (const Row& r : rows) {
            rs->AddNew();
            rs->SetValue("ID", Variant::Long(r.id));
            rs->SetValue("Name", Variant(r.name));
            rs->SetValue("Qty", numberQty ? Variant::Long(std::stoi(r.qty)) : Variant(r.qty));
            rs->Update();
        }
    };
    add("S", source, false);
    add("D", target, true);
    return db;
}

std::string Records(Database& db, const std::string& table) {
    auto rs = db.OpenRecordset("SELECT * FROM " + table + " ORDER BY ID", RecordsetType::Snapshot);
    std::string out;
    for (; !rs->Eof(); rs->MoveNext())
        out += CStr(rs->Value("ID")) + "|" + CStr(rs->Value("Name")) + "|" +
               CStr(rs->Value("Qty")) + ";";
    return out;
}

// ID kept, the name cut from 10 to 4 bytes, the quantity's text read as a Long.
CopyPlan PlanOf(CopyMode mode) {
    using Route = ValueConversion::Route;
    CopyPlan plan;
    plan.mode = mode;
    plan.sourceTable = "S";
    plan.targetTable = "D";
    plan.sourceStatement = "SELECT * FROM S";
    plan.keyIndex = "PrimaryKey";
    if (mode != CopyMode::Carry && mode != CopyMode::ReplaceAll) plan.keyFields = {1};
    plan.fields = {
        {"ID", "ID", ValueConversion(Route::Keep, VarType::Empty, "4", "4"), false, false, false},
        {"Name", "Name", ValueConversion(Route::SameText, VarType::Empty, "4", "10"), false, false,
         true},
        {"Qty", "Qty", ValueConversion(Route::ToType, VarType::Long, "4", "5"), false, false,
         false},
    };
    return plan;
}

const std::vector<Row> kGood = {{1, "abcdef", "12"}, {2, "xy", "7"}};
const std::vector<Row> kWithBadQty = {{1, "abcdef", "12"}, {2, "xy", "7"}, {3, "pq", "x9"}};

struct Case {
    const char* name;
    CopyMode mode;
    std::vector<Row> source, target;
    bool done;          // the run wrote the records (else it failed at a value, nothing kept)
    long read, written; // counts of a run that was done
    std::string after;  // the target's records once the run's transaction is committed
};

} // namespace

TEST(CopyPlan, EachModeLeavesTheTargetAsTheRecordByRecordCopyWould) {
    const Case cases[] = {
        {"carry", CopyMode::Carry, kGood, {}, true, 2, 2, "1|abcd|12;2|xy|7;"},
        {"carry meets a value that does not convert",
         CopyMode::Carry,
         kWithBadQty,
         {},
         false,
         0,
         0,
         ""},
        {"replace all",
         CopyMode::ReplaceAll,
         kGood,
         {{9, "old", "1"}},
         true,
         2,
         2,
         "1|abcd|12;2|xy|7;"},
        {"add or update",
         CopyMode::AddOrUpdate,
         kGood,
         {{1, "zz", "0"}, {5, "keep", "5"}},
         true,
         2,
         2,
         "1|abcd|12;2|xy|7;5|keep|5;"},
        {"add only", CopyMode::AddOnly, kGood, {{1, "zz", "0"}}, true, 2, 1, "1|zz|0;2|xy|7;"},
        {"update only", CopyMode::UpdateOnly, kGood, {{1, "zz", "0"}}, true, 2, 1, "1|abcd|12;"},
        {"add or update meets a value that does not convert",
         CopyMode::AddOrUpdate,
         kWithBadQty,
         {{1, "zz", "0"}},
         false,
         0,
         0,
         "1|zz|0;"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        DatabasePtr db = MakeFile(dir.File("a.mdb"), c.source, c.target);
        const CopyPlan plan = PlanOf(c.mode);
        std::optional<TransactionGuard> transaction;
        bool done = false;
        long read = 0, written = 0;
        std::optional<std::string> failure;
        if (c.mode == CopyMode::Carry) {
            std::optional<PreparedCopy> copy = PreparedCopy::Prepare(*db, plan);
            ASSERT_TRUE(copy);
            transaction.emplace(Ws());
            const CopyResult result = copy->Run({});
            done = result.copied;
            read = written = result.records;
            if (!done) failure = result.failure;
        } else {
            std::optional<PreparedImport> import = PreparedImport::Prepare(*db, *db, plan);
            ASSERT_TRUE(import);
            const PreparedImport::Result result = import->Run(Ws(), transaction, {});
            done = result.done;
            read = result.counts.read;
            written = result.counts.written;
            failure = result.failure;
        }
        EXPECT_EQ(done, c.done);
        EXPECT_EQ(read, c.read);
        EXPECT_EQ(written, c.written);
        if (!c.done) {
            // The failure names the conversion's error (type mismatch).
            ASSERT_TRUE(failure);
            EXPECT_NE(failure->find("13"), std::string::npos) << *failure;
        }
        // A run that failed leaves nothing to keep: the caller rolls back what is still open.
        if (transaction && transaction->Active()) {
            if (done)
                transaction->Commit();
            else
                transaction->Rollback();
        }
        EXPECT_EQ(Ws().TransactionLevel(), 0);
        EXPECT_EQ(Records(*db, "D"), c.after);
    }
}

TEST(CopyPlan, TheCheckOnlyRunCountsWhatTheCopyWouldCutAndRefuseAndWritesNothing) {
    TempDir dir;
    DatabasePtr db =
        MakeFile(dir.File("a.mdb"),
                 {{1, "abcdef", "12"}, {2, "", "7"}, {3, "pq", "x9"}, {4, "ab", "y"}}, {});
    const CopyPlan plan = PlanOf(CopyMode::Carry);
    std::vector<CheckField> fields;
    auto target = [&](const char* name, int type, long size) {
        CheckTarget t;
        t.info.name = name;
        t.info.type = type;
        t.info.size = size;
        t.info.allowZeroLength = false;
        return t;
    };
    const CheckTarget targets[] = {target("ID", dao::dbLong, 4), target("Name", dao::dbText, 4),
                                   target("Qty", dao::dbLong, 4)};
    for (size_t i = 0; i < plan.fields.size(); ++i) {
        CheckField f;
        f.name = plan.fields[i].target;
        f.target = targets[i];
        f.sourceCell = plan.fields[i].source;
        f.conversion = plan.fields[i].conversion;
        f.cutLimit = i == 1 ? 4 : -1;
        fields.push_back(f);
    }
    const std::string before = Records(*db, "S");
    const CheckReport report = CheckCopy(*db, "S", fields, {});
    EXPECT_EQ(report.records, 4);
    ASSERT_EQ(report.fields.size(), 3u);
    EXPECT_EQ(report.fields[1].cut, 1);     // abcdef
    EXPECT_EQ(report.fields[1].blanked, 0); // the empty text was nothing before either
    EXPECT_EQ(report.fields[2].failed, 2);  // x9 and y
    ASSERT_EQ(report.fields[2].failedExamples.size(), 2u);
    EXPECT_EQ(report.fields[2].failedExamples[0].key, "ID=3");
    ASSERT_TRUE(report.fields[2].failedExamples[0].refusal);
    EXPECT_EQ(report.fields[2].failedExamples[0].refusal->number, 13);
    EXPECT_EQ(report.stopPosition, 3);
    EXPECT_EQ(report.stopKey, "ID=3");
    EXPECT_EQ(report.stopField, 2u);
    EXPECT_EQ(report.stopRefusal.stage, CheckStage::Conversion);
    EXPECT_EQ(Records(*db, "S"), before);
    EXPECT_EQ(Records(*db, "D"), "");
}
