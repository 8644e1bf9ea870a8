// Test doubles of the platform stand-ins.
#include "platform/scripted.h"

#include <algorithm>

namespace platform {
namespace {

// The answers a button set offers; the first one is what an unscripted message gets.
std::vector<int> AnswersOf(int style) {
    switch (style & 7) {
    case vbOKCancel:
        return {vbOK, vbCancel};
    case vbAbortRetryIgnore:
        return {vbAbort, vbRetry, vbIgnore};
    case vbYesNoCancel:
        return {vbYes, vbNo, vbCancel};
    case vbYesNo:
        return {vbYes, vbNo};
    case vbRetryCancel:
        return {vbRetry, vbCancel};
    default:
        return {vbOK};
    }
}

} // namespace

void ScriptedPrompts::Expect(const QString& text, int answer) {
    queue_.push_back({text, answer, {}});
}

void ScriptedPrompts::Expect(const QString& text, int answer, std::function<void()> whileShown) {
    queue_.push_back({text, answer, std::move(whileShown)});
}

void ScriptedPrompts::ExpectAny(int answer) {
    queue_.push_back({std::nullopt, answer, {}});
}

int ScriptedPrompts::MsgBox(const QString& text, int style, const QString& title) {
    const std::vector<int> offered = AnswersOf(style);
    int answer = offered.front();
    if (queue_.empty()) {
        unexpected_ << QStringLiteral("no answer scripted for: ") + text;
    } else {
        const Expectation expected = queue_.front();
        queue_.pop_front();
        if (expected.whileShown) expected.whileShown();
        if (expected.text && *expected.text != text) {
            unexpected_ << QStringLiteral("expected: ") + *expected.text +
                               QStringLiteral("\nshown: ") + text;
        } else if (std::find(offered.begin(), offered.end(), expected.answer) == offered.end()) {
            unexpected_ << QStringLiteral("answer %1 is not among the buttons (style %2) of: ")
                                   .arg(expected.answer)
                                   .arg(style) +
                               text;
        } else {
            answer = expected.answer;
        }
    }
    shown_.push_back({text, style, title, answer, QString()});
    return answer;
}

int ScriptedPrompts::MsgBoxDetails(const QString& text, const QString& details, int style,
                                   const QString& title) {
    const int answer = MsgBox(text, style, title);
    shown_.back().details = details;
    return answer;
}

void ScriptedPrompts::Clear() {
    queue_.clear();
    shown_.clear();
    unexpected_.clear();
}

std::optional<FileDialogAnswer> ScriptedFileDialogs::Show(const FileDialogRequest& request) {
    requests_.push_back(request);
    if (answers_.empty()) {
        ++unanswered_;
        return std::nullopt;
    }
    Reply reply = answers_.front();
    answers_.pop_front();
    if (!reply.chosen) return std::nullopt;
    return FileDialogAnswer{reply.path,
                            reply.filterIndex > 0 ? reply.filterIndex : request.filterIndex};
}

} // namespace platform
