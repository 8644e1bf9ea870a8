// Prompts: the message boxes of the programs, with the host's button sets and answer codes.
//
// Windows never call QMessageBox themselves: they call the MsgBox of the run's Services
// (services.h), which goes to its Prompts (QtPrompts in the programs, ScriptedPrompts in tests).
#pragma once

#include <QString>

namespace platform {

// Button sets and flags of the host's MsgBox (added together).
enum MsgBoxStyle : int {
    vbOKOnly = 0,
    vbOKCancel = 1,
    vbAbortRetryIgnore = 2,
    vbYesNoCancel = 3,
    vbYesNo = 4,
    vbRetryCancel = 5,
    vbCritical = 16,
    vbQuestion = 32,
    vbExclamation = 48,
    vbInformation = 64,
    vbDefaultButton2 = 256,
    vbDefaultButton3 = 512,
};

// Answers.
enum MsgBoxResult : int {
    vbOK = 1,
    vbCancel = 2,
    vbAbort = 3,
    vbRetry = 4,
    vbIgnore = 5,
    vbYes = 6,
    vbNo = 7
};

class Prompts {
  public:
    virtual ~Prompts() = default;
    // Shows text with the button set of style; returns the answer. Closing the box answers
    // Cancel where the set has one, else OK (or No for Yes/No).
    virtual int MsgBox(const QString& text, int style, const QString& title) = 0;
    // The same with details behind the box's details button: the system's own words for a
    // failure, which the text itself leaves out. Prompts without details show the text alone.
    virtual int MsgBoxDetails(const QString& text, const QString& details, int style,
                              const QString& title) {
        (void)details;
        return MsgBox(text, style, title);
    }
};

// The real message box: Japanese button captions "OK", "キャンセル", "はい(&Y)", "いいえ(&N)",
// "中止(&A)", "再試行(&R)", "無視(&I)"; the first button is the default unless the style says
// otherwise.
class QtPrompts : public Prompts {
  public:
    int MsgBox(const QString& text, int style, const QString& title) override;
    int MsgBoxDetails(const QString& text, const QString& details, int style,
                      const QString& title) override;
};

} // namespace platform
