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

#include "core/LayoutSearch.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QPushButton;
class QRadioButton;

namespace tavorin {

class frmTavorin;

class frmFieldEdit : public QWidget {
    Q_OBJECT
  public:
    enum Direction : int { kWhole = 0, kDown = 1, kUp = 2 };

    explicit frmFieldEdit(frmTavorin* owner);

    // The command that opens the window: mode 0 search, 1 replace; selected, the text offered
    // as the search text.
    void TakeCommand(int16_t mode, const std::string& selected);
    void Form_Load();
    // Shows the window for the search or replace command; a new run starts with its activation.
    void ShowForCommand();
    // The start of a run: at the row in edit (else the first row shown), no highlight, the
    // search box holding the search text (a type list holding no choice).
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

    // The search session: its texts and settings, and the run.
    LayoutSearch& Search() { return search_; }

    // ---- State of the run ----
    int16_t& CompareMode;   // the session's: 1 letter case ignored, 0 exact
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
    // The rule of leaving a text box: the search or replacement text takes its text, which
    // joins the history once.
    void LeaveTextBox(int index);
    void TakeBoxTexts();
    void SwitchToReplace();
    // The panel's settings into the session.
    void TakeSettings();
    void FindNext();
    void ReplaceOne();
    void ReplaceAll();
    // Hides the window after its clean-up, the focus going to the name cell of the last hit's
    // line. commit: what is typed in the main window is committed first, and a fault keeps the
    // window (false); else a box being typed in keeps the focus.
    bool LeaveWindow(bool commit);

    void ShowHit(const SearchHit& hit);
    void ClearHighlight();
    void EndOfRun();

    frmTavorin* owner_;
    bool loading_ = true;
    bool newRun_ = true; // the next activation starts a new run
    bool busy_ = false;  // an action of the window is running (its messages take the focus)
    bool unloaded_ = false;
    bool unloading_ = false;
    bool highlightTypes_ = false; // the highlight is a type box, not a name cell
    LayoutSearch search_;
};

} // namespace tavorin
