// Writing a database as a genuine Jet 3 file (2048-byte pages, text in code page 932), the format
// DAO 3.5 programs open.
//
// WriteJet3 writes every user table of source (definition, records, indexes, the next auto
// number) with the system tables the Jet engine itself keeps, as WriteJet4 does: to a temporary
// file beside path that is renamed onto path only when complete. A failure (a value or a table
// the format cannot hold, a character code page 932 lacks, a full disk) throws engine::Error
// naming the table and field, and leaves no file behind and an existing file at path untouched.
// engine/doc/jet3-writer.md says what is written and what is not yet.
#pragma once

#include <string>

namespace engine {

class Database;

void WriteJet3(Database& source, const std::string& path);

} // namespace engine
