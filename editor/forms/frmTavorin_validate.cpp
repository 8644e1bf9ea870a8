// Whole-layout validation before a save: every row of WKTBL, names, the auto number, and the
// index settings; the key tables are filled on the way.
#include <QComboBox>
#include <QLineEdit>
#include <QString>

#include "engine/error.h"
#include "engine/types.h"
#include "forms/frmTavorin.h"
#include "modules/FuncUtility.h"
#include "modules/KeyEntry.h"
#include "modules/TavorinSub.h"
#include "modules/WorkStore.h"
#include "platform/prompts.h"

namespace tavorin {
namespace {

using engine::Recordset;
using engine::Variant;

void Message(const char* text) { platform::MsgBox(QString::fromUtf8(text)); }

std::string Trimmed(const std::string& s) {
    size_t a = s.find_first_not_of(' ');
    if (a == std::string::npos) return {};
    return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

void Write(Recordset& rs, const char* column, const Variant& value) {
    rs.Edit();
    rs.SetValue(column, value);
    rs.Update();
}

bool IsNullOrEmpty(const Variant& v) { return v.IsNull() || engine::TextOf(v).empty(); }

constexpr const char* kKeyColumns[7] = {nullptr, "FLD06", "FLD07", "FLD08", "FLD09", "FLD10", "FLD11"};

} // namespace

// Steps 1-7 of one row; false after a fault (its message shown).
static bool CheckLayoutRow(frmTavorin& form, Recordset& rs) {
    if (IsNullOrEmpty(rs.Value("FLD02"))) return Message("フィールド名称は省略できません。"), false;
    const Variant type = rs.Value("FLD03");
    if (IsNullOrEmpty(type)) return Message("データ種別が未入力です。"), false;
    const std::string typeName = engine::TextOf(type);
    if (TypeCodeOf(typeName) == -1) return Message("データ種別の誤りです。"), false;

    if (SameText(typeName, "dbText")) {
        const Variant size = rs.Value("FLD04");
        if (size.IsNull() || engine::CLng(size) == 0) Write(rs, "FLD04", Variant::Integer(50));
        if (engine::CLng(rs.Value("FLD04")) > 255)
            return Message("テキストタイプのサイズは最大　'255'　です。"), false;
    }

    const Variant repeat = rs.Value("FLD05");
    if (repeat.IsNull()) {
        Write(rs, "FLD05", Variant(""));
    } else if (std::string s = Trimmed(engine::TextOf(repeat)); !s.empty()) {
        int16_t digitError = 0;
        IsAllDigits(s, digitError);
        if (digitError != 0) return Message("数字以外の文字が入力されています。"), false;
        long n = 0;
        for (char c : s) n = n > 1000 ? n : n * 10 + (c - '0');
        if (n == 0) {
            Write(rs, "FLD05", Variant(""));
        } else if (SameText(typeName, kAutoNumberType)) {
            return Message("オートナンバー型のフィールドに繰り返しは指定できません。"), false;
        } else if (n < 1 || n > 99) {
            return Message("配列は　１次元で９９までです。"), false;
        }
    }

    for (int key = 1; key <= 6; ++key) {
        const std::string entry = engine::TextOf(rs.Value(kKeyColumns[key]));
        std::string normalised;
        int16_t error = 0;
        CheckKeyEntry(entry, normalised, engine::TextOf(rs.Value("FLD05")), error);
        if (error != 0) return false;
        if (normalised != entry) Write(rs, kKeyColumns[key], Variant(normalised));
        const int rank = RankOf(normalised);
        if (rank >= 1) {
            form.KeyUsed[key] = 9;
            if (!form.KeyFieldName[rank][key].empty())
                return Message("キー内に同一順位が指定されています。"), false;
            form.KeyFieldName[rank][key] = engine::TextOf(rs.Value("FLD02"));
            form.KeySortKind[rank][key] = normalised.size() > 2 ? normalised.substr(2, 1) : std::string();
        }
    }

    if (rs.Value("FLD12").IsNull()) Write(rs, "FLD12", Variant(""));
    return true;
}

void frmTavorin::ValidateLayout(int16_t& ErrorCode, int32_t& ErrorRow) {
    for (int key = 1; key <= 6; ++key) {
        KeyUsed[key] = 0;
        for (int rank = 1; rank <= 20; ++rank) {
            KeyFieldName[rank][key].clear();
            KeySortKind[rank][key].clear();
        }
    }
    ErrorCode = 0;
    ErrorRow = 0;

    // Step 1: the rows in row order, normalised in place.
    {
        auto rs = WorkDb->OpenRecordset("SELECT * FROM WKTBL ORDER BY FLD01 ", engine::RecordsetType::Dynaset);
        if (rs->Bof() || rs->Eof()) {
            Message("フィールドが一つも入力されていないテーブルは登録できません。");
            ErrorCode = 9;
            rs->Close();
            return;
        }
        while (!rs->Eof()) {
            if (!CheckLayoutRow(*this, *rs)) {
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
        auto snap =
            WorkDb->OpenRecordset("SELECT * FROM WKTBL ORDER BY FLD02 ,FLD01 ", engine::RecordsetType::Snapshot);
        std::string previous;
        while (!snap->Eof()) {
            const std::string name = engine::TextOf(snap->Value("FLD02"));
            if (SameText(name, previous)) {
                Message("同一フィールド名があります。");
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
                Message("オートナンバーは一つのテーブルに一つしか定義できません。");
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
        if (Text1[key]->text().isEmpty()) Text1[key]->setText(QString::fromStdString(IndexDefaultName[key - 1]));
        if (Text1[key]->text().isEmpty()) {
            Message("インデックス名が設定されていません。");
            ErrorCode = static_cast<int16_t>(key);
            return;
        }
        if (Combo1[key - 1]->currentIndex() < 0) Combo1[key - 1]->setCurrentIndex(IndexDefaultDup[key - 1]);
    }

    // Step 5: a primary key allows no duplicates.
    if (ErrorCode == 0 && KeyUsed[1] >= 1 && Combo1[0]->currentIndex() >= 1) {
        Message("主キーは重複なしを設定して下さい。");
        ErrorCode = 1;
    }
}

} // namespace tavorin
