// Test doubles of the platform stand-ins. Each records what the program asked for and answers
// from a script; a test hands them to the Services (services.h) it builds for the windows.
#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "platform/clipboard.h"
#include "platform/common_dialog.h"
#include "platform/prompts.h"
#include "platform/services.h"
#include "platform/shell.h"

namespace platform {

struct ShownMessage {
    QString text;
    int style;
    QString title;
    int answer;
    QString details; // given with MsgBoxDetails
};

// Answers message boxes from a queue. A message with no queued answer, or whose text does not
// match the queued expectation, is recorded as unexpected (and answered with the first button)
// so that a test can fail with the whole story: check Unexpected() at the end.
class ScriptedPrompts : public Prompts {
  public:
    // Expects a message whose text equals text exactly, answered with answer.
    void Expect(const QString& text, int answer = vbOK);
    // The same, running whileShown as the message is shown (to look at the windows behind it).
    void Expect(const QString& text, int answer, std::function<void()> whileShown);
    // Expects any message, answered with answer.
    void ExpectAny(int answer = vbOK);
    int MsgBox(const QString& text, int style, const QString& title) override;
    int MsgBoxDetails(const QString& text, const QString& details, int style,
                      const QString& title) override;

    const std::vector<ShownMessage>& Shown() const { return shown_; }
    const QStringList& Unexpected() const { return unexpected_; }
    // Expectations not yet met.
    int Pending() const { return static_cast<int>(queue_.size()); }
    void Clear();

  private:
    struct Expectation {
        std::optional<QString> text;
        int answer;
        std::function<void()> whileShown;
    };
    std::deque<Expectation> queue_;
    std::vector<ShownMessage> shown_;
    QStringList unexpected_;
};

// Answers file dialogs from a queue: a path, or nullopt for Cancel. Records every request.
class ScriptedFileDialogs : public FileDialogs {
  public:
    // filterIndex 0 answers with the filter the request shows first.
    void Answer(const QString& path, int filterIndex = 0) {
        answers_.push_back({true, path, filterIndex});
    }
    void Cancel() { answers_.push_back({false, QString(), 0}); }
    std::optional<FileDialogAnswer> Show(const FileDialogRequest& request) override;
    const std::vector<FileDialogRequest>& Requests() const { return requests_; }
    int Pending() const { return static_cast<int>(answers_.size()); }
    // Requests that found no queued answer (answered with Cancel).
    int Unanswered() const { return unanswered_; }

  private:
    struct Reply {
        bool chosen;
        QString path;
        int filterIndex;
    };
    std::deque<Reply> answers_;
    std::vector<FileDialogRequest> requests_;
    int unanswered_ = 0;
};

class RecordingShell : public Shell {
  public:
    bool Open(const QString& path) override {
        opened.push_back(path);
        return answer;
    }
    QStringList opened;
    bool answer = true;
};

class MemoryClipboard : public Clipboard {
  public:
    void SetText(const QString& text) override { text_ = text; }
    QString Text() const override { return text_; }
    void Clear() override { text_.clear(); }

  private:
    QString text_;
};

// Puts doubles into services for the life of the object and restores the stand-ins they
// replaced.
class ScopedStandIns {
  public:
    ScopedStandIns(Services& services, const StandIns& doubles)
        : services_(services), replaced_(services.Replace(doubles)) {}
    ~ScopedStandIns() { services_.Replace(replaced_); }
    ScopedStandIns(const ScopedStandIns&) = delete;
    ScopedStandIns& operator=(const ScopedStandIns&) = delete;

  private:
    Services& services_;
    StandIns replaced_;
};

} // namespace platform
