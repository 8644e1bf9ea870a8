// The pages of a table's layout as a ruled form.
#include "core/PrintModel.h"

#include <algorithm>
#include <string_view>

#include "core/TextRules.h"
#include "core/TypeVocabulary.h"
#include "engine/recordset.h"
#include "engine/text932.h"

namespace tavorin {

namespace {

using engine::Variant;

// ---- The grid of the form ----------------------------------------------------------------------

constexpr int kLineHeight = 240;
int TextTop(int line) {
    return kLineHeight * line;
}
int RuleAbove(int line) {
    return kLineHeight * line - 40;
}
int RuleBelow(int line) {
    return kLineHeight * line + 200;
}

constexpr int kThick = 5;
constexpr int kThin = 1;
constexpr int kUnderline = 3;

// The table of layout rows spans 648..11160, the boxes of the page header 1080..10872.
constexpr int kTableLeft = 648;
constexpr int kTableRight = 11160;
constexpr int kBoxLeft = 1080;
constexpr int kBoxRight = 10872;

// Text columns of the table and the rules between them.
constexpr int kNumberX = 720;
constexpr int kNameX = 1152;
constexpr int kTypeX = 3456;
constexpr int kSizeX = 4320;
constexpr int kRepeatX = 4752;
constexpr std::array<int, 6> kKeyX = {5184, 5616, 6048, 6480, 6912, 7344};
constexpr int kDescriptionX = 7776;
constexpr std::array<int, 3> kThickSides = {648, 11160, 1080};
constexpr std::array<int, 10> kThinSides = {3384, 4248, 4680, 5112, 5544,
                                            5976, 6408, 6840, 7272, 7704};

// File box: three columns with separators at 3960 and 6840.
constexpr int kTableNameX = 4032;
constexpr int kRemarkX = 6912;
constexpr std::array<int, 2> kFileBoxSeparators = {3960, 6840};

// Wrap widths in code page 932 bytes: the column's width in units of 144 twips × 1.6, less 1.
constexpr int16_t kNameWidth = 24;
constexpr int16_t kDescriptionWidth = 37;
constexpr int16_t kFileWidth = 31;
constexpr int16_t kRemarkWidth = 43;

// A page is full once the last line printed on it passes line 60.
constexpr int kFullAfterLine = 60;

const char* const kHostFont = "ＭＳ ゴシック";
constexpr double kFontSize = 9;

const char* const kKeyColumns[6] = {"FLD06", "FLD07", "FLD08", "FLD09", "FLD10", "FLD11"};

// count characters of text from the 1-based character start on.
std::string Mid(std::string_view text, size_t start, size_t count) {
    std::string out;
    size_t pos = 0;
    for (size_t index = 1; pos < text.size() && count > 0; ++index) {
        const size_t begin = pos;
        engine::cp932::NextCodePoint(text, pos);
        if (index < start) continue;
        out.append(text.substr(begin, pos - begin));
        --count;
    }
    return out;
}

// The type column: the stored name without its "db" prefix, or the auto-number's own text.
std::string TypeText(const std::string& stored) {
    if (SameText(stored, kAutoNumberType)) return "ｵｰﾄﾅﾝﾊﾞ-";
    return Mid(stored, 3, 11);
}

std::string DuplicatesText(const std::string& indexName, int16_t duplicates) {
    if (duplicates == 1) return "重複あり";
    if ((duplicates == 0 || duplicates == -1) && !indexName.empty()) return "重複なし";
    return {};
}

// One table's form: the page header and the pieces of the table, drawn onto the page being
// laid out.
class LayoutForm {
  public:
    LayoutForm(const LayoutPrintHeader& header, double date, int16_t& pageNo)
        : header_(header), date_(date), pageNo_(pageNo) {
        int16_t last[3] = {};
        WrapText(header.fileName + ".MDB", kFileWidth, file_, last[0]);
        WrapText(header.tableName, kFileWidth, table_, last[1]);
        WrapText(header.tableRemark, kRemarkWidth, remark_, last[2]);
        boxLines_ = *std::max_element(std::begin(last), std::end(last)) + 1;
    }

    // Begins a new page with its header and returns the page's first detail line.
    int PageHeader() {
        ++pageNo_;
        pages_.push_back(PrintedPage{pageNo_, {}});
        DateLine();
        FileBox();
        int headings = boxLines_ + 5;
        if (firstPage_) {
            KeyBox(boxLines_ + 5);
            headings = boxLines_ + 9;
            firstPage_ = false;
        }
        ColumnHeadings(headings);
        return headings + 1;
    }

    // The first line of a layout row: its rule, number, type, size, repeat count and keys.
    void FirstLineOfRow(int line, bool firstOnPage, int32_t number, const PrintRow& row,
                        const std::string& name, const std::string& description) {
        Rule(kTableLeft, kTableRight, RuleAbove(line), firstOnPage ? kThick : kThin);
        LineSides(line);
        Text(kNumberX, line, FixWidth(Variant::Long(number), "##0"));
        Text(kNameX, line, name);
        Text(kTypeX, line, TypeText(row.typeName));
        Text(kSizeX, line, FixWidth(row.size, "###"));
        if (!row.repeat.empty()) Text(kRepeatX, line, FixWidth(Variant(row.repeat), "##0"));
        for (size_t k = 0; k < kKeyX.size(); ++k) Text(kKeyX[k], line, row.keys[k]);
        Text(kDescriptionX, line, description);
    }

    // A further line of a row: only the wrapped name and description go on.
    void NextLineOfRow(int line, const std::string& name, const std::string& description) {
        LineSides(line);
        Text(kNameX, line, name);
        Text(kDescriptionX, line, description);
    }

    // The thick rule that closes the table under its last printed line.
    void ClosingRule(int lastLine) { Rule(kTableLeft, kTableRight, RuleBelow(lastLine), kThick); }

    std::vector<PrintedPage> TakePages() { return std::move(pages_); }

  private:
    std::vector<PrintItem>& Items() { return pages_.back().items; }
    void Text(int x, int line, const std::string& text) {
        if (text.empty()) return;
        PrintItem item;
        item.kind = PrintItem::kText;
        item.x = x;
        item.y = TextTop(line);
        item.text = text;
        item.fontName = kHostFont;
        item.fontSize = kFontSize;
        Items().push_back(std::move(item));
    }
    void Line(int x1, int y1, int x2, int y2, int width) {
        PrintItem item;
        item.kind = PrintItem::kLine;
        item.x = x1;
        item.y = y1;
        item.x2 = x2;
        item.y2 = y2;
        item.width = width;
        Items().push_back(std::move(item));
    }
    void Rule(int x1, int x2, int y, int width) { Line(x1, y, x2, y, width); }
    // A vertical rule at x from top to bottom.
    void Side(int x, int top, int bottom, int width) { Line(x, top, x, bottom, width); }
    void LineSides(int line) {
        for (int x : kThickSides) Side(x, RuleAbove(line), RuleBelow(line), kThick);
        for (int x : kThinSides) Side(x, RuleAbove(line), RuleBelow(line), kThin);
    }

    void DateLine() {
        Text(8496, 1, engine::Format(Variant::Date(date_), "LONG DATE") + "作成 (Page");
        Text(10656, 1, FixWidth(Variant::Integer(pageNo_), "##0") + ")");
        Line(8496, 440, kTableRight, 440, kUnderline);
    }

    // The box of file name, table name and remark: a heading line 3, then the wrapped texts on
    // lines 4 .. 3 + boxLines_.
    void FileBox() {
        Rule(kBoxLeft, kBoxRight, RuleAbove(3), kThick);
        FileBoxSides(3);
        Text(kNameX, 3, "ファイル名称");
        Text(kTableNameX, 3, "テーブル名称");
        Text(kRemarkX, 3, "備　　　　考");
        Rule(kBoxLeft, kBoxRight, RuleAbove(4), kThin);
        for (int k = 0; k < boxLines_; ++k) {
            const int line = 4 + k;
            const size_t i = static_cast<size_t>(k);
            Text(kNameX, line, file_[i]);
            Text(kTableNameX, line, table_[i]);
            Text(kRemarkX, line, remark_[i]);
            FileBoxSides(line);
        }
        Rule(kBoxLeft, kBoxRight, RuleAbove(4 + boxLines_), kThick);
    }
    void FileBoxSides(int line) {
        Side(kBoxLeft, RuleAbove(line), RuleBelow(line), kThick);
        Side(kBoxRight, RuleAbove(line), RuleBelow(line), kThick);
        for (int x : kFileBoxSeparators) Side(x, RuleAbove(line), RuleBelow(line), kThin);
    }

    // The six indexes on lines top .. top + 2: primary key and sub keys 1, 2 on the left, sub
    // keys 3 to 5 on the right.
    void KeyBox(int top) {
        struct Box {
            int left, right, labelX, nameX, dupX, thickX, thinX;
        };
        static constexpr Box kBoxes[2] = {{1080, 5688, 1152, 2016, 4896, 1944, 4824},
                                          {6264, 10872, 6336, 7200, 10080, 7128, 10008}};
        static const char* const kLabels[6] = {"主キー",   "副キー１", "副キー２",
                                               "副キー３", "副キー４", "副キー５"};
        const int yTop = RuleAbove(top), yBottom = RuleAbove(top + 3);
        for (int b = 0; b < 2; ++b) {
            const Box& box = kBoxes[b];
            Rule(box.left, box.right, yTop, kThick);
            Rule(box.left, box.right, RuleAbove(top + 1), kThin);
            Rule(box.left, box.right, RuleAbove(top + 2), kThin);
            Rule(box.left, box.right, yBottom, kThick);
            Side(box.left, yTop, yBottom, kThick);
            Side(box.right, yTop, yBottom, kThick);
            Side(box.thickX, yTop, yBottom, kThick);
            Side(box.thinX, yTop, yBottom, kThin);
            for (int r = 0; r < 3; ++r) {
                const size_t slot = static_cast<size_t>(3 * b + r);
                Text(box.labelX, top + r, kLabels[slot]);
                Text(box.nameX, top + r, header_.indexNames[slot]);
                Text(box.dupX, top + r,
                     DuplicatesText(header_.indexNames[slot], header_.duplicates[slot]));
            }
        }
    }

    void ColumnHeadings(int line) {
        static const char* const kHeadings[12] = {"No.", "フィールド名", "ﾃﾞｰﾀ種別", "ｻｲｽﾞ",
                                                  " 繰", "主ｷｰ",         "副1",      "副2",
                                                  "副3", "副4",          "副5",      "備     考"};
        const int x[12] = {kNumberX, kNameX,   kTypeX,   kSizeX,   kRepeatX, kKeyX[0],
                           kKeyX[1], kKeyX[2], kKeyX[3], kKeyX[4], kKeyX[5], kDescriptionX};
        Rule(kTableLeft, kTableRight, RuleAbove(line), kThick);
        LineSides(line);
        for (int i = 0; i < 12; ++i) Text(x[i], line, kHeadings[i]);
    }

    const LayoutPrintHeader& header_;
    double date_;
    int16_t& pageNo_;
    std::vector<PrintedPage> pages_;
    WrappedLines file_, table_, remark_;
    int boxLines_ = 1;
    bool firstPage_ = true;
};

} // namespace

std::vector<PrintRow> ReadPrintRows(engine::Recordset& rows) {
    std::vector<PrintRow> out;
    rows.Requery();
    for (; !rows.Eof(); rows.MoveNext()) {
        PrintRow row;
        row.name = engine::TextOf(rows.Value("FLD02"));
        row.typeName = engine::TextOf(rows.Value("FLD03"));
        row.size = rows.Value("FLD04");
        row.repeat = engine::TextOf(rows.Value("FLD05"));
        for (size_t k = 0; k < row.keys.size(); ++k)
            row.keys[k] = engine::TextOf(rows.Value(kKeyColumns[k]));
        row.description = engine::TextOf(rows.Value("FLD12"));
        out.push_back(std::move(row));
    }
    return out;
}

std::vector<PrintedPage> PrintRun::LayOut(const LayoutPrintHeader& header,
                                          const std::vector<PrintRow>& rows) {
    LayoutForm form(header, date_, pageNo_);
    if (rows.empty()) {
        const int firstDetail = form.PageHeader();
        form.ClosingRule(firstDetail - 1);
        return form.TakePages();
    }

    int32_t rowNumber = 0;
    int firstDetail = 0; // first detail line of the current page
    int printed = 0;     // detail lines on the current page
    int lastLine = 0;
    for (const PrintRow& row : rows) {
        WrappedLines names, descriptions;
        int16_t lastName = 0, lastDescription = 0;
        WrapText(row.name, kNameWidth, names, lastName);
        WrapText(row.description, kDescriptionWidth, descriptions, lastDescription);
        const int lines = std::max(lastName, lastDescription) + 1;
        for (int i = 0; i < lines; ++i) {
            if (printed == 0) firstDetail = form.PageHeader();
            const int line = firstDetail + printed;
            const size_t at = static_cast<size_t>(i);
            if (i == 0)
                form.FirstLineOfRow(line, printed == 0, ++rowNumber, row, names[0],
                                    descriptions[0]);
            else
                form.NextLineOfRow(line, names[at], descriptions[at]);
            ++printed;
            lastLine = line;
            if (line > kFullAfterLine) {
                form.ClosingRule(line);
                printed = 0;
            }
        }
    }
    // A page that has just been closed is not closed again: no rule on an empty page.
    if (printed > 0) form.ClosingRule(lastLine);
    return form.TakePages();
}

} // namespace tavorin
