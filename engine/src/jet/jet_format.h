// The parts of the Jet (.mdb) file format the reader decodes itself, without libmdb: the file
// header, table definitions (columns and indexes), long values (memo and OLE) and the value
// encodings of a row. Everything here works on bytes handed in by the caller and checks every
// offset against them, so a damaged file yields an error text, never a read out of bounds.
#pragma once

#include <array>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace engine::detail::jet {

enum class Version { Jet3, Jet4 };

// Page sizes and the offset of a page's row count.
size_t PageSize(Version v);
size_t RowCountOffset(Version v);

// What the first bytes of a file (at least 0x80 of them) say about it.
struct Header {
    enum class Kind { Jet3, Jet4, Ace, NotJet } kind = Kind::NotJet;
    int versionByte = -1;
};
Header InspectHeader(std::string_view firstBytes);
// The RC4 keystream (key C7 DA 39 6B) that masks the header's settings from offset 0x18: Jet 4
// masks 128 bytes with it, Jet 3 the first 126.
const std::array<uint8_t, 128>& HeaderMask();

// Reads page n of the file into out (PageSize bytes); false when the page does not exist.
using PageSource = std::function<bool(uint32_t page, std::string& out)>;

// Column flags of a table definition.
constexpr uint8_t kColumnFixed = 0x01;
constexpr uint8_t kColumnAutoLong = 0x04;
constexpr uint8_t kColumnAutoGuid = 0x40;
constexpr uint8_t kColumnHyperlink = 0x80;

// Index flags.
constexpr uint8_t kIndexUnique = 0x01;
constexpr uint8_t kIndexIgnoreNulls = 0x02;
constexpr uint8_t kIndexRequired = 0x08;

// Logical index types.
constexpr uint8_t kIndexTypePrimary = 0x01;
constexpr uint8_t kIndexTypeForeign = 0x02;

struct TdefColumn {
    uint8_t type = 0;
    uint16_t number = 0; // what indexes and the row's null mask refer to
    uint8_t flags = 0;
    uint16_t length = 0; // bytes (Jet 4 text: two per character)
    uint8_t precision = 0;
    uint8_t scale = 0;
    std::string rawName; // as stored: code page bytes (Jet 3) or UTF-16LE (Jet 4)
};

struct TdefIndexColumn {
    uint16_t columnNumber = 0;
    bool descending = false;
};

// A physical index: the columns and flags behind one or more logical indexes.
struct TdefRealIndex {
    std::vector<TdefIndexColumn> columns;
    uint8_t flags = 0;
};

// A logical index: what the user sees, named, backed by real index `realNumber`.
struct TdefIndex {
    uint32_t number = 0;
    uint32_t realNumber = 0;
    uint8_t type = 0;
    std::string rawName;
};

struct Tdef {
    uint32_t rowCount = 0;
    uint32_t nextAutoNumber = 0;
    std::vector<TdefColumn> columns;
    std::vector<TdefRealIndex> realIndexes;
    std::vector<TdefIndex> indexes;
};

// Reads the table definition starting at page firstPage (following its continuation pages).
// On a malformed definition returns nullopt and sets error.
std::optional<Tdef> ReadTdef(Version v, uint32_t firstPage, const PageSource& pages,
                             std::string& error);

// The bytes of a long value (memo or OLE) whose 12-byte reference and inline data are `field`.
// maxLength bounds what a damaged reference may claim. Returns nullopt and sets error when the
// value cannot be read whole.
std::optional<std::string> ReadLongValue(Version v, std::string_view field, const PageSource& pages,
                                         uint64_t maxLength, std::string& error);

// Strict UTF-16LE to UTF-8 (unpaired surrogates and odd lengths fail).
std::optional<std::string> Utf16LeToUtf8(std::string_view bytes);
// Jet 4 text as stored: "compressed" when it begins with FF FE (runs of one-byte characters
// toggled by zero bytes), otherwise plain UTF-16LE.
std::optional<std::string> DecodeJet4Text(std::string_view bytes);

// A text decoder for Jet 3 code page bytes, converting strictly: an invalid or incomplete byte
// sequence fails, nothing is replaced. Only a byte that a single-byte code page leaves
// undefined decodes, as Windows decodes it, to the code point of the same number (0x81 in code
// page 1252 is U+0081). Owns its iconv descriptor.
class CodePageDecoder {
  public:
    // codePage: an iconv name ("CP932", "CP1252", ...).
    explicit CodePageDecoder(const std::string& codePage);
    ~CodePageDecoder();
    CodePageDecoder(const CodePageDecoder&) = delete;
    CodePageDecoder& operator=(const CodePageDecoder&) = delete;

    bool Ok() const { return ok_; }
    const std::string& Name() const { return name_; }
    std::optional<std::string> Decode(std::string_view bytes);

  private:
    void* cd_;
    bool ok_;
    bool singleByte_ = false;
    std::string name_;
};

// The iconv name for a Windows code page number as Jet 3 headers give it (0: none).
std::string IconvNameForCodePage(int codePage);
// The code page to decode Jet 3 text with: the setting when given (a number such as "1252" or
// an iconv name), otherwise the header's, otherwise 932.
std::string Jet3CodePage(const char* setting, int headerCodePage);

// Value encodings.
int64_t ReadInt64Le(std::string_view bytes);
// A Jet decimal (sign byte, then a 128-bit magnitude as four little-endian 32-bit words, most
// significant first) as a double with the given scale; nullopt when not 17 bytes.
std::optional<double> DecimalToDouble(std::string_view bytes, int scale);
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" for the 16 bytes of a GUID.
std::string GuidText(std::string_view bytes);

} // namespace engine::detail::jet
