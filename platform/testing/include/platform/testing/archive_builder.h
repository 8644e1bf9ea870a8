// Archives the tests make for themselves: ZIP files written with libarchive (also a bomb, a
// link, many entries), and stored (-lh0-) LZH files with level-0 headers written byte by byte,
// so that an entry name can be any bytes at all.
#pragma once

#include <algorithm>
#include <archive.h>
#include <archive_entry.h>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace archivetest {

struct ZipItem {
    std::string name;
    std::string content{};
    std::string symlinkTarget{}; // non-empty: the entry is a symbolic link
};

// Writes a deflated ZIP; false when libarchive refused something. Each file gets zeroBytes of
// zeros after its content; without declareSize its local header leaves the size open (a data
// descriptor follows the data).
inline bool WriteZip(const std::string& path, const std::vector<ZipItem>& items,
                     uint64_t zeroBytes = 0, bool declareSize = true) {
    archive* a = archive_write_new();
    bool ok = archive_write_set_format_zip(a) == ARCHIVE_OK &&
              archive_write_set_options(a, "zip:compression=deflate") == ARCHIVE_OK &&
              archive_write_open_filename(a, path.c_str()) == ARCHIVE_OK;
    for (const ZipItem& item : items) {
        if (!ok) break;
        archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, item.name.c_str());
        if (!item.symlinkTarget.empty()) {
            archive_entry_set_filetype(e, AE_IFLNK);
            archive_entry_set_symlink(e, item.symlinkTarget.c_str());
            archive_entry_set_perm(e, 0777);
        } else {
            archive_entry_set_filetype(e, AE_IFREG);
            archive_entry_set_perm(e, 0644);
            if (declareSize)
                archive_entry_set_size(e, static_cast<la_int64_t>(item.content.size() + zeroBytes));
        }
        ok = archive_write_header(a, e) == ARCHIVE_OK;
        if (ok && !item.content.empty())
            ok = archive_write_data(a, item.content.data(), item.content.size()) ==
                 static_cast<la_ssize_t>(item.content.size());
        static const std::vector<char> zeros(1 << 20, 0);
        for (uint64_t left = item.symlinkTarget.empty() ? zeroBytes : 0; ok && left > 0;) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(left, zeros.size()));
            ok = archive_write_data(a, zeros.data(), n) == static_cast<la_ssize_t>(n);
            left -= n;
        }
        archive_entry_free(e);
    }
    ok = archive_write_close(a) == ARCHIVE_OK && ok;
    archive_write_free(a);
    return ok;
}

// CRC-16 of the LZH format (polynomial 0xA001, reflected, starting at 0).
inline uint16_t LzhCrc16(const std::string& data) {
    uint16_t crc = 0;
    for (unsigned char c : data) {
        crc ^= c;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return crc;
}

struct LzhItem {
    std::string rawName; // the bytes of the stored name (Shift_JIS, separators "\" or "/")
    std::string content;
};

// The bytes of a stored LZH archive with level-0 headers.
inline std::string LzhBytes(const std::vector<LzhItem>& items) {
    auto le32 = [](uint32_t v) {
        std::string s;
        for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
        return s;
    };
    std::string out;
    for (const LzhItem& item : items) {
        std::string header = "-lh0-";
        header += le32(static_cast<uint32_t>(item.content.size())); // packed size
        header += le32(static_cast<uint32_t>(item.content.size())); // original size
        header += le32(0x59870000);                                 // DOS time: 2024-12-07
        header += '\x20';                                           // archive attribute
        header += '\x00';                                           // header level 0
        header += static_cast<char>(item.rawName.size());
        header += item.rawName;
        const uint16_t crc = LzhCrc16(item.content);
        header += static_cast<char>(crc & 0xFF);
        header += static_cast<char>(crc >> 8);
        unsigned sum = 0;
        for (unsigned char c : header) sum += c;
        out += static_cast<char>(header.size());
        out += static_cast<char>(sum & 0xFF);
        out += header;
        out += item.content;
    }
    out += '\0'; // end of the archive
    return out;
}

inline bool WriteBytes(const std::string& path, const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace archivetest
