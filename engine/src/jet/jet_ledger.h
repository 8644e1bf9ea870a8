// What a transaction did to the tables of a genuine Jet file, kept so that the file is changed by
// what changed and no more: a table whose records and shape stay as they were keeps its pages,
// even under a new name; only tables written since are written anew.
//
// The ledger follows the transaction levels of the native copy it stands beside: what a rolled
// back level did is forgotten with it.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace engine::detail::jet {

struct LedgerChange {
    enum class Kind { Write, Drop, Rename };
    Kind kind = Kind::Write;
    std::string name;
    std::string newName; // Rename only
    bool operator==(const LedgerChange&) const = default;
};

class JetLedger {
  public:
    // The file's tables as they stand (after opening it, and after each change reached it).
    void Reset(const std::vector<std::string>& tables);

    // Events, each at the transaction depth it happened in (0: outside any transaction).
    void Written(std::string_view table, int depth); // records, shape or properties changed
    void Dropped(std::string_view table, int depth);
    void Renamed(std::string_view from, std::string_view to, int depth);

    void Committed(int level);
    void RolledBack(int level);

    // The changes that bring the file from its tables to `current` (the copy's tables now), in
    // the order to apply them: drops, renames, writes. Each table is named by one change only;
    // a renamed table whose new name the file already holds is written instead.
    std::vector<LedgerChange> Changes(const std::vector<std::string>& current) const;

  private:
    struct State {
        // Folded name of a table now in the copy → the file's name of the table it still is,
        // for tables whose pages can stay. Tables missing here are written anew.
        std::map<std::string, std::string> originOf;
        bool operator==(const State&) const = default;
    };
    void Save(int depth);

    std::map<std::string, std::string> originals_; // folded → the file's own spelling
    State state_;
    std::vector<std::pair<int, State>> saves_; // the state as each level found it
};

} // namespace engine::detail::jet
