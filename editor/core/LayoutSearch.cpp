// Search and replace over the layout document's rows.
#include "core/LayoutSearch.h"

#include <algorithm>
#include <limits>
#include <string_view>
#include <vector>

#include "core/CellRules.h"
#include "core/LayoutDocument.h"
#include "core/TextRules.h"
#include "core/TypeVocabulary.h"
#include "engine/names.h"
#include "engine/text932.h"
#include "engine/variant.h"

namespace tavorin {

namespace {

// The ends of the walk, as current rows: before the first and after the last row.
constexpr int32_t kBeforeFirst = 0;
constexpr int32_t kAfterLast = std::numeric_limits<int32_t>::max();

// The simple case folding of the letters a layout's names are written in (code page 932 holds
// no others): Latin (with Latin-1 and Latin Extended-A), Greek, Cyrillic, full-width Latin, the
// Roman numerals.
char32_t FoldCase(char32_t c) {
    if (c < 0x80) return engine::FoldNameChar(c);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
    if (c >= 0x100 && c <= 0x137) return c | 1;
    if (c >= 0x139 && c <= 0x148) return (c & 1) ? c + 1 : c;
    if (c >= 0x14A && c <= 0x177) return c | 1;
    if (c == 0x178) return 0xFF;
    if (c >= 0x179 && c <= 0x17E) return (c & 1) ? c + 1 : c;
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 0x20;
    if (c == 0x3C2) return 0x3C3; // final sigma
    if (c >= 0x400 && c <= 0x40F) return c + 0x50;
    if (c >= 0x410 && c <= 0x42F) return c + 0x20;
    if (c >= 0x2160 && c <= 0x216F) return c + 0x10;
    if (c >= 0xFF21 && c <= 0xFF3A) return c + 0x20;
    return c;
}

int Utf16Units(char32_t c) {
    return c >= 0x10000 ? 2 : 1;
}

// A text's characters with the byte offset each starts at (and one past the end).
struct Decoded {
    std::vector<char32_t> chars;
    std::vector<size_t> starts;
};

Decoded Decode(std::string_view text) {
    Decoded out;
    size_t pos = 0;
    while (pos < text.size()) {
        out.starts.push_back(pos);
        out.chars.push_back(engine::cp932::NextCodePoint(text, pos));
    }
    out.starts.push_back(text.size());
    return out;
}

// Where what lies in text: the bytes of the match, and its place as a text box counts.
struct Match {
    size_t byteBegin = 0, byteEnd = 0;
    int at = 0, length = 0; // 1-based, UTF-16 units; at 0 = no match
};

Match FindIn(const std::string& text, const std::string& what, bool caseCounts) {
    Match match;
    if (what.empty()) return match;
    const Decoded hay = Decode(text);
    const Decoded needle = Decode(what);
    auto same = [caseCounts](char32_t a, char32_t b) {
        return caseCounts ? a == b : FoldCase(a) == FoldCase(b);
    };
    const size_t n = needle.chars.size();
    int units = 0;
    for (size_t i = 0; i + n <= hay.chars.size(); units += Utf16Units(hay.chars[i]), ++i) {
        size_t k = 0;
        while (k < n && same(hay.chars[i + k], needle.chars[k])) ++k;
        if (k < n) continue;
        match.byteBegin = hay.starts[i];
        match.byteEnd = hay.starts[i + n];
        match.at = units + 1;
        for (size_t j = i; j < i + n; ++j) match.length += Utf16Units(hay.chars[j]);
        return match;
    }
    return match;
}

// Positions rs on the first row after (or from) row walking down, or on the last row before
// (or up to) row walking up; false when there is none.
bool PositionFrom(engine::Recordset& rs, int32_t row, bool exclusive, bool up) {
    const char* op = up ? (exclusive ? "<" : "<=") : (exclusive ? ">" : ">=");
    const std::string criteria = std::string("FLD01 ") + op + " " + std::to_string(row);
    if (up)
        rs.FindLast(criteria);
    else
        rs.FindFirst(criteria);
    return !rs.NoMatch();
}

} // namespace

int MatchPosition(const std::string& text, const std::string& what, bool caseCounts) {
    return FindIn(text, what, caseCounts).at;
}

// ---- The histories --------------------------------------------------------------------------

bool LayoutSearch::Remember(std::vector<std::string>& history, const std::string& text) {
    if (text.empty() || std::find(history.begin(), history.end(), text) != history.end())
        return false;
    history.push_back(text);
    return true;
}

// ---- Replacing in all rows, kept or undone --------------------------------------------------

void PendingReplacement::Keep() {
    transaction_.Commit();
    doc_.LayoutChanged = 9;
}

void PendingReplacement::Undo() {
    if (transaction_.Active()) transaction_.Rollback();
}

// ---- The walk ------------------------------------------------------------------------------

void LayoutSearch::BeginRun() {
    engine::Recordset& rs = Rows();
    rs.Requery();
    const int32_t start = doc_.CurRow > 0 ? doc_.CurRow : doc_.TopRow;
    position_ =
        PositionFrom(rs, start, false, false) ? engine::CLng(rs.Value("FLD01")) : kAfterLast;
    ResetStart();
}

void LayoutSearch::ResetStart() {
    HitCount = 0;
    Wrapped = false;
    StartRow = position_;
    afterHit_ = false;
}

void LayoutSearch::EndRun() {
    StartRow = position_;
    HitCount = 0;
    Wrapped = false;
}

int LayoutSearch::MatchOfCurrent() {
    return FindIn(engine::TextOf(Rows().Value(Types ? "FLD03" : "FLD02")), SearchText,
                  CompareMode == 0)
        .at;
}

bool LayoutSearch::WalkOn(SearchHit& hit) {
    engine::Recordset& rs = Rows();
    const bool whole = Direction == SearchDirection::kWhole;
    const bool up = Direction == SearchDirection::kUp;
    bool on = PositionFrom(rs, position_, afterHit_, up);
    for (;;) {
        if (!on) {
            if (whole && !Wrapped) {
                Wrapped = true;
                on = PositionFrom(rs, kBeforeFirst, false, false);
                continue;
            }
            position_ = up ? kBeforeFirst : kAfterLast;
            afterHit_ = false;
            return false;
        }
        const int32_t row = engine::CLng(rs.Value("FLD01"));
        if (whole && Wrapped && row >= StartRow) {
            // Round the table once: back at the row the run began with.
            position_ = row;
            afterHit_ = false;
            return false;
        }
        const Match match = FindIn(engine::TextOf(rs.Value(Types ? "FLD03" : "FLD02")), SearchText,
                                   CompareMode == 0);
        if (match.at > 0) {
            position_ = hit.row = row;
            afterHit_ = true;
            hit.at = match.at;
            hit.length = match.length;
            return true;
        }
        if (up)
            rs.MovePrevious();
        else
            rs.MoveNext();
        on = !rs.Eof() && !rs.Bof();
    }
}

std::optional<SearchHit> LayoutSearch::FindNext() {
    Rows().Requery();
    SearchHit hit;
    if (!WalkOn(hit)) return std::nullopt;
    ++HitCount;
    return hit;
}

// ---- Replacing -----------------------------------------------------------------------------

int LayoutSearch::CurrentRowMatch() {
    if (position_ == kBeforeFirst || position_ == kAfterLast) return 0;
    engine::Recordset& rs = Rows();
    rs.FindFirst("FLD01= " + std::to_string(position_));
    return rs.NoMatch() ? 0 : MatchOfCurrent();
}

std::string LayoutSearch::ReplaceInRecord() {
    engine::Recordset& rs = Rows();
    std::string name;
    int16_t size = 0;
    if (Types) {
        if (SameText(ReplaceText, kAutoNumberType) &&
            !TrimBlanks(engine::TextOf(rs.Value("FLD05"))).empty())
            return "オートナンバー型のフィールドに繰り返しは指定できません。";
        DefaultTypeSize(ReplaceText, size);
    } else {
        // Only the matched part changes; the name is then taken as the name cell takes a typed one.
        const std::string old = engine::TextOf(rs.Value("FLD02"));
        const Match match = FindIn(old, SearchText, CompareMode == 0);
        name = TrimBlanks(old.substr(0, match.byteBegin) + ReplaceText + old.substr(match.byteEnd));
        if (std::string fault = FieldNameFault(name); !fault.empty()) return fault;
    }
    try {
        rs.Edit();
        if (Types) {
            rs.SetValue("FLD03", engine::Variant(ReplaceText));
            rs.SetValue("FLD04", engine::Variant::Integer(size));
        } else {
            rs.SetValue("FLD02", engine::Variant(name));
        }
        rs.Update();
    } catch (...) {
        if (rs.EditMode() != engine::EditMode::None) rs.CancelUpdate();
        throw;
    }
    return {};
}

ReplaceOneResult LayoutSearch::ReplaceCurrent() {
    Rows().Requery();
    ReplaceOneResult result;
    if (CurrentRowMatch() == 0) return result;
    result.fault = ReplaceInRecord();
    if (!result.fault.empty()) return result;
    result.replaced = true;
    ++HitCount;
    afterHit_ = true;
    doc_.LayoutChanged = 9;
    return result;
}

ReplaceAllResult LayoutSearch::ReplaceAll(engine::Workspace& ws) {
    position_ = StartRow;
    afterHit_ = false;
    Wrapped = false;
    HitCount = 0;
    int32_t replaced = 0;
    ReplaceAllResult result;
    Rows().Requery();
    // Begun once the rows are read again; a guard that is not kept rolls back.
    engine::TransactionGuard transaction(ws);
    for (;;) {
        if (CurrentRowMatch() > 0) {
            result.fault = ReplaceInRecord();
            if (!result.fault.empty()) break;
            ++replaced;
            ++HitCount;
            afterHit_ = true;
        }
        SearchHit hit;
        if (!WalkOn(hit)) break;
        ++HitCount;
    }
    if (!result.fault.empty() || replaced == 0) {
        transaction.Rollback();
        return result;
    }
    result.pending.emplace(doc_, std::move(transaction), replaced);
    return result;
}

} // namespace tavorin
