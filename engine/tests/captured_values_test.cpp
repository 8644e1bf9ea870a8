// Values captured from a statement (as the Jet 4 writer's reading thread takes them) and read
// later by the storage rules come out as the statement's own values read then would: for every
// field type and every storage class, including a number a text field reads by its text.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <string>
#include <vector>

#include "engine/types.h"
#include "storage/sqlite_handle.h"
#include "values/value_codec.h"

namespace {

using engine::Variant;
using namespace engine::detail;

std::string Shown(const Variant& v) {
    return v.IsNull() ? "Null" : engine::CStr(v);
}

TEST(CapturedValues, ReadBackAsTheLiveStatementReadsThemForEveryTypeAndStorageClass) {
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &raw), SQLITE_OK);
    SqliteDb db(raw);
    // An untyped column keeps every value in the storage class it was given.
    ASSERT_EQ(
        sqlite3_exec(raw,
                     "CREATE TABLE t(v);"
                     "INSERT INTO t VALUES (NULL), (0), (1), (-7), (255), (70000), (1099511627776),"
                     " (1.5), (-0.25), (1e300), (0.1), ('abc'), (''), ('東京ｶﾅ'), ('12'), ('1.5'),"
                     " ('2020-01-02 03:04:05'), ('2020-01-02'), ('1999-12-31 23:59:59.123'),"
                     " ('2020-13-01 00:00:00'), ('{01234567-89AB-CDEF-0123-456789ABCDEF}'),"
                     " (X''), (X'0041FF'), (X'E69DB1');",
                     nullptr, nullptr, nullptr),
        SQLITE_OK);
    const int types[] = {
        engine::dao::dbBoolean, engine::dao::dbByte,     engine::dao::dbInteger,
        engine::dao::dbLong,    engine::dao::dbCurrency, engine::dao::dbSingle,
        engine::dao::dbDouble,  engine::dao::dbDecimal,  engine::dao::dbBigInt,
        engine::dao::dbDate,    engine::dao::dbText,     engine::dao::dbMemo,
        engine::dao::dbGUID,    engine::dao::dbBinary,   engine::dao::dbLongBinary};
    int numbersReadAsText = 0;
    for (int type : types) {
        // Each row twice: as the type under test, and as text (another rule in the same row).
        const int rowTypes[] = {type, engine::dao::dbText};
        const CaptureRule rules[] = {CaptureRuleFor(type), CaptureRuleFor(engine::dao::dbText)};
        numbersReadAsText += rules[0].integerText + rules[0].realText;
        Stmt stmt(raw, "SELECT v, v FROM t ORDER BY rowid");
        std::vector<CapturedValue> captured;
        std::vector<Variant> live;
        std::string arena; // one for every row, as a block of records has
        while (stmt.Step()) {
            captured.resize(captured.size() + 2);
            CaptureRow(stmt, rules, 2, captured.data() + captured.size() - 2, arena);
            for (int col = 0; col < 2; ++col) live.push_back(ReadValue(stmt, col, rowTypes[col]));
        }
        ASSERT_EQ(captured.size(), 48u);
        Variant out(std::string("left over from another value"));
        for (size_t i = 0; i < captured.size(); ++i) {
            ReadValueInto(captured[i], arena, rowTypes[i % 2], out);
            EXPECT_TRUE(out == live[i])
                << "type " << type << ", row " << i / 2 << ", column " << i % 2 << ": "
                << Shown(out) << " against " << Shown(live[i]);
        }
    }
    // Text, memo, GUID and the binary types read numbers by their text; the whole numbers a real.
    EXPECT_GE(numbersReadAsText, 10);
}

} // namespace
