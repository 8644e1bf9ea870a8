#include "jetread/jet_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace jetread {
namespace {

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};

// libmdb converts names and property texts with iconv and replaces what fails with '?'. For
// Jet 3 it is made to pass the bytes through unchanged so that they are decoded strictly
// here; for Jet 4 it converts UTF-16 (surrogate pairs included) to UTF-8.
void SetRawConversion(MdbHandle* mdb, jet::Version v) {
    iconv_t cd = v == jet::Version::Jet3 ? iconv_open("ISO-8859-1", "ISO-8859-1")
                                         : iconv_open("UTF-8", "UTF-16LE");
    if (cd == reinterpret_cast<iconv_t>(-1)) throw Failure("iconv を初期化できません");
    if (mdb->iconv_in != reinterpret_cast<iconv_t>(-1)) iconv_close(mdb->iconv_in);
    mdb->iconv_in = cd;
}

} // namespace

std::string Quoted(const std::string& s) {
    return "'" + s + "'";
}

Text::Text(jet::Version v, const std::string& codePage) : version_(v), decoder_(codePage) {
    if (v == jet::Version::Jet3 && !decoder_.Ok())
        throw Failure("コードページ " + codePage + " を使用できません");
}

std::optional<std::string> Text::Decode(std::string_view raw) {
    return version_ == jet::Version::Jet3 ? decoder_.Decode(raw) : jet::DecodeJet4Text(raw);
}

std::optional<std::string> Text::FromLibrary(const char* s) {
    if (!s) return std::nullopt;
    return version_ == jet::Version::Jet3 ? decoder_.Decode(s) : std::optional<std::string>(s);
}

std::unique_ptr<JetFile> OpenJetFile(const std::string& path) {
    auto file = std::make_unique<JetFile>();
    JetFile& jf = *file;
    jf.path = path;
    std::unique_ptr<FILE, FileCloser> f(std::fopen(path.c_str(), "rb"));
    if (!f) throw Failure("ファイルを開けません: " + std::string(std::strerror(errno)));
    char head[0x80] = {};
    size_t n = std::fread(head, 1, sizeof head, f.get());
    std::fseek(f.get(), 0, SEEK_END);
    jf.fileSize = static_cast<uint64_t>(std::ftell(f.get()));
    f.reset();
    jet::Header h = jet::InspectHeader(std::string_view(head, n));
    switch (h.kind) {
    case jet::Header::Kind::Jet3:
        jf.version = jet::Version::Jet3;
        break;
    case jet::Header::Kind::Jet4:
        jf.version = jet::Version::Jet4;
        break;
    case jet::Header::Kind::Ace:
        throw Failure("ACE 形式 (Access 2007 以降, バージョン " + std::to_string(h.versionByte) +
                      ") のファイルには対応していません");
    default:
        throw Failure("Jet 3 / Jet 4 のデータベースではありません");
    }
    jf.mdb.reset(mdb_open(path.c_str(), MDB_NOFLAGS));
    if (!jf.mdb) throw Failure("libmdb がファイルを開けません");
    if (jf.mdb->f->jet_version != (jf.version == jet::Version::Jet3 ? MDB_VER_JET3 : MDB_VER_JET4))
        throw Failure("バージョンの判定が一致しません");
    SetRawConversion(jf.mdb.get(), jf.version);
    std::string codePage =
        jf.version == jet::Version::Jet3
            ? jet::Jet3CodePage(std::getenv("TAVORIN_JET3_CODEPAGE"), jf.mdb->f->code_page)
            : std::string("UTF-16LE");
    jf.text = std::make_unique<Text>(jf.version, codePage);
    jf.pages = [&jf](uint32_t page, std::string& out) {
        if (page == 0 || uint64_t(page) * jet::PageSize(jf.version) >= jf.fileSize) return false;
        if (mdb_read_alt_pg(jf.mdb.get(), page) != static_cast<ssize_t>(jet::PageSize(jf.version)))
            return false;
        out.assign(reinterpret_cast<const char*>(jf.mdb->alt_pg_buf), jet::PageSize(jf.version));
        return true;
    };
    return file;
}

std::string JetFile::Locale() const {
    char buf[64];
    unsigned lang = mdb->f->lang_id ? mdb->f->lang_id : 0x0411;
    unsigned cp = mdb->f->code_page ? mdb->f->code_page : 932;
    std::snprintf(buf, sizeof buf, ";LANGID=0x%04X;CP=%u;COUNTRY=0", lang, cp);
    return buf;
}

std::string JetFile::Decode(std::string_view raw, const std::string& table,
                            const std::string& what) const {
    auto s = text->Decode(raw);
    if (!s)
        throw Failure("テーブル " + Quoted(table) + " の" + what + "をコードページ " +
                      text->CodePage() + " で変換できません");
    return *s;
}

} // namespace jetread
