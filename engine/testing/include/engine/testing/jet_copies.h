// The native copies the engine keeps of the genuine Jet files it opened, for tests and
// benchmarks that must convert a file again (target engine_test_support).
#pragma once

namespace engine {

// Forgets every cached copy, so that the next open of a Jet file converts it again.
void ForgetJetCopies();

} // namespace engine
