// Search and replace over the layout document: the rows of WKTBL found by field name or by data
// type, walked from a row in a direction, and the matched part of a name (or the whole type)
// replaced in one row or in all rows of a run. Nothing here shows anything: the search window
// shows the hits, asks the end question and says the faults.
//
// A run starts at a row (the row in edit) and walks down, up, or over the whole table once round
// from its start. Each hit becomes the current row; replacing acts on the current row when it
// still matches, then the walk goes on after it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/recordset.h"
#include "engine/transaction_guard.h"

namespace engine {
class Workspace;
}

namespace tavorin {

class LayoutDocument;

enum class SearchDirection : int { kWhole = 0, kDown = 1, kUp = 2 };

// A hit: the row, and where the match lies in its name as a text box counts characters (1-based
// start and length in UTF-16 units), for the view's selection. A type hit matches the type name.
struct SearchHit {
    int32_t row = 0;
    int at = 0;
    int length = 0;
};

// The 1-based position (UTF-16 units) of the first occurrence of what in text, 0 when none (or
// when what is empty). Without caseCounts, letters compare by their simple case folding: the
// Latin, Greek and Cyrillic letters in their half-width and full-width forms and the Roman
// numerals; other characters compare exactly.
int MatchPosition(const std::string& text, const std::string& what, bool caseCounts);

// The rows replaced in all rows of a run, still inside their workspace transaction: Keep commits
// them (the layout then counts as changed), Undo or the end of the object rolls them back.
class PendingReplacement {
  public:
    PendingReplacement(LayoutDocument& doc, engine::TransactionGuard transaction, int32_t count)
        : doc_(doc), transaction_(std::move(transaction)), count_(count) {}
    int32_t Count() const { return count_; }
    // Errors of the commit propagate; the transaction is then rolled back when the object ends.
    void Keep();
    void Undo();

  private:
    LayoutDocument& doc_;
    engine::TransactionGuard transaction_;
    int32_t count_;
};

// What replacing in all rows came to: the rows replaced and not yet kept, or nothing replaced
// (fault: the cell rule's message of the row that stopped the run, empty when nothing matched).
struct ReplaceAllResult {
    std::optional<PendingReplacement> pending;
    std::string fault;
};

struct ReplaceOneResult {
    bool replaced = false;
    std::string fault;
};

// One search session over the document's rows: its settings as the search window sets them, and
// the state of the run.
class LayoutSearch {
  public:
    // rows: the handle of the work rows (WKTBL ordered by FLD01) the document works on; it may
    // be re-opened while the session lives.
    LayoutSearch(LayoutDocument& doc, engine::RecordsetPtr& rows) : doc_(doc), rows_(rows) {}

    // ---- Settings ----
    int16_t Mode = 0;        // 0 search, 1 replace: the command that opened the search
    std::string SearchText;  // text or type name searched for
    std::string ReplaceText; // replacement text or type name
    bool Types = false;      // search the data types (FLD03), else the field names (FLD02)
    int16_t CompareMode = 1; // 1 letter case ignored, 0 exact
    SearchDirection Direction = SearchDirection::kWhole;

    // ---- The histories ----
    // A text used as the search or the replacement text joins its history once, in the order
    // first used; an empty text never does. True when text joined (the view lists it then).
    bool RememberSearch(const std::string& text) { return Remember(searchHistory_, text); }
    bool RememberReplacement(const std::string& text) { return Remember(replaceHistory_, text); }
    const std::vector<std::string>& SearchHistory() const { return searchHistory_; }
    const std::vector<std::string>& ReplaceHistory() const { return replaceHistory_; }

    // ---- The run ----
    int32_t HitCount = 0; // hits (and replacements) of the run so far
    int32_t StartRow = 0; // the row the run began with
    bool Wrapped = false; // a whole-table walk has gone on from the first row

    // A new run from the row in edit (else the first row shown): the current row is the first
    // row from there on, or the end after the last row.
    void BeginRun();
    // The run begins again at the current row, which is looked at again (a condition changed).
    void ResetStart();
    // The next hit in the direction from the current row, which it becomes; nullopt at the end
    // of the walk, the current row then being where it ended. Counts the hit.
    std::optional<SearchHit> FindNext();
    // The end of a run was reached: the next one starts where this one ended.
    void EndRun();

    // Replaces in the current row when it still matches: the matched part of its name, or its
    // type (which takes its default size). A replacement counts as a hit and changes the
    // layout; a row that would not take the result is left as it was, with the cell rule's
    // message. Engine errors propagate with the row unchanged.
    ReplaceOneResult ReplaceCurrent();
    // Replaces in every row the run finds from its start, inside one transaction of ws. A fault
    // of a row, nothing found, or an engine error (which propagates) rolls back every row
    // replaced before. The run ends where the walk ended.
    ReplaceAllResult ReplaceAll(engine::Workspace& ws);

  private:
    engine::Recordset& Rows() { return *rows_; }
    // The walk on from the current row; false at its end.
    bool WalkOn(SearchHit& hit);
    int MatchOfCurrent(); // the match in the record rows are on, 0 when none
    // Positions the rows on the current row when it exists and matches; its match, else 0.
    int CurrentRowMatch();
    // Replaces the match in the record rows are on; the cell rule's message when refused.
    std::string ReplaceInRecord();

    static bool Remember(std::vector<std::string>& history, const std::string& text);

    LayoutDocument& doc_;
    engine::RecordsetPtr& rows_;
    std::vector<std::string> searchHistory_;
    std::vector<std::string> replaceHistory_;
    // The current row: a row number or one of the ends; afterHit_ when the walk goes on with
    // the next row.
    int32_t position_ = 0;
    bool afterHit_ = false;
};

} // namespace tavorin
