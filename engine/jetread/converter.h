// The conversion itself: every user table of a Jet file (columns, indexes, "Description"
// properties and records) written into a new native database, in one transaction.
//
// The copy is written through the engine's own catalog code (Connection::CreateTable,
// CreateIndex and the value codec), so its catalog is exactly what the engine writes, but not
// through the public object model: that checks every value against today's rules (text length
// in code page 932 bytes against Jet 4 sizes counted in characters, Required, zero-length
// text), which genuine data written under other rules may break, and it normalises attributes
// Jet reports (fixed-length text, auto-number GUIDs); it is also several times slower.
#pragma once

#include <string>

namespace jetread {

// Throws a Failure (or an engine error) saying why the file cannot be converted.
void Convert(const std::string& input, const std::string& output);

} // namespace jetread
