// The scripted doubles: what they answer, what they record, and how Services takes them.
#include <gtest/gtest.h>

#include "test_support.h"

#include "platform/scripted.h"
#include "platform/services.h"

using namespace platform;

namespace {

TEST(ScriptedPrompts, AnswersMatchingMessagesInOrderAndRecordsThem) {
    ScriptedPrompts prompts;
    prompts.Expect("保存しますか。", vbNo);
    prompts.ExpectAny(vbCancel);
    EXPECT_EQ(prompts.MsgBox("保存しますか。", vbYesNoCancel, "T"), vbNo);
    EXPECT_EQ(prompts.MsgBox("何でも", vbOKCancel, "T"), vbCancel);
    ASSERT_EQ(prompts.Shown().size(), 2u);
    EXPECT_EQ(prompts.Shown()[0].text, "保存しますか。");
    EXPECT_EQ(prompts.Shown()[0].style, vbYesNoCancel);
    EXPECT_EQ(prompts.Shown()[0].answer, vbNo);
    EXPECT_EQ(prompts.Shown()[1].title, "T");
    EXPECT_TRUE(prompts.Unexpected().isEmpty());
    EXPECT_EQ(prompts.Pending(), 0);
}

TEST(ScriptedPrompts, UnscriptedOrMismatchedMessagesAreReportedAndGetTheFirstButton) {
    struct Case {
        bool queue;
        QString expected;
        int answer;
        int style;
        int given;
    };
    const Case cases[] = {
        {false, "", vbOK, vbYesNoCancel, vbYes},         // nothing queued
        {true, "別の文", vbNo, vbYesNo, vbYes},          // other text expected
        {true, "文", vbCancel, vbYesNo, vbYes},          // Cancel is not a Yes/No button
        {true, "文", vbOK, vbAbortRetryIgnore, vbAbort}, // OK is not among Abort/Retry/Ignore
        {true, "文", vbNo, vbRetryCancel, vbRetry},
    };
    for (const Case& c : cases) {
        ScriptedPrompts prompts;
        if (c.queue) prompts.Expect(c.expected, c.answer);
        EXPECT_EQ(prompts.MsgBox("文", c.style, "T"), c.given) << c.style;
        ASSERT_EQ(prompts.Unexpected().size(), 1) << c.style;
        EXPECT_TRUE(prompts.Unexpected()[0].contains("文"));
        EXPECT_EQ(prompts.Pending(), 0);
    }
}

TEST(ScriptedPrompts, ClearForgetsQueueAndHistory) {
    ScriptedPrompts prompts;
    prompts.Expect("a");
    prompts.MsgBox("b", vbOKOnly, "T");
    prompts.Expect("c");
    prompts.Clear();
    EXPECT_EQ(prompts.Pending(), 0);
    EXPECT_TRUE(prompts.Shown().empty());
    EXPECT_TRUE(prompts.Unexpected().isEmpty());
}

TEST(ScriptedFileDialogs, AnswersFromTheQueueAndCountsUnansweredRequests) {
    ScriptedFileDialogs dialogs;
    dialogs.Answer("/tmp/a.mdb");
    dialogs.Answer("/tmp/b.mdb", 3);
    dialogs.Cancel();
    FileDialogRequest request;
    request.title = "ファイルの指定";
    request.filterIndex = 2;
    const std::optional<FileDialogAnswer> first = dialogs.Show(request);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->path, "/tmp/a.mdb");
    EXPECT_EQ(first->filterIndex, 2); // the type the request shows first
    const std::optional<FileDialogAnswer> second = dialogs.Show(request);
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(second->filterIndex, 3); // the type the script chose
    EXPECT_FALSE(dialogs.Show(request).has_value());
    EXPECT_EQ(dialogs.Unanswered(), 0);
    EXPECT_FALSE(dialogs.Show(request).has_value());
    EXPECT_EQ(dialogs.Unanswered(), 1);
    ASSERT_EQ(dialogs.Requests().size(), 4u);
    EXPECT_EQ(dialogs.Requests()[2].title, "ファイルの指定");
}

TEST(Services, UseTheGivenDoublesAndTheRealStandInsForTheRest) {
    ScriptedPrompts prompts;
    ScriptedFileDialogs dialogs;
    RecordingShell shell;
    MemoryClipboard clipboard;
    Services scripted(
        {.prompts = &prompts, .fileDialogs = &dialogs, .clipboard = &clipboard, .shell = &shell});
    EXPECT_EQ(&scripted.Prompts(), &prompts);
    EXPECT_EQ(&scripted.FileDialogs(), &dialogs);
    EXPECT_EQ(&scripted.Shell(), &shell);
    EXPECT_EQ(&scripted.Clipboard(), &clipboard);
    EXPECT_NE(dynamic_cast<QtPrinter*>(&scripted.Printer()), nullptr);
    EXPECT_NE(dynamic_cast<LibArchiver*>(&scripted.Archiver()), nullptr);
    scripted.Shell().Open("/x/manual.html");
    scripted.Clipboard().SetText("abc");
    EXPECT_EQ(shell.opened, QStringList{"/x/manual.html"});
    EXPECT_EQ(clipboard.Text(), "abc");

    // Each Services has real stand-ins of its own.
    Services onlyPrompts({.prompts = &prompts});
    EXPECT_EQ(&onlyPrompts.Prompts(), &prompts);
    EXPECT_NE(dynamic_cast<QtFileDialogs*>(&onlyPrompts.FileDialogs()), nullptr);
    EXPECT_NE(dynamic_cast<DesktopShell*>(&onlyPrompts.Shell()), nullptr);
    EXPECT_NE(dynamic_cast<SystemClipboard*>(&onlyPrompts.Clipboard()), nullptr);
    EXPECT_NE(&onlyPrompts.Printer(), &scripted.Printer());
}

} // namespace
