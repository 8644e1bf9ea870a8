// The scripted doubles: what they answer, what they record, and how ScopedScript installs them.
#include <gtest/gtest.h>

#include "test_support.h"

#include "platform/scripted.h"

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

TEST(ScopedScript, InstallsTheGivenDoublesAndRestoresThePreviousOnes) {
    Prompts& realPrompts = CurrentPrompts();
    FileDialogs& realDialogs = CurrentFileDialogs();
    Shell& realShell = CurrentShell();
    Clipboard& realClipboard = CurrentClipboard();

    ScriptedPrompts outerPrompts, innerPrompts;
    ScriptedFileDialogs dialogs;
    RecordingShell shell;
    MemoryClipboard clipboard;
    {
        ScopedScript outer(&outerPrompts, &dialogs, &shell, &clipboard);
        EXPECT_EQ(&CurrentPrompts(), &outerPrompts);
        EXPECT_EQ(&CurrentFileDialogs(), &dialogs);
        EXPECT_EQ(&CurrentShell(), &shell);
        EXPECT_EQ(&CurrentClipboard(), &clipboard);
        {
            ScopedScript inner(&innerPrompts); // leaves the other three alone
            EXPECT_EQ(&CurrentPrompts(), &innerPrompts);
            EXPECT_EQ(&CurrentShell(), &shell);
        }
        EXPECT_EQ(&CurrentPrompts(), &outerPrompts);
        CurrentShell().Open("/x/manual.html");
        CurrentClipboard().SetText("abc");
        EXPECT_EQ(shell.opened, QStringList{"/x/manual.html"});
        EXPECT_EQ(clipboard.Text(), "abc");
    }
    EXPECT_EQ(&CurrentPrompts(), &realPrompts);
    EXPECT_EQ(&CurrentFileDialogs(), &realDialogs);
    EXPECT_EQ(&CurrentShell(), &realShell);
    EXPECT_EQ(&CurrentClipboard(), &realClipboard);
}

} // namespace
