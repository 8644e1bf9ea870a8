// The Japanese descriptions of the error numbers the engine layer and the host conversions raise.
#include "engine/error.h"

#include <cstdio>
#include <cstdlib>
#include <new>
#include <string_view>

namespace engine {
namespace {

struct Description {
    long number;
    std::string_view text;      // "|" stands for the detail, e.g. the name of the object concerned
    std::string_view bare = {}; // the text without a detail, where dropping "|" reads badly
};

// Kept in number order; looked up by a linear scan (errors are rare, the table is short).
constexpr Description kDescriptions[] = {
    {err::kInvalidProcedureCall, "プロシージャの呼び出し、または引数が不正です。"},
    {err::kOverflow, "オーバーフローしました。"},
    {err::kOutOfMemory, "メモリが不足しています。"},
    {err::kSubscriptOutOfRange, "インデックスが有効範囲にありません。"},
    {err::kDivisionByZero, "0 で除算しました。"},
    {err::kTypeMismatch, "型が一致しません。"},
    {err::kBadFileName, "ファイル名または番号が不正です。"},
    {err::kHostFileNotFound, "ファイル '|' が見つかりません。"},
    {err::kBadPathName, "パス名が無効です。"},
    {err::kPathNotFound, "パス '|' が見つかりません。"},
    {err::kInvalidUseOfNull, "Null の使い方が不正です。"},
    {err::kEngineFailure, "予約済みのエラー (|) です。このエラーに関するメッセージはありません。",
     "予約済みのエラーです。このエラーに関するメッセージはありません。"},
    {err::kInvalidArgument, "引数が無効です。"},
    {err::kTooManyTransactions,
     "トランザクションを開始できません。既に入れ子になっているトランザクションが多すぎます。"},
    {err::kTableExists, "テーブル '|' は既に存在します。"},
    {err::kObjectNotFound,
     "オブジェクト '|' が見つかりません。オブジェクトが存在していること、名前やパス名が正しいこと"
     "を確認してください。"},
    {err::kNameExists, "オブジェクト '|' は既に存在します。"},
    {err::kNoCurrentIndex, "カレント インデックスがないため、この操作は実行できません。"},
    {err::kUpdateWithoutAddNew, "AddNew または Edit を実行せずに Update または CancelUpdate "
                                "を実行しようとしました。"},
    {err::kNoCurrentRecord, "カレント レコードがありません。"},
    {err::kDuplicateKey, "インデックス、主キー、またはリレーションシップで値が重複しているため、"
                         "テーブルを変更できませんでした。"},
    {err::kFileNotFound, "ファイル '|' が見つかりません。"},
    {err::kDiskFull, "ディスクに空き領域がありません。"},
    {err::kReadOnly, "データベースまたはオブジェクトが読み取り専用なので、更新できません。"},
    {err::kNotInTransaction,
     "BeginTrans を実行せずに、トランザクションをコミットまたはロールバックしようとしました。"},
    {err::kDiskIo, "ディスクまたはネットワークのエラーです。"},
    {err::kInvalidPath,
     "'|' は正しいパスではありません。パス名が正しいかどうかを確認してください。",
     "パスが正しくありません。パス名が正しいかどうかを確認してください。"},
    {err::kLocked, "ファイル '|' を使用できません。既に使用中です。"},
    {err::kTooManyDatabases, "これ以上データベースを開けません。"},
    {err::kNoPermission,
     "ファイル '|' を開けません。ファイルが存在しないか、ほかのユーザーが排他的に開いているか、"
     "ファイルを表示または書き込む権限がありません。"},
    {err::kNullInIndex, "インデックスまたは主キーには Null 値を入力できません。"},
    {err::kUnknownField, "パラメータが少なすぎます。フィールド '|' が見つかりません。",
     "パラメータが少なすぎます。"},
    {err::kSyntaxInExpression, "クエリ式 '|' の 構文エラー。"},
    {err::kSyntaxInCriteria, "式 '|' の構文エラーです。"},
    {err::kTableNotFound, "入力テーブルまたはクエリ '|' が見つかりません。テーブルまたはクエリが"
                          "存在していること、名前が正しいことを確認してください。"},
    {err::kInvalidName,
     "'|' は正しい名前ではありません。名前に無効な文字や区切り記号が含まれていないか、名前が"
     "長すぎないかを確認してください。",
     "名前が正しくありません。名前に無効な文字や区切り記号が含まれていないか、名前が長すぎないか"
     "を確認してください。"},
    {err::kSyntaxInFrom, "FROM 句の構文エラーです。"},
    {err::kInvalidBookmark, "ブックマークが正しくありません。"},
    {err::kTextTooLong, "フィールドが小さすぎて、追加しようとしたデータを格納できません。"},
    {err::kFieldNotUpdatable, "フィールド '|' は更新できません。", "フィールドは更新できません。"},
    {err::kRecordDeleted, "レコードは削除されています。"},
    {err::kTooManyFields, "定義されているフィールドが多すぎます。"},
    {err::kFieldExists, "フィールド '|' を 2 回以上定義することはできません。"},
    {err::kDatabaseExists, "データベースは既に存在します。"},
    {err::kInvalidOperation, "操作が正しくありません。"},
    {err::kOperationNotSupported,
     "この操作は、このタイプのオブジェクトではサポートされていません。"},
    {err::kInvalidFieldType, "フィールドのデータ型が正しくありません。"},
    {err::kNoFieldDefined,
     "フィールドが定義されていないため、TableDef または Index オブジェクトを追加できません。"},
    {err::kItemNotFound, "コレクションに項目が見つかりません。"},
    {err::kPropertyNotFound, "プロパティが見つかりません。"},
    {err::kFieldInIndex,
     "インデックスの一部であるフィールド、またはシステムで必要なフィールド '|' は削除できません。",
     "インデックスの一部であるフィールド、またはシステムで必要なフィールドは削除できません。"},
    {err::kPrimaryExists, "主キーは既に存在します。"},
    {err::kIndexExists, "インデックスは既に存在します。"},
    {err::kRequiredNull, "フィールド '|' には値が必要です。"},
    {err::kZeroLength, "フィールド '|' には長さ 0 の文字列を入力できません。"},
    {err::kBadFormat, "データベース形式 '|' を認識できません。"},
    {err::kNumericOverflow, "数値フィールドのオーバーフローです。"},
    {err::kPropertyExists,
     "追加できません。同じ名前のオブジェクト '|' が既にコレクションにあります。",
     "追加できません。同じ名前のオブジェクトが既にコレクションにあります。"},
    {err::kTooManyIndexFields, "インデックスに指定されているフィールドが多すぎます。"},
    {err::kObjectClosed, "オブジェクトが無効か、既に設定されていません。"},
    {err::kConversionError, "データ型の変換エラーです。"},
    {err::kTooManyIndexes, "インデックスが多すぎるため、インデックスを追加できません。"},
    {err::kIndexNotFound, "'|' はこのテーブルのインデックスではありません。",
     "指定された名前はこのテーブルのインデックスではありません。"},
    {err::kTransactionLost, "エラーのため、トランザクションはデータベース "
                            "エンジンによって取り消されました。Rollback を実行して"
                            "トランザクションを終了するまで、変更はできません。"},
    {err::kEncryptedFile,
     "ファイル '|' は暗号化されているか、パスワードが設定されているため、変更できません。",
     "ファイルは暗号化されているか、パスワードが設定されているため、変更できません。"},
};

bool IsBlank(char c) {
    return c == ' ';
}

// Puts the detail in place of "|"; without a detail the placeholder goes with its quotes and the
// blanks around it ("テーブル '|' は" becomes "テーブルは").
std::string Fill(std::string_view text, const std::string& detail) {
    size_t bar = text.find('|');
    if (bar == std::string_view::npos) return std::string(text);
    std::string out;
    if (!detail.empty()) {
        out.reserve(text.size() + detail.size());
        out.append(text.substr(0, bar)).append(detail).append(text.substr(bar + 1));
        return out;
    }
    size_t begin = bar, end = bar + 1;
    if (begin > 0 && end < text.size() && text[begin - 1] == '\'' && text[end] == '\'') {
        --begin;
        ++end;
    }
    while (begin > 0 && IsBlank(text[begin - 1])) --begin;
    while (end < text.size() && IsBlank(text[end])) ++end;
    out.append(text.substr(0, begin)).append(text.substr(end));
    return out;
}

} // namespace

std::string DescriptionOf(long number, const std::string& detail) {
    for (const Description& d : kDescriptions) {
        if (d.number != number) continue;
        if (detail.empty() && !d.bare.empty()) return std::string(d.bare);
        return Fill(d.text, detail);
    }
    std::string generic = "エラー番号 " + std::to_string(number);
    if (!detail.empty()) generic += " (" + detail + ")";
    return generic;
}

bool HasDescription(long number) {
    for (const Description& d : kDescriptions)
        if (d.number == number) return true;
    return false;
}

std::optional<Error> AsEngineError(const std::exception& e) {
    if (const auto* engineError = dynamic_cast<const Error*>(&e)) return *engineError;
    if (dynamic_cast<const std::bad_alloc*>(&e) || dynamic_cast<const std::length_error*>(&e))
        return Error(err::kOutOfMemory, DescriptionOf(err::kOutOfMemory));
    return std::nullopt;
}

void Throw(long number, const std::string& detail) {
#ifdef TAVORIN_CHECKED_BUILD
    if (!HasDescription(number)) {
        std::fprintf(stderr, "engine: error %ld raised without a description of its own\n", number);
        std::abort();
    }
#endif
    throw Error(number, DescriptionOf(number, detail));
}

} // namespace engine
