// The type vocabulary, the conversion a pair of layout types gives the values (the engine's run of
// it: engine/tests/record_copy_test.cpp), and the FieldMap table.
#include <gtest/gtest.h>

#include <cctype>

#include "engine/database.h"
#include "engine/error.h"
#include "engine/field.h"
#include "engine/tabledef.h"
#include "engine/types.h"
#include "engine/workspace.h"
#include "modules/TavorinSub.h"
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
    tavorintest::TempDir dir;
    engine::DatabasePtr db = engine::DBEngine::Instance().Workspaces(0).CreateDatabase(
        dir.File("types.mdb"), engine::kLangJapanese);
    engine::TableDefPtr table = db->CreateTableDef("T");
    struct Made {
        std::string name;
        int type;
        int16_t proposed;
    };
    std::vector<Made> made;
    int16_t listed = 0;
    for (size_t slot = 0; slot < TypeNames().size(); ++slot) {
        const std::string& name = TypeNames()[slot];
        if (name.empty()) continue;
        SCOPED_TRACE(name);
        EXPECT_EQ(TypeCodeOf(name), static_cast<int16_t>(slot));
        EXPECT_EQ(TypeListIndexOf(name), listed++);
        int16_t proposed = -7;
        DefaultTypeSize(name, proposed);
        const bool automatic = name == kAuto;
        const int type = automatic ? dao::dbLong : static_cast<int>(slot);
        table->Fields().Append(table->CreateField("F" + std::to_string(slot), type,
                                                  type == dao::dbText ? proposed : 0));
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

// The layout's type names choose the engine's conversion: a type kept is kept (a text cut
// where it shrinks), text and memo take any value as text, the other types (the auto number
// as a Long) convert to their number type, and a name the list lacks keeps every value.
TEST(ConversionOf, TheLayoutsTypeNamesChooseTheConversion) {
    using Shape = ValueConversion::Shape;
    using engine::VarType;
    struct Case {
        const char* newType;
        const char* newSize;
        const char* oldType;
        Shape shape;
        VarType number;
    };
    const Case cases[] = {
        {"dbLong", "4", "dbLong", Shape::Keeps, VarType::Empty},
        {"dbMemo", "0", "dbMemo", Shape::Keeps, VarType::Empty},
        {"dbText", "20", "dbText", Shape::Keeps, VarType::Empty},
        {"dbText", "5", "dbText", Shape::CutsText, VarType::Empty},
        {"dbText", "20", "dbDate", Shape::ToText, VarType::Empty},
        {"dbMemo", "0", "dbText", Shape::ToMemo, VarType::Empty},
        {kAuto, "4", "dbText", Shape::ToNumber, VarType::Long},
        {kAuto, "4", kAuto, Shape::Keeps, VarType::Empty},
        {"dbBoolean", "2", "dbLong", Shape::ToNumber, VarType::Boolean},
        {"dbByte", "1", "dbLong", Shape::ToNumber, VarType::Byte},
        {"dbInteger", "2", "dbLong", Shape::ToNumber, VarType::Integer},
        {"dbLong", "4", "dbText", Shape::ToNumber, VarType::Long},
        {"dbCurrency", "8", "dbLong", Shape::ToNumber, VarType::Currency},
        {"dbSingle", "4", "dbLong", Shape::ToNumber, VarType::Single},
        {"dbDouble", "8", "dbLong", Shape::ToNumber, VarType::Double},
        {"dbDate", "8", "dbText", Shape::ToNumber, VarType::Date},
        {"dbGUID", "16", "dbText", Shape::Other, VarType::Empty},
    };
    for (const Case& c : cases) {
        const ValueConversion conversion = ConversionOf(c.newType, c.newSize, c.oldType, "10");
        EXPECT_EQ(conversion.Kind(), c.shape) << c.oldType << " -> " << c.newType;
        EXPECT_EQ(conversion.NumberType(), c.number) << c.oldType << " -> " << c.newType;
    }
}

TEST(FieldMap, HoldsEntries1To999OfEightColumnsAndRefusesOtherIndexes) {
    FieldMapTable FieldMap;
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

} // namespace
