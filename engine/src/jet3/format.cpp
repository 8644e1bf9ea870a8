#include "jet3/format.h"

#include "jet3/definition.h"
#include "jet3/general97.h"
#include "jet3/header.h"
#include "jet3/rows.h"
#include "jet3/text.h"

namespace engine::detail::jet3 {

const jet4::Format kJet3Format = {
    "Jet 3", 0x00, 2048, 1ull * 1024 * 1024 * 1024,
    8, 10, 2012, 2036, 1,
    133,
    8, 0x16, 0xF8,
    "VC", "KKD\0",
    AppendCp932, AppendVarTable, Definition, AppendTextKey,
    HeaderPage, GlobalMapPage,
};

} // namespace engine::detail::jet3
