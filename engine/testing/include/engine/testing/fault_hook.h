// Failure injection for tests: a hook that sees every statement the engine is about to write
// to a file and may make it fail. Only test programs link this (target engine_test_support);
// the programs themselves cannot set it.
#pragma once

#include <functional>
#include <string_view>

namespace engine {

// Called before each write statement (insert, update, delete, schema change, commit) with its
// SQL text. Returning true makes the statement fail with a disk error (3043).
using WriteFaultHook = std::function<bool(std::string_view sql)>;
void SetWriteFaultHook(WriteFaultHook hook);

} // namespace engine
