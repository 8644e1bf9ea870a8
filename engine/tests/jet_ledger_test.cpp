// The changes a genuine Jet file gets for what a transaction did to its tables' copies.
#include <gtest/gtest.h>

#include <functional>

#include "jet/jet_ledger.h"

namespace {

using engine::detail::jet::JetLedger;
using engine::detail::jet::LedgerChange;
using Kind = LedgerChange::Kind;

LedgerChange W(const char* n) {
    return {Kind::Write, n, {}};
}
LedgerChange D(const char* n) {
    return {Kind::Drop, n, {}};
}
LedgerChange R(const char* a, const char* b) {
    return {Kind::Rename, a, b};
}

TEST(JetLedger, ChangesNameEachTableOnceAndKeepWhatStayedAsItWas) {
    struct Case {
        const char* name;
        std::function<void(JetLedger&)> events;
        std::vector<std::string> current; // the copy's tables afterwards
        std::vector<LedgerChange> expected;
    };
    const std::vector<std::string> file = {"A", "B", "C"};
    const Case cases[] = {
        {"nothing", [](JetLedger&) {}, {"A", "B", "C"}, {}},
        {"records written", [](JetLedger& l) { l.Written("b", 0); }, {"A", "B", "C"}, {W("B")}},
        {"the save: rebuilt under a temporary name, old dropped, new renamed",
         [](JetLedger& l) {
             l.Written("A_tmp", 1);
             l.Dropped("A", 1);
             l.Renamed("A_tmp", "A", 1);
         },
         {"A", "B", "C"},
         {W("A")}},
        {"a rename keeps the pages",
         [](JetLedger& l) { l.Renamed("B", "X", 0); },
         {"A", "X", "C"},
         {R("B", "X")}},
        {"a rename changing only the case",
         [](JetLedger& l) { l.Renamed("B", "b", 0); },
         {"A", "b", "C"},
         {R("B", "b")}},
        {"renamed twice",
         [](JetLedger& l) {
             l.Renamed("B", "X", 1);
             l.Renamed("X", "Y", 1);
         },
         {"A", "Y", "C"},
         {R("B", "Y")}},
        {"renamed onto the name of a dropped table: written under it",
         [](JetLedger& l) {
             l.Dropped("C", 1);
             l.Renamed("B", "C", 1);
         },
         {"A", "C"},
         {D("B"), W("C")}},
        {"names swapped",
         [](JetLedger& l) {
             l.Renamed("A", "T", 1);
             l.Renamed("B", "A", 1);
             l.Renamed("T", "B", 1);
         },
         {"A", "B", "C"},
         {W("A"), W("B")}},
        {"drop and a new table",
         [](JetLedger& l) {
             l.Dropped("C", 0);
             l.Written("N", 0);
         },
         {"A", "B", "N"},
         {D("C"), W("N")}},
        {"renamed then written",
         [](JetLedger& l) {
             l.Renamed("A", "Z", 1);
             l.Written("Z", 1);
         },
         {"Z", "B", "C"},
         {D("A"), W("Z")}},
        {"a rolled-back level is forgotten",
         [](JetLedger& l) {
             l.Written("A", 1);
             l.Renamed("B", "X", 2);
             l.Dropped("C", 2);
             l.RolledBack(2);
         },
         {"A", "B", "C"},
         {W("A")}},
        {"a committed inner level stays with its outer one",
         [](JetLedger& l) {
             l.Renamed("B", "X", 2);
             l.Committed(2);
             l.Written("A", 1);
         },
         {"A", "X", "C"},
         {R("B", "X"), W("A")}},
        {"rolling back the outer level undoes the committed inner one",
         [](JetLedger& l) {
             l.Renamed("B", "X", 2);
             l.Committed(2);
             l.RolledBack(1);
         },
         {"A", "B", "C"},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        JetLedger ledger;
        ledger.Reset(file);
        c.events(ledger);
        EXPECT_EQ(ledger.Changes(c.current), c.expected);
    }
}

} // namespace
