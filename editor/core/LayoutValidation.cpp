// Whole-layout validation before a save: every row of WKTBL, names, the auto number, and the
// index settings; the key tables are filled on the way.
#include "core/Defaults.h"
#include "core/KeyEntry.h"
#include "core/LayoutDocument.h"
#include "core/TextRules.h"
#include "core/TypeVocabulary.h"
#include "core/UserPrompts.h"
#include "engine/variant.h"

namespace tavorin {
namespace {

using engine::Recordset;
using engine::Variant;

void Write(Recordset& rs, const char* column, const Variant& value) {
    rs.Edit();
    rs.SetValue(column, value);
    rs.Update();
}

bool IsNullOrEmpty(const Variant& v) {
    return v.IsNull() || engine::TextOf(v).empty();
}

constexpr const char* kKeyColumns[7] = {nullptr, "FLD06", "FLD07", "FLD08",
                                        "FLD09", "FLD10", "FLD11"};

using KeyNames = std::array<std::array<std::string, 7>, 21>;

// Steps 1-7 of one row: the message of its fault, or "" when the row is taken (normalised in
// place, its key memberships entered in the key tables).
std::string CheckLayoutRow(Recordset& rs, std::array<int16_t, 7>& keyUsed, KeyNames& keyFieldName,
                           KeyNames& keySortKind) {
    if (IsNullOrEmpty(rs.Value("FLD02"))) return "フィールド名称は省略できません。";
    const Variant type = rs.Value("FLD03");
    if (IsNullOrEmpty(type)) return "データ種別が未入力です。";
    const std::string typeName = engine::TextOf(type);
    if (TypeCodeOf(typeName) == -1) return "データ種別の誤りです。";

    if (SameText(typeName, "dbText")) {
        const Variant size = rs.Value("FLD04");
        if (size.IsNull() || engine::CLng(size) == 0) Write(rs, "FLD04", Variant::Integer(50));
        if (engine::CLng(rs.Value("FLD04")) > 255)
            return "テキストタイプのサイズは最大　'255'　です。";
    }

    const Variant repeat = rs.Value("FLD05");
    if (repeat.IsNull()) {
        Write(rs, "FLD05", Variant(""));
    } else if (std::string s = TrimBlanks(engine::TextOf(repeat)); !s.empty()) {
        int16_t digitError = 0;
        IsAllDigits(s, digitError);
        if (digitError != 0) return "数字以外の文字が入力されています。";
        long n = 0;
        for (char c : s) n = n > 1000 ? n : n * 10 + (c - '0');
        if (n == 0) {
            Write(rs, "FLD05", Variant(""));
        } else if (SameText(typeName, kAutoNumberType)) {
            return "オートナンバー型のフィールドに繰り返しは指定できません。";
        } else if (n < 1 || n > 99) {
            return "配列は　１次元で９９までです。";
        }
    }

    for (int key = 1; key <= 6; ++key) {
        const std::string entry = engine::TextOf(rs.Value(kKeyColumns[key]));
        std::string normalised;
        std::string fault = KeyEntryFault(entry, normalised, engine::TextOf(rs.Value("FLD05")));
        if (!fault.empty()) return fault;
        if (normalised != entry) Write(rs, kKeyColumns[key], Variant(normalised));
        const int rank = RankOf(normalised);
        if (rank >= 1) {
            keyUsed[key] = 9;
            if (!keyFieldName[rank][key].empty()) return "キー内に同一順位が指定されています。";
            keyFieldName[rank][key] = engine::TextOf(rs.Value("FLD02"));
            keySortKind[rank][key] =
                normalised.size() > 2 ? normalised.substr(2, 1) : std::string();
        }
    }

    if (rs.Value("FLD12").IsNull()) Write(rs, "FLD12", Variant(""));
    return {};
}

} // namespace

void LayoutDocument::ClearKeyTables() {
    for (int key = 1; key <= 6; ++key) {
        KeyUsed[key] = 0;
        for (int rank = 1; rank <= 20; ++rank) {
            KeyFieldName[rank][key].clear();
            KeySortKind[rank][key].clear();
        }
    }
}

void LayoutDocument::ValidateLayout(IndexSettings& settings, UserPrompts& prompts,
                                    int16_t& ErrorCode, int32_t& ErrorRow) {
    ClearKeyTables();
    ErrorCode = 0;
    ErrorRow = 0;

    // Step 1: the rows in row order, normalised in place.
    {
        auto rs = WorkDatabase().OpenRecordset("SELECT * FROM WKTBL ORDER BY FLD01 ",
                                               engine::RecordsetType::Dynaset);
        if (rs->Bof() || rs->Eof()) {
            prompts.Say("フィールドが一つも入力されていないテーブルは登録できません。");
            ErrorCode = 9;
            rs->Close();
            return;
        }
        while (!rs->Eof()) {
            const std::string fault = CheckLayoutRow(*rs, KeyUsed, KeyFieldName, KeySortKind);
            if (!fault.empty()) {
                prompts.Say(fault);
                ErrorCode = 9;
                ErrorRow = engine::CLng(rs->Value("FLD01"));
                rs->Close();
                return;
            }
            rs->MoveNext();
        }
        rs->Close();
    }

    // Steps 2 and 3: names in name order, and one auto number at most.
    {
        auto snap = WorkDatabase().OpenRecordset("SELECT * FROM WKTBL ORDER BY FLD02 ,FLD01 ",
                                                 engine::RecordsetType::Snapshot);
        std::string previous;
        while (!snap->Eof()) {
            const std::string name = engine::TextOf(snap->Value("FLD02"));
            if (SameText(name, previous)) {
                prompts.Say("同一フィールド名があります。");
                ErrorCode = 9;
                ErrorRow = engine::CLng(snap->Value("FLD01"));
                snap->Close();
                return;
            }
            previous = name;
            snap->MoveNext();
        }
        const std::string criterion = "FLD03 = '" + std::string(kAutoNumberType) + "'";
        snap->FindFirst(criterion);
        if (!snap->NoMatch()) {
            snap->FindNext(criterion);
            if (!snap->NoMatch()) {
                prompts.Say("オートナンバーは一つのテーブルに一つしか定義できません。");
                ErrorCode = 9;
                ErrorRow = engine::CLng(snap->Value("FLD01"));
                snap->Close();
                return;
            }
        }
        snap->Close();
    }

    // Step 4: index settings of the keys that have members.
    for (int key = 1; key <= 6; ++key) {
        if (KeyUsed[key] < 1) continue;
        const size_t slot = static_cast<size_t>(key - 1);
        if (settings.Name[slot].empty()) settings.Name[slot] = defaults_.IndexDefaultName[slot];
        if (settings.Name[slot].empty()) {
            prompts.Say("インデックス名が設定されていません。");
            ErrorCode = static_cast<int16_t>(key);
            return;
        }
        if (settings.Dup[slot] < 0) settings.Dup[slot] = defaults_.IndexDefaultDup[slot];
    }

    // Step 5: a primary key allows no duplicates.
    if (ErrorCode == 0 && KeyUsed[1] >= 1 && settings.Dup[0] >= 1) {
        prompts.Say("主キーは重複なしを設定して下さい。");
        ErrorCode = 1;
    }
}

} // namespace tavorin
