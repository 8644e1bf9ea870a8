// Search and replace over the layout document: the hits of a run by name or type, letter case
// and direction, and replacing in one row or in all rows, kept or rolled back together.
#include <optional>
#include <string_view>

#include "core/LayoutSearch.h"
#include "core_fixture.h"
#include "engine/testing/fault_hook.h"

namespace {

using coretest::DocumentTest;
using coretest::Line;
using tavorin::LayoutSearch;
using tavorin::SearchDirection;

// 1 ID, 2 ITEM_NO, 3 no_no, 4 ＮＯ_ＫＡＮＡ (full width), 5 PRICE, 6 ADDR (a group of 2).
const std::vector<Line> kRows = {
    {1, "ID", "dbLong", 4},     {2, "ITEM_NO", "dbText", 10},
    {3, "no_no", "dbText", 10}, {4, "ＮＯ_ＫＡＮＡ", "dbText", 40},
    {5, "PRICE", "dbLong", 4},  {6, "ADDR", "dbText", 20, "02"},
};

class LayoutSearchTest : public DocumentTest {
  protected:
    void SetUp() override {
        DocumentTest::SetUp();
        Write(kRows);
    }

    LayoutSearch Session(const std::string& text, bool types, int16_t compareMode,
                         SearchDirection direction, int32_t from) {
        LayoutSearch search(doc, rows);
        search.SearchText = text;
        search.Types = types;
        search.CompareMode = compareMode;
        search.Direction = direction;
        doc.CurRow = from;
        search.BeginRun();
        return search;
    }

    // The hits of one run, as "row@at+length", up to the end of the walk.
    static std::vector<std::string> Run(LayoutSearch& search) {
        std::vector<std::string> hits;
        while (const std::optional<tavorin::SearchHit> hit = search.FindNext()) {
            hits.push_back(std::to_string(hit->row) + "@" + std::to_string(hit->at) + "+" +
                           std::to_string(hit->length));
            if (hits.size() > 20) break; // a walk that never ends
        }
        return hits;
    }
};

TEST_F(LayoutSearchTest, ARunFindsItsHitsByNameOrTypeWithTheLetterCaseAndDirectionChosen) {
    struct Case {
        const char* what;
        std::string text;
        bool types;
        int16_t compareMode; // 1 letter case ignored, 0 exact
        SearchDirection direction;
        int32_t from;
        std::vector<std::string> hits;
    };
    const Case cases[] = {
        // The whole table once round from the row in edit; full-width letters are letters of
        // their own, whose case folds among themselves.
        {"whole, case ignored", "NO", false, 1, SearchDirection::kWhole, 3, {"3@1+2", "2@6+2"}},
        {"whole, case counts", "no", false, 0, SearchDirection::kWhole, 3, {"3@1+2"}},
        {"full width", "ｎｏ", false, 1, SearchDirection::kWhole, 1, {"4@1+2"}},
        {"down stops at the last row",
         "I",
         false,
         1,
         SearchDirection::kDown,
         2,
         {"2@1+1", "5@3+1"}},
        {"up stops at the first row", "I", false, 1, SearchDirection::kUp, 2, {"2@1+1", "1@1+1"}},
        {"types", "dbLong", true, 1, SearchDirection::kWhole, 2, {"5@1+6", "1@1+6"}},
        {"nothing", "XYZ", false, 1, SearchDirection::kWhole, 1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LayoutSearch search = Session(c.text, c.types, c.compareMode, c.direction, c.from);
        EXPECT_EQ(Run(search), c.hits);
        EXPECT_EQ(search.HitCount, static_cast<int32_t>(c.hits.size()));
        // The next run starts where this one ended: down and up have nothing more to find.
        search.EndRun();
        if (c.direction != SearchDirection::kWhole) {
            EXPECT_EQ(Run(search), std::vector<std::string>{});
        }
    }
}

TEST_F(LayoutSearchTest, EachTextJoinsItsHistoryOnceInTheOrderFirstUsedAndAnEmptyOneNever) {
    LayoutSearch search(doc, rows);
    std::vector<bool> joined;
    for (const char* text : {"NO", "", "ID", "NO", "no", "ID"})
        joined.push_back(search.RememberSearch(text));
    EXPECT_EQ(joined, (std::vector<bool>{true, false, true, false, true, false}));
    EXPECT_EQ(search.SearchHistory(), (std::vector<std::string>{"NO", "ID", "no"}));
    // The replacement texts keep a history of their own.
    EXPECT_TRUE(search.RememberReplacement("NO"));
    EXPECT_EQ(search.ReplaceHistory(), std::vector<std::string>{"NO"});
}

TEST_F(LayoutSearchTest, ReplacingOneRowChangesTheMatchOrTheTypeOrSaysTheCellRulesFault) {
    struct Case {
        const char* what;
        std::string text, replacement;
        bool types;
        int32_t row;
        std::string fault;
        std::string column, stored; // of the row afterwards
    };
    const Case cases[] = {
        {"matched part of a name", "no", "CODE", false, 2, "", "FLD02", "ITEM_CODE"},
        {"a type takes its default size", "dbLong", "dbInteger", true, 1, "", "FLD04", "2"},
        {"a name the cell refuses", "PRICE", std::string(61, 'X'), false, 5,
         "フィールド名称は 60バイト（全角 30文字）までです。", "FLD02", "PRICE"},
        {"an auto number on a group", "dbText", "(ｵｰﾄﾅﾝﾊﾞ-)", true, 6,
         "オートナンバー型のフィールドに繰り返しは指定できません。", "FLD03", "dbText"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        doc.LayoutChanged = 0;
        LayoutSearch search = Session(c.text, c.types, 1, SearchDirection::kDown, c.row);
        search.ReplaceText = c.replacement;
        ASSERT_TRUE(search.FindNext().has_value());
        const tavorin::ReplaceOneResult result = search.ReplaceCurrent();
        EXPECT_EQ(result.fault, c.fault);
        EXPECT_EQ(result.replaced, c.fault.empty());
        EXPECT_EQ(doc.LayoutChanged, c.fault.empty() ? 9 : 0);
        EXPECT_EQ(StoredText(c.row, c.column), c.stored);
    }
}

TEST_F(LayoutSearchTest,
       ReplacingInAllRowsIsKeptOrUndoneTogetherAndAFailurePartWayUndoesTheRowsBefore) {
    const std::vector<std::string> before = Names();
    auto replaceAll = [&](const std::string& text, const std::string& replacement) {
        LayoutSearch search = Session(text, false, 1, SearchDirection::kWhole, 1);
        search.ReplaceText = replacement;
        return search.ReplaceAll(enginetest::Ws());
    };

    // Undone: every row as it was, the layout unchanged.
    {
        tavorin::ReplaceAllResult result = replaceAll("NO", "NUM");
        ASSERT_TRUE(result.pending.has_value());
        EXPECT_EQ(result.pending->Count(), 2);
        EXPECT_EQ(Names()[1], "2:ITEM_NUM"); // seen inside the transaction
        result.pending->Undo();
    }
    EXPECT_EQ(Names(), before);
    EXPECT_EQ(doc.LayoutChanged, 0);

    // A row the name cell refuses, after a row already replaced: nothing stays.
    {
        tavorin::ReplaceAllResult result =
            replaceAll("_", std::string(53, 'X')); // ITEM_NO takes it, ＮＯ_ＫＡＮＡ not
        EXPECT_FALSE(result.pending.has_value());
        EXPECT_EQ(result.fault, "フィールド名称は 60バイト（全角 30文字）までです。");
    }
    EXPECT_EQ(Names(), before);

    // The engine refuses the second row: the error comes through, nothing stays.
    int updates = 0;
    engine::SetWriteFaultHook([&](std::string_view sql) {
        return sql.find("UPDATE") != std::string_view::npos && ++updates == 2;
    });
    EXPECT_THROW(replaceAll("NO", "NUM"), engine::Error);
    engine::SetWriteFaultHook(nullptr);
    EXPECT_EQ(updates, 2);
    EXPECT_EQ(Names(), before);

    // Nothing found: nothing pending, no fault.
    {
        tavorin::ReplaceAllResult result = replaceAll("XYZ", "A");
        EXPECT_FALSE(result.pending.has_value());
        EXPECT_EQ(result.fault, "");
    }

    // Kept: the rows stay replaced and the layout counts as changed.
    {
        tavorin::ReplaceAllResult result = replaceAll("NO", "NUM");
        ASSERT_TRUE(result.pending.has_value());
        result.pending->Keep();
    }
    EXPECT_EQ(Names(), (std::vector<std::string>{"1:ID", "2:ITEM_NUM", "3:NUM_no",
                                                 "4:ＮＯ_ＫＡＮＡ", "5:PRICE", "6:ADDR"}));
    EXPECT_EQ(doc.LayoutChanged, 9);
}

} // namespace
