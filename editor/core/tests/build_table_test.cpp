// The table a save builds from a validated layout: its fields, with numbered groups expanded,
// and its indexes as the key tables and the index settings give them.
#include <algorithm>

#include "core_fixture.h"
#include "engine/index.h"
#include "engine/tabledef.h"

using namespace tavorin;
using namespace coretest;

namespace {

namespace dao = engine::dao;

class BuildTableTest : public DocumentTest {};

// "NAME type size [auto] [zero-length]" of each field, in order.
std::vector<std::string> FieldsOf(engine::TableDef& table) {
    std::vector<std::string> fields;
    for (const engine::FieldPtr& f : table.Fields())
        fields.push_back(f->Name() + " " + std::to_string(f->Type()) + " " +
                         std::to_string(f->Size()) + (f->IsAutoIncrement() ? " auto" : "") +
                         (f->AllowZeroLength() ? " zero-length" : ""));
    return fields;
}

// "NAME primary|unique|duplicates: MEMBER[ desc], ..." of each index, in name order.
std::vector<std::string> IndexesOf(engine::TableDef& table) {
    std::vector<std::string> indexes;
    for (const engine::IndexPtr& index : table.Indexes()) {
        std::string text = index->Name() + (index->Primary()  ? " primary:"
                                            : index->Unique() ? " unique:"
                                                              : " duplicates:");
        for (const engine::FieldPtr& member : index->Fields())
            text +=
                " " + member->Name() + (member->Attributes() == dao::dbDescending ? " desc" : "");
        indexes.push_back(text);
    }
    std::sort(indexes.begin(), indexes.end());
    return indexes;
}

TEST_F(BuildTableTest, FieldsAndIndexesFollowTheRowsKeysAndIndexSettings) {
    using K = std::array<std::string, 6>;
    Write({{1, "ID", "(ｵｰﾄﾅﾝﾊﾞ-)", 4, "", K{"1"}},
           {2, "NAME", "dbText", 30, "", K{"", "2D", "1"}},
           {3, "G", "dbInteger", 2, "03"},
           {4, "CODE", "dbText", 8, "", K{"2", "1a"}}});
    IndexSettings settings = defaults.DefaultIndexSettings();
    settings.Name[2] = "BYNAME";
    settings.Dup[2] = 0;
    int16_t code = -1;
    int32_t row = -1;
    doc.ValidateLayout(settings, prompts, code, row);
    ASSERT_EQ(code, 0);

    engine::DatabasePtr user =
        enginetest::Ws().CreateDatabase(dir.File("user.mdb"), engine::kLangJapanese);
    user->TableDefs().Append(doc.DefineBuildTable(*user, "BUILD", settings));
    engine::TableDefPtr built = user->TableDefs().Item("BUILD");
    EXPECT_EQ(FieldsOf(*built),
              (std::vector<std::string>{"ID 4 4 auto", "NAME 10 30 zero-length", "G_01 3 2",
                                        "G_02 3 2", "G_03 3 2", "CODE 10 8 zero-length"}));
    // Sub keys 3 to 5 have no members and give no index.
    EXPECT_EQ(IndexesOf(*built),
              (std::vector<std::string>{"BYNAME unique: NAME", "PrimaryKey primary: ID CODE",
                                        "SubKey1 duplicates: CODE NAME desc"}));
    user->Close();
}

} // namespace
