#include "jet/jet_ledger.h"

#include <set>

#include "engine/names.h"

namespace engine::detail::jet {

void JetLedger::Reset(const std::vector<std::string>& tables) {
    originals_.clear();
    state_ = {};
    saves_.clear();
    for (const auto& t : tables) {
        originals_[FoldName(t)] = t;
        state_.originOf[FoldName(t)] = t;
    }
}

void JetLedger::Save(int depth) {
    if (depth > 0 && (saves_.empty() || saves_.back().first < depth))
        saves_.emplace_back(depth, state_);
}

void JetLedger::Written(std::string_view table, int depth) {
    Save(depth);
    state_.originOf.erase(FoldName(table));
}

void JetLedger::Dropped(std::string_view table, int depth) {
    Save(depth);
    state_.originOf.erase(FoldName(table));
}

void JetLedger::Renamed(std::string_view from, std::string_view to, int depth) {
    Save(depth);
    auto it = state_.originOf.find(FoldName(from));
    if (it == state_.originOf.end()) return; // a table written anew is written under its new name
    std::string origin = it->second;
    state_.originOf.erase(it);
    state_.originOf[FoldName(to)] = origin;
}

void JetLedger::Committed(int level) {
    // What level `level` found becomes what its parent level found, unless the parent saved
    // its own state earlier.
    if (saves_.empty() || saves_.back().first != level) return;
    if (level > 1 && (saves_.size() < 2 || saves_[saves_.size() - 2].first < level - 1))
        saves_.back().first = level - 1;
    else
        saves_.pop_back();
}

void JetLedger::RolledBack(int level) {
    while (!saves_.empty() && saves_.back().first >= level) {
        state_ = saves_.back().second;
        saves_.pop_back();
    }
}

std::vector<LedgerChange> JetLedger::Changes(const std::vector<std::string>& current) const {
    std::set<std::string> currentNames;
    for (const auto& c : current) currentNames.insert(FoldName(c));
    std::vector<LedgerChange> drops, renames, writes;
    std::set<std::string> renamedAway;
    for (const auto& c : current) {
        const std::string key = FoldName(c);
        auto it = state_.originOf.find(key);
        if (it == state_.originOf.end()) {
            writes.push_back({LedgerChange::Kind::Write, c, {}});
            continue;
        }
        const std::string& origin = it->second;
        if (origin == c) continue; // untouched
        const std::string originKey = FoldName(origin);
        const bool sameName = originKey == key; // only the letters' case changed
        if (sameName || (!originals_.count(key) && !currentNames.count(originKey))) {
            renames.push_back({LedgerChange::Kind::Rename, origin, c});
            renamedAway.insert(originKey);
        } else {
            writes.push_back({LedgerChange::Kind::Write, c, {}});
        }
    }
    for (const auto& [key, name] : originals_)
        if (!currentNames.count(key) && !renamedAway.count(key))
            drops.push_back({LedgerChange::Kind::Drop, name, {}});
    std::vector<LedgerChange> all = drops;
    all.insert(all.end(), renames.begin(), renames.end());
    all.insert(all.end(), writes.begin(), writes.end());
    return all;
}

} // namespace engine::detail::jet
