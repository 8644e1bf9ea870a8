#include "engine/testing/jet_copies.h"

#include "jet/jet_reader.h"

namespace engine {

void ForgetJetCopies() {
    detail::ForgetJetCopies();
}

} // namespace engine
