// frmFieldEdit: the search window ("検索"). It finds rows of the layout under edit by field name
// or by data type, shows each hit in the main window's grid (the matched characters selected in
// the field-name cell, or the type box coloured), and replaces the matched part of a name, or the
// whole type, one row at a time or in all rows.
//
// It stays open beside the main window. A run starts when the window is activated (by the search
// or replace command, or when the user comes back to it from elsewhere) or when a search condition
// changes, at the row in edit; it ends when the walk in the chosen direction reaches its end.
// Replacements are written into WKTBL at once and mark the layout as changed; replacing in all
// rows runs inside one workspace transaction that the end question keeps or undoes, and a
// replacement that fails part-way leaves the layout as it was.
//
// Every action first commits what is being typed in the main window, as the main window's own
// commands do; a cell fault stops it.
#pragma once

#include <QWidget>
#include <array>
#include <cstdint>
#include <string>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QPushButton;
class QRadioButton;

namespace engine {
class Recordset;
}

namespace tavorin {

class frmTavorin;

// ---- State shared with the main window ----
extern int16_t SearchMode;      // 0 search, 1 replace: the command that opened the window
extern std::string SearchText;  // text or type name searched for
extern std::string ReplaceText; // replacement text or type name
extern int16_t SearchWindowNew; // -1 until the window has been loaded, then 0

class frmFieldEdit : public QWidget {
    Q_OBJECT
  public:
    enum Direction : int { kWhole = 0, kDown = 1, kUp = 2 };

    explicit frmFieldEdit(frmTavorin* owner);
    ~frmFieldEdit() override;

    void Form_Load();
    // Shows the window for the search or replace command; a new run starts with its activation.
    void ShowForCommand();
    // The start of a run: at the row in edit (else the first row shown), no highlight, the
    // search box holding SearchText (a type list holding no choice).
    void Form_Activate();
    void ShowSearchPanel();
    void UpdateSearchButtons();
    void ResetSearchStart();
    void Option1_Click();
    // Buttons by index: 0, 3, 7, 10 "次を検索"; 1, 4, 8, 11 "キャンセル"; 2, 9 "置換" (to the
    // replace panel); 5, 12 "置換"; 6, 13 "すべて置換".
    void Command1_Click(int index);
    // Closes the window as the program ends.
    void Unload();
    // True once the window has been closed from its close box (it is being unloaded).
    bool Unloaded() const { return unloaded_; }

    // The visible panel: 0 search names, 1 replace names, 2 search types, 3 replace types.
    int Panel() const;
    QComboBox* SearchBox() const;

    // ---- Controls ----
    QGroupBox* Frame1 = nullptr;
    std::array<QRadioButton*, 2> Option1{}; // 0 field names, 1 data types
    QCheckBox* Check1 = nullptr;            // letter case counts
    std::array<QGroupBox*, 4> Frame2{};
    // 0, 1 search text (with history), 2 replacement text (with history), 3, 4 search type, 5
    // replacement type.
    std::array<QComboBox*, 6> Combo2{};
    std::array<QComboBox*, 4> Combo1{}; // direction of each panel
    std::array<QPushButton*, 14> Command1{};

    // ---- State of the run ----
    int16_t CompareMode = 1; // 1 letter case ignored, 0 exact
    int32_t HitCount = 0;
    int32_t StartRow = 0;
    bool Wrapped = false;
    int HighlightLine = -1; // grid line shown as the hit, -1 none
    int HitLine = 0;        // grid line of the last hit

  protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QGroupBox* BuildPanel(int panel);
    void ConnectControls();
    bool TypeSearch() const;
    // The rule of leaving a text box: SearchText or ReplaceText takes its text, which joins the
    // history once.
    void LeaveTextBox(int index);
    void TakeBoxTexts();
    void SwitchToReplace();
    void FindNext();
    void ReplaceOne();
    void ReplaceAll();
    // Hides the window after its clean-up, the focus going to the name cell of the last hit's
    // line. commit: what is typed in the main window is committed first, and a fault keeps the
    // window (false); else a box being typed in keeps the focus.
    bool LeaveWindow(bool commit);

    // The walk: from the current row in the panel's direction to the next row that matches.
    // False at the end of the walk, the current row then being where it ended.
    bool WalkOn(engine::Recordset& rs, int32_t& hitRow, int& hitPos);
    int MatchPosition(const engine::Recordset& rs) const;
    // Positions rs on the current row when it exists and matches; its match position, else 0.
    int CurrentRowMatch(engine::Recordset& rs);
    // Replaces the match at pos in the current record of rs; the cell rule's message when the
    // result would be refused (nothing written then), else empty.
    std::string ReplaceCurrentRow(engine::Recordset& rs, int pos);
    void ShowHit(int32_t row, int pos);
    void ClearHighlight();
    void EndOfRun();

    frmTavorin* owner_;
    bool loading_ = true;
    bool newRun_ = true;  // the next activation starts a new run
    bool busy_ = false;   // an action of the window is running (its messages take the focus)
    bool unloaded_ = false;
    bool unloading_ = false;
    bool highlightTypes_ = false; // the highlight is a type box, not a name cell
    // The current row: a row number, or one of the ends (before the first, after the last row);
    // afterHit_ when the walk goes on with the next row.
    int32_t position_ = 0;
    bool afterHit_ = false;
};

} // namespace tavorin
