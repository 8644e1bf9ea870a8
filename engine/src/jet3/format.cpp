#include "jet3/format.h"

#include "jet3/definition.h"
#include "jet3/general97.h"
#include "jet3/header.h"
#include "jet3/rows.h"
#include "jet3/text.h"
#include "jet4/bytes.h"

namespace engine::detail::jet3 {

const jet4::Format kJet3Format = {
    "Jet 3",
    0x00,
    2048,
    1ull * 1024 * 1024 * 1024,
    8,
    10,
    2012,
    2036,
    1,
    133,
    8,
    0x16,
    0xF8,
    "VC",
    "KKD\0",
    AppendCp932,
    AppendVarTable,
    Definition,
    AppendTextKey,
    HeaderPage,
    GlobalMapPage,
};

namespace {

// The writer's definition with each column descriptor carrying code page 1252 and the General
// sort order, as the descriptors of such a file do.
std::string WesternDefinition(const jet4::Table& table, const jet4::DefinitionParts& parts) {
    std::string d = Definition(table, parts);
    const size_t columns = jet4::Get16(d, 25), real = jet4::Get32(d, 31);
    for (size_t i = 0; i < columns; ++i) {
        const size_t at = 43 + 8 * real + 18 * i;
        jet4::Put16(d, at + 9, 0x0409);
        jet4::Put16(d, at + 11, 1252);
    }
    return d;
}

// Keys of code page 1252 text: its bytes in the General 97 order.
void Cp1252TextKey(std::string_view utf8, bool ascending, std::string& out) {
    std::string bytes;
    AppendCp1252(utf8, "インデックスのキー", bytes);
    AppendGeneral97Key(bytes, ascending, out);
}

// Jet 3 in code page 1252: the same layout, with the text, the descriptors and the keys of that
// code page.
jet4::Format WesternFormat() {
    jet4::Format f = kJet3Format;
    f.appendText = AppendCp1252;
    f.definition = WesternDefinition;
    f.appendTextKey = Cp1252TextKey;
    return f;
}

const jet4::Format kJet3WesternFormat = WesternFormat();

} // namespace

const jet4::Format* Jet3FormatFor(int codePage) {
    if (codePage == kCodePage) return &kJet3Format;
    if (codePage == 1252) return &kJet3WesternFormat;
    return nullptr;
}

} // namespace engine::detail::jet3
