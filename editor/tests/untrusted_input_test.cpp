// The designer against untrusted input: a failure of the C++ library reaches the user as the
// engine's message, not as the library's text. (That the SQL functions of its save and import
// run only in its own statements is the engine's test of the carry functions.)
#include <gtest/gtest.h>

#include <new>

#include "modules/TavorinSub.h"
#include "platform/scripted.h"

namespace {

TEST(UnexpectedErrors, AFailedAllocationShowsTheEnginesOutOfMemoryMessage) {
    platform::ScriptedPrompts prompts;
    platform::Services services({.prompts = &prompts});
    prompts.Expect(QStringLiteral("Error; 7\rメモリが不足しています。"));
    tavorin::Guarded(services, [] { throw std::bad_alloc(); });
    EXPECT_TRUE(prompts.Unexpected().isEmpty()) << prompts.Unexpected().join("|").toStdString();
    EXPECT_EQ(prompts.Pending(), 0);
}

} // namespace
