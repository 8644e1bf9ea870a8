// The desktop shell and the system clipboard.
#include <gtest/gtest.h>

#include "test_support.h"

#include "platform/clipboard.h"
#include "platform/shell.h"

using namespace platform;

namespace {

TEST(DesktopShell, AMissingFileIsReportedAsNotOpened) {
    DesktopShell shell;
    EXPECT_FALSE(shell.Open("/nonexistent/Help/manual.html"));
}

TEST(SystemClipboard, KeepsTextUntilCleared) {
    SystemClipboard clipboard;
    clipboard.SetText("フィールド名\tdbText");
    EXPECT_EQ(clipboard.Text(), "フィールド名\tdbText");
    clipboard.Clear();
    EXPECT_EQ(clipboard.Text(), "");
}

} // namespace
