#include "jet/jet_backing.h"

#include <sys/stat.h>

#include "engine/error.h"
#include "jet/jet_reader.h"
#include "jet/write_access.h"
#include "jet4/in_place.h"

namespace engine::detail::jet {

JetBacking::JetBacking(std::string path, std::string copy, Version version,
                       const std::vector<std::string>& tables)
    : path_(std::move(path)), copy_(std::move(copy)), version_(version), facts_(FactsOf(path_)) {
    ledger_.Reset(tables);
}

JetBacking::Facts JetBacking::FactsOf(const std::string& path) {
    struct stat st {};
    Facts f;
    if (::stat(path.c_str(), &st) != 0) return f;
    f.dev = st.st_dev;
    f.ino = st.st_ino;
    f.size = st.st_size;
    f.mtime = st.st_mtim;
    return f;
}

bool JetBacking::Apply(Database& source, const std::vector<std::string>& tables) {
    const std::vector<LedgerChange> changes = ledger_.Changes(tables);
    if (changes.empty()) return false;
    JetFileLock lock(path_);
    // What the copy was read from must still be the file: another program's change since then
    // would be overwritten.
    if (!(FactsOf(path_) == facts_))
        throw Error(err::kLocked, DescriptionOf(err::kLocked, path_),
                    "the file was changed by another program after it was read");
    std::vector<jet4::TableChange> jet4Changes;
    for (const auto& c : changes) {
        jet4::TableChange t;
        t.kind = c.kind == LedgerChange::Kind::Write  ? jet4::TableChange::Kind::Write
                 : c.kind == LedgerChange::Kind::Drop ? jet4::TableChange::Kind::Drop
                                                      : jet4::TableChange::Kind::Rename;
        t.name = c.name;
        t.newName = c.newName;
        jet4Changes.push_back(std::move(t));
    }
    jet4::ApplyInPlace(path_, source, jet4Changes);
    return true;
}

void JetBacking::Synced(const std::vector<std::string>& tables) {
    ledger_.Reset(tables);
    facts_ = FactsOf(path_);
    NoteJetFileRewritten(path_, copy_);
}

} // namespace engine::detail::jet
