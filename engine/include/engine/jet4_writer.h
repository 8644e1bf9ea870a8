// Writing a database as a genuine Jet 4 file (4096-byte pages, the General sort order).
//
// WriteJet4 writes every user table of source (definition, records, indexes, the next auto
// number) with the system tables the Jet engine itself keeps, to a temporary file beside path
// that is renamed onto path only when it is complete: a failure (a value or a table the format
// cannot hold, a full disk) throws engine::Error and leaves no file behind, and an existing file
// at path untouched. Text is indexed in the General order whatever the source's sort order.
// engine/doc/jet4-writer.md says what is written and what is not yet.
#pragma once

#include <string>

namespace engine {

class Database;

void WriteJet4(Database& source, const std::string& path);

} // namespace engine
