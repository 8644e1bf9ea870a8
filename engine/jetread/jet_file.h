// Opening a genuine Jet file for the reader: its header checked, libmdb's handle, the decoder
// of its text and the source of its raw pages.
#pragma once

// glib must come first: mdbtools.h includes it inside extern "C", where its C++ parts break.
#include <glib.h>
#include <mdbtools.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "jet/jet_format.h"

namespace jetread {

namespace jet = engine::detail::jet;

// A reason the file cannot be read, in the words the engine shows (the last line of stderr).
class Failure : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

std::string Quoted(const std::string& s);

struct MdbCloser {
    void operator()(MdbHandle* h) const { mdb_close(h); }
};
struct TableFreer {
    void operator()(MdbTableDef* t) const { mdb_free_tabledef(t); }
};
using MdbPtr = std::unique_ptr<MdbHandle, MdbCloser>;
using TablePtr = std::unique_ptr<MdbTableDef, TableFreer>;

// Names, property texts and values all arrive as stored bytes and are decoded here.
class Text {
  public:
    Text(jet::Version v, const std::string& codePage);
    std::optional<std::string> Decode(std::string_view raw);
    // Strings libmdb has already passed through its conversion: raw bytes for Jet 3 (see
    // SetRawConversion), UTF-8 for Jet 4.
    std::optional<std::string> FromLibrary(const char* s);
    const std::string& CodePage() const { return decoder_.Name(); }

  private:
    jet::Version version_;
    jet::CodePageDecoder decoder_;
};

// An open Jet file. Its page source reads through its libmdb handle, so it stays where it is.
struct JetFile {
    JetFile() = default;
    JetFile(const JetFile&) = delete;
    JetFile& operator=(const JetFile&) = delete;

    std::string path;
    uint64_t fileSize = 0;
    jet::Version version = jet::Version::Jet4;
    MdbPtr mdb;
    std::unique_ptr<Text> text;
    jet::PageSource pages;

    // The locale string of the file's language and code page (Japanese, 932, when it has none).
    std::string Locale() const;
    // raw decoded with the file's code page; a Failure naming table and what otherwise.
    std::string Decode(std::string_view raw, const std::string& table,
                       const std::string& what) const;
};

// Opens the file at path, a Jet 3 or Jet 4 database by its header; a Failure saying why not.
std::unique_ptr<JetFile> OpenJetFile(const std::string& path);

} // namespace jetread
