#include "engine/testing/jet_copies.h"

#include "jet_reader.h"

namespace engine {

void ForgetJetCopies() { detail::ForgetJetCopies(); }

} // namespace engine
