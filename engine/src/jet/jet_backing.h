// The genuine Jet file behind a native copy opened for writing: every change committed to the
// copy is carried into the file in place (at the outermost commit, or at once outside a
// transaction), so the file stays a genuine file of its own version. The ledger says what
// changed; the file's writer for its version does the rest, all or nothing.
#pragma once

#include <sys/types.h>

#include <ctime>
#include <string>
#include <vector>

#include "jet/jet_format.h"
#include "jet/jet_ledger.h"

namespace engine {
class Database;
}

namespace engine::detail::jet {

class JetBacking {
  public:
    // path: the Jet file; copy: the native copy the connection has open; tables: the file's
    // user tables as the copy holds them.
    JetBacking(std::string path, std::string copy, Version version,
               const std::vector<std::string>& tables);

    const std::string& Path() const { return path_; }
    const std::string& Copy() const { return copy_; }
    JetLedger& Ledger() { return ledger_; }

    // Carries into the file what the ledger holds against the copy's tables now (source reads
    // the copy, inside its transaction). Holds the file's .ldb meanwhile. Throws engine::Error,
    // and then the file is as it was: another program holds the file or changed it since it
    // was read, the writer failed. True when the file was changed.
    bool Apply(Database& source, const std::vector<std::string>& tables);
    // The copy's transaction committed after Apply: the file and the copy agree again.
    void Synced(const std::vector<std::string>& tables);

  private:
    struct Facts {
        dev_t dev = 0;
        ino_t ino = 0;
        off_t size = 0;
        timespec mtime{};
        bool operator==(const Facts& o) const {
            return dev == o.dev && ino == o.ino && size == o.size &&
                   mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec;
        }
    };
    static Facts FactsOf(const std::string& path);

    std::string path_;
    std::string copy_;
    Version version_;
    JetLedger ledger_;
    Facts facts_; // the file as the copy last agreed with it
};

} // namespace engine::detail::jet
