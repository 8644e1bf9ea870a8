#include "module_text.h"

#include <charconv>

namespace vespen {

namespace {

const std::string kStarLine = "'" + std::string(63, '*');
// Nineteen blanks and an ideographic space open each banner title.
constexpr const char* kBannerIndent = "'                   　";

// The two routines every module with a read or write section ends with. The text is fixed:
// generated modules of earlier runs carry it verbatim.
constexpr const char* kHelperRoutines = R"BAS('
'   テーブルのフィールド＜－－＞定義領域（配列）
'
Public Sub Array_InOut (ByVal Action As String, RS as RecordSet, ByVal FLD_Name as string, FLD_Type, ByVal MaxIx As Integer, ByVal AZL As String, ByVal NCK As String)
Dim WkName As String
Dim i As Integer
Dim wk As Variant

    For i = 1 To MaxIx             'MaxIx:配列数
        WkName = FLD_Name & "_" & Trim(Right$(Str$(i + 100), 2))        'フィールド名の生成

        Select Case Action
            Case "GET"            'NCK:1-Numeric 2-Not Numeric
                If IsNull(RS(WkName)) = True Then
                    Select Case NCK
                        Case "1": FLD_Type(i) = ""
                        Case "2": FLD_Type(i) = 0
                        Case Else
                    End Select
                Else
                    wk = RS(WkName)            'Date用ダミー領域
                    FLD_Type(i) = wk
                End If
            Case Else            'AZL:1-Allow Zero Length
                If (AZL = "1") And (IsNull(FLD_Type(i)) = True) Then
                    RS(WkName) = ""
                Else
                    RS(WkName) = FLD_Type(i)
                End If
        End Select
    Next i
End Sub
'
'
'   テーブルのフィールド＜－－＞定義領域（単体）
'
Public Sub Normal_InOut (ByVal Action As String, RS as RecordSet, ByVal FLD_Name as string, FLD_Type, ByVal AZL As String, ByVal NCK As String)
Dim wk As Variant
    Select Case Action
        Case "GET"            'NCK:1-Numeric 2-Not Numeric
            If IsNull(RS(FLD_Name)) = True Then
                Select Case NCK
                    Case "1" : FLD_Type = ""
                    Case "2" : FLD_Type = 0
                    Case Else
                End Select
            Else
                wk = RS(FLD_Name)            'Date用ダミー領域
                FLD_Type = wk
            End If
        Case Else            'AZL:1-Allow Zero Length
            If (AZL = "1") And (IsNull(FLD_Type) = True) then
                RS(FLD_Name) = ""
            Else
                RS(FLD_Name) = FLD_Type
            End If
     End Select
End Sub)BAS";

const char* MemberClauseOf(const std::string& typeCode) {
    int code = -1;
    std::from_chars(typeCode.data(), typeCode.data() + typeCode.size(), code);
    switch (code) {
    case 1:
        return " As Boolean";
    case 2:
        return " As Byte";
    case 3:
        return " As Integer";
    case 4:
        return " As Long";
    case 5:
        return " As Currency";
    case 6:
        return " As Single";
    case 7:
        return " As Double";
    case 8:
        return " As Date";
    case 10:
    case 12:
        return " As String";
    case 20:
        return " As Long";
    default:
        return " As Variant";
    }
}

// A description ends its line as a comment, so a line break inside it becomes one blank
// rather than a line of stray text in the module.
std::string CommentText(const std::string& description) {
    std::string text;
    for (size_t i = 0; i < description.size(); ++i) {
        char c = description[i];
        if (c == '\r' && i + 1 < description.size() && description[i + 1] == '\n') continue;
        text += (c == '\r' || c == '\n') ? ' ' : c;
    }
    return text;
}

bool IsArrayHead(const FieldRow& row) {
    return row.RepeatNo != "00";
}

std::string BaseFieldName(const FieldRow& row) {
    return row.FieldName.size() >= 3 ? row.FieldName.substr(0, row.FieldName.size() - 3)
                                     : row.FieldName;
}

int ElementCount(const FieldRow& row) {
    int n = 0;
    for (char c : row.RepeatNo)
        if (c >= '0' && c <= '9') n = n * 10 + (c - '0');
    return n;
}

class ModuleBuilder {
  public:
    ModuleBuilder(const FieldTable& rows, const std::string& databasePath,
                  const GeneratorOptions& options)
        : databasePath_(databasePath), o_(options) {
        for (const FieldRow& row : rows)
            if (!row.Folded()) rows_.push_back(&row);
    }

    void Header() {
        Fixed(kStarLine);
        Fixed("'");
        Fixed(std::string(kBannerIndent) + "mdb File Record 定義");
        Fixed("'");
        Fixed(kStarLine);
        Fixed("Option Compare Text");
    }

    void Declarations() {
        if (o_.WorkspaceName.empty() && o_.DatabasePrefix.empty() && o_.RecordsetPrefix.empty())
            return;
        Fixed("'");
        Fixed("'   ＜宣言及び定義＞");
        Fixed("'");
        if (!o_.WorkspaceName.empty()) Fixed("Public " + o_.WorkspaceName + " As Workspace");
        if (!o_.DatabasePrefix.empty())
            Fixed("Public " + o_.DatabasePrefix + DatabaseBaseName(databasePath_) + " As Database");
        if (o_.RecordsetPrefix.empty()) return;
        const FieldRow* previous = nullptr;
        for (const FieldRow* row : rows_) {
            if (!previous || row->TableName != previous->TableName)
                OfTable(*row,
                        "Public " + o_.RecordsetPrefix + Pad(row->TableName) + " As Recordset");
            previous = row;
        }
        Fixed("");
    }

    void Records() {
        Fixed("'");
        Fixed("'  ＜レコード領域の定義＞");
        Fixed("'");
        const FieldRow* previous = nullptr;
        for (const FieldRow* row : rows_) {
            bool newTable = !previous || row->TableName != previous->TableName;
            if (previous && newTable) {
                EndType(*previous);
                Fixed("'");
            }
            if (newTable) {
                OfTable(*row, "'   " + row->TableName + "テーブルの定義");
                OfTable(*row, "Type " + Pad(row->TableName) + "_Type");
            }
            OfField(*row, "    " + MemberName(*row) + MemberClauseOf(row->TypeCode) +
                              MemberComment(*row));
            previous = row;
        }
        if (previous) EndType(*previous);
    }

    // The read routines ("GET") or the write routines ("PUT").
    void Routines(bool write) {
        const std::string& prefix = write ? o_.WritePrefix : o_.ReadPrefix;
        Fixed("");
        Fixed(kStarLine);
        Fixed(std::string(kBannerIndent) + (write ? "Write Module" : "Read Module"));
        Fixed(kStarLine);
        const FieldRow* previous = nullptr;
        for (const FieldRow* row : rows_) {
            bool newTable = !previous || row->TableName != previous->TableName;
            if (previous && newTable) {
                Fixed("End Sub");
                Fixed("");
            }
            if (newTable) {
                Fixed("'");
                OfTable(*row,
                        write ? "'   定義領域から" + row->TableName + "テーブルへの書込ルーチン"
                              : "'   " + row->TableName + "テーブルから定義領域への読込ルーチン");
                Fixed("'");
                OfTable(*row, "Public Sub " + prefix + Pad(row->TableName) + "(RS As Recordset)");
            }
            // An auto-number field (fixed size plus auto-increment) is numbered by the engine,
            // so the write routine leaves it alone.
            if (!(write && row->Attributes == "17"))
                OfField(*row, CallLine(*row, write ? "PUT" : "GET"));
            previous = row;
        }
        if (previous) {
            Fixed("End Sub");
            Fixed(write ? "'" : "");
        }
    }

    void Helpers() {
        std::string_view text = kHelperRoutines;
        size_t start = 0;
        for (;;) {
            size_t end = text.find('\n', start);
            Fixed(std::string(text.substr(start, end - start)));
            if (end == std::string_view::npos) break;
            start = end + 1;
        }
        Fixed("");
    }

    ModuleText Take() { return std::move(out_); }

  private:
    std::string Pad(const std::string& name) const { return PadBlanks(name, o_.Padding); }

    std::string MemberName(const FieldRow& row) const {
        if (!IsArrayHead(row)) return Pad(row.FieldName);
        return Pad(BaseFieldName(row)) + " (1 To " + row.RepeatNo + ")";
    }

    static std::string MemberComment(const FieldRow& row) {
        return row.Description.empty() ? std::string() : "     '" + CommentText(row.Description);
    }

    std::string CallLine(const FieldRow& row, const char* action) const {
        std::string record = o_.RecordPrefix + Pad(row.TableName) + ".";
        std::string tail = ", \"" + row.AZL + "\", \"" + row.NCK + "\")";
        if (!IsArrayHead(row)) {
            std::string field = Pad(row.FieldName);
            return std::string("    Call Normal_InOut (\"") + action + "\", RS, \"" + field +
                   "\", " + record + field + tail;
        }
        std::string base = Pad(BaseFieldName(row));
        return std::string("    Call Array_InOut (\"") + action + "\", RS, \"" + base + "\", " +
               record + base + ", " + std::to_string(ElementCount(row)) + tail;
    }

    void EndType(const FieldRow& last) {
        Fixed("End Type");
        OfTable(last, "Public " + o_.RecordPrefix + Pad(last.TableName) + " As " +
                          Pad(last.TableName) + "_Type");
    }

    void Fixed(std::string text) { out_.push_back({std::move(text), {}, {}}); }
    void OfTable(const FieldRow& row, std::string text) {
        out_.push_back({std::move(text), row.TableName, {}});
    }
    void OfField(const FieldRow& row, std::string text) {
        out_.push_back({std::move(text), row.TableName, row.FieldName});
    }

    std::vector<const FieldRow*> rows_;
    const std::string& databasePath_;
    const GeneratorOptions& o_;
    ModuleText out_;
};

GeneratorOptions Trimmed(const GeneratorOptions& options) {
    GeneratorOptions trimmed = options;
    for (std::string* item : trimmed.Items()) *item = TrimBlanks(*item);
    return trimmed;
}

} // namespace

std::string PadBlanks(std::string_view text, std::string_view padding) {
    std::string padded;
    padded.reserve(text.size());
    for (char c : text) {
        if (c == ' ')
            padded += padding;
        else
            padded += c;
    }
    return padded;
}

std::string DatabaseBaseName(std::string_view databasePath) {
    std::string path = TrimBlanks(databasePath);
    size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return name.substr(0, name.find('.'));
}

ModuleText BuildModuleText(const FieldTable& rows, const std::string& databasePath,
                           const GeneratorOptions& options, const StatusFn& status) {
    GeneratorOptions o = Trimmed(options);
    ModuleBuilder builder(rows, databasePath, o);
    if (status) status(kStatusTypes);
    builder.Header();
    builder.Declarations();
    builder.Records();
    if (!o.ReadPrefix.empty()) {
        if (status) status(kStatusRead);
        builder.Routines(false);
    }
    if (!o.WritePrefix.empty()) {
        if (status) status(kStatusWrite);
        builder.Routines(true);
    }
    if (!o.ReadPrefix.empty() || !o.WritePrefix.empty()) builder.Helpers();
    if (status) status(kStatusGenerated);
    return builder.Take();
}

} // namespace vespen
