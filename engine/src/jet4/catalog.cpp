#include "jet4/catalog.h"

#include <array>

#include "jet/jet_format.h"
#include "jet4/bytes.h"
#include "jet4/page_file.h"

namespace engine::detail::jet4 {

namespace {

constexpr int32_t kDatabasesId = 0x0F000002;
constexpr int32_t kRelationshipsId = 0x0F000003;
constexpr int32_t kContainersParent = 0x0F000000;
constexpr int32_t kDbId = 0x10000000;
constexpr int32_t kSystemObject = static_cast<int32_t>(0x80000000u);

// Security identifiers of the engine's built-in accounts as a new file carries them (two bytes
// each; Jet only compares them with the ones of the same file). Jet 3 files carry other values.
struct Sids {
    std::string admins, engine, users, creator;
};
const Sids kJet4Sids{std::string("\x06\xEA", 2), std::string("\x07\xE8", 2),
                     std::string("\x06\xE8", 2), std::string("\x06\xED", 2)};
const Sids kJet3Sids{std::string("\x02\x03", 2), std::string("\x03\x01", 2),
                     std::string("\x02\x01", 2), std::string("\x02\x04", 2)};
const Sids& SidsOf(const Format& f) {
    return f.version == 0 ? kJet3Sids : kJet4Sids;
}

// The length of the system tables' texts and binaries: 255 characters.
uint16_t TextBytes(const Format& f) {
    return f.version == 0 ? 255 : 510;
}

Column Col(const char* name, uint8_t type, uint16_t length) {
    Column c;
    c.name = name;
    c.type = type;
    c.length = length;
    c.flags = kFlagSystem | kFlagNullable;
    return c;
}

Table System(const char* name, std::vector<Column> cols) {
    Table t;
    t.name = name;
    t.system = true;
    t.columns = std::move(cols);
    LayOut(t);
    return t;
}

RealIndex Real(std::vector<uint16_t> cols, uint8_t flags) {
    RealIndex r;
    for (uint16_t c : cols) r.columns.push_back({c, false});
    r.flags = flags | kIndexAlways;
    return r;
}

Variant L(int32_t v) {
    return Variant::Long(v);
}
Variant Bin(const std::string& b) {
    return Variant(b);
}

} // namespace

Table ObjectsTable(const Format& f) {
    const uint16_t n = TextBytes(f);
    Table t =
        System("MSysObjects",
               {Col("Id", kLong, 4), Col("ParentId", kLong, 4), Col("Name", kText, n),
                Col("Type", kInt, 2), Col("DateCreate", kDate, 8), Col("DateUpdate", kDate, 8),
                Col("Owner", kBinary, n), Col("Flags", kLong, 4), Col("Database", kMemo, 0),
                Col("Connect", kMemo, 0), Col("ForeignName", kText, n),
                Col("RmtInfoShort", kBinary, n), Col("RmtInfoLong", kOle, 0), Col("Lv", kOle, 0),
                Col("LvProp", kOle, 0), Col("LvModule", kOle, 0), Col("LvExtra", kOle, 0)});
    t.realIndexes = {Real({1, 2}, kIndexUnique), Real({0}, kIndexUnique)};
    t.indexes = {{"Id", 1, true}, {"ParentIdName", 0, false}};
    return t;
}

Table AcesTable(const Format& f) {
    Table t = System("MSysACEs", {Col("ObjectId", kLong, 4), Col("SID", kBinary, TextBytes(f)),
                                  Col("ACM", kLong, 4), Col("FInheritable", kBool, 1)});
    t.realIndexes = {Real({0}, kIndexRequired)};
    t.indexes = {{"ObjectId", 0, false}};
    return t;
}

Table QueriesTable(const Format& f) {
    const uint16_t n = TextBytes(f);
    std::vector<Column> cols{Col("ObjectId", kLong, 4), Col("Attribute", kByte, 1),
                             Col("Order", kBinary, n),  Col("Name1", kText, n),
                             Col("Name2", kText, n),    Col("Expression", kMemo, 0),
                             Col("Flag", kInt, 2)};
    if (f.version != 0) cols.push_back(Col("LvExtra", kLong, 4));
    Table t = System("MSysQueries", std::move(cols));
    t.realIndexes = {Real({0, 1, 2}, kIndexUnique)};
    t.indexes = {{"ObjectIdAttribute", 0, true}};
    return t;
}

Table RelationshipsTable(const Format& f) {
    const uint16_t n = TextBytes(f);
    Table t =
        System("MSysRelationships",
               {Col("szRelationship", kText, n), Col("grbit", kLong, 4), Col("ccolumn", kLong, 4),
                Col("icolumn", kLong, 4), Col("szObject", kText, n), Col("szColumn", kText, n),
                Col("szReferencedObject", kText, n), Col("szReferencedColumn", kText, n)});
    t.realIndexes = {Real({0}, kIndexIgnoreNulls), Real({4}, kIndexIgnoreNulls),
                     Real({6}, kIndexIgnoreNulls)};
    t.indexes = {
        {"szObject", 1, false}, {"szReferencedObject", 2, false}, {"szRelationship", 0, false}};
    return t;
}

std::vector<std::vector<Variant>> ObjectRows(const std::vector<UserTableEntry>& tables, double now,
                                             const Format& f) {
    const Sids& sid = SidsOf(f);
    const std::string &kSidAdmins = sid.admins, &kSidEngine = sid.engine;
    std::vector<std::vector<Variant>> rows;
    auto add = [&](int32_t id, int32_t parent, const std::string& name, int16_t type,
                   const std::string& owner, int32_t flags) {
        std::vector<Variant> r(17, Variant::Null());
        r[0] = L(id);
        r[1] = L(parent);
        r[2] = Variant(name);
        r[3] = Variant::Integer(type);
        r[4] = Variant::Date(now);
        r[5] = Variant::Date(now);
        r[6] = Bin(owner);
        r[7] = L(flags);
        rows.push_back(std::move(r));
    };
    add(kTablesContainerId, kContainersParent, "Tables", 3, kSidAdmins, kSystemObject);
    add(kDatabasesId, kContainersParent, "Databases", 3, kSidAdmins, kSystemObject);
    add(kRelationshipsId, kContainersParent, "Relationships", 3, kSidAdmins, kSystemObject);
    add(kDbId, kDatabasesId, "MSysDb", 2, kSidEngine, kSystemObject);
    add(kObjectsPage, kTablesContainerId, "MSysObjects", 1, kSidAdmins, kSystemObject);
    add(kAcesPage, kTablesContainerId, "MSysACEs", 1, kSidAdmins, kSystemObject);
    add(kQueriesPage, kTablesContainerId, "MSysQueries", 1, kSidAdmins, kSystemObject);
    add(kRelationshipsPage, kTablesContainerId, "MSysRelationships", 1, kSidAdmins, kSystemObject);
    for (const auto& t : tables) {
        add(static_cast<int32_t>(t.tdefPage), kTablesContainerId, t.name, 1, kSidEngine, 0);
        if (!t.properties.empty()) rows.back()[14] = Bin(t.properties);
    }
    return rows;
}

std::vector<std::vector<Variant>> AceRows(const std::vector<UserTableEntry>& tables,
                                          const Format& f) {
    const Sids& sid = SidsOf(f);
    const std::string &kSidEngine = sid.engine, &kSidUsers = sid.users, &kSidCreator = sid.creator;
    std::vector<std::vector<Variant>> rows;
    auto add = [&](int32_t id, const std::string& sid, int32_t acm, bool inheritable) {
        rows.push_back({L(id), Bin(sid), L(acm), Variant::Boolean(inheritable)});
    };
    // The permissions of a new file's own objects.
    add(kObjectsPage, kSidEngine, 393216, false);
    add(kAcesPage, kSidEngine, 393216, false);
    add(kQueriesPage, kSidEngine, 393216, false);
    add(kRelationshipsPage, kSidEngine, 917504, false);
    const bool jet3 = f.version == 0;
    add(kTablesContainerId, kSidCreator, 983294, true);
    // Jet 3 files give the engine's account inheritable rights on new tables (as the genuine
    // files show), Jet 4 files rights on the container alone.
    if (jet3)
        add(kTablesContainerId, kSidEngine, 1048319, true);
    else
        add(kTablesContainerId, kSidEngine, 393217, false);
    add(kRelationshipsId, kSidCreator, 983294, true);
    add(kRelationshipsId, kSidEngine, 393217, false);
    add(kDatabasesId, kSidEngine, 393216, false);
    add(kDbId, kSidEngine, 393230, false);
    add(kDbId, kSidUsers, 14, false);
    add(kQueriesPage, kSidUsers, 20, false);
    add(kRelationshipsPage, kSidUsers, 20, false);
    add(kObjectsPage, kSidUsers, 20, false);
    add(kTablesContainerId, kSidUsers, 1048319, true);
    add(kRelationshipsId, kSidUsers, 1048575, true);
    // A user table inherits the Tables container's inheritable entries; in Jet 3 files the
    // engine's account takes the creator's place.
    for (const auto& t : tables) {
        if (jet3)
            add(static_cast<int32_t>(t.tdefPage), kSidEngine, 1048319, false);
        else
            add(static_cast<int32_t>(t.tdefPage), kSidCreator, 983294, false);
        add(static_cast<int32_t>(t.tdefPage), kSidUsers, 1048319, false);
    }
    return rows;
}

std::string HeaderPage(double created) {
    std::string p(kPageSize, '\0');
    p.replace(0, 4, std::string("\x00\x01\x00\x00", 4));
    p.replace(4, 16, std::string("Standard Jet DB\0", 16));
    p[0x14] = 0x01;
    // The masked settings, in the clear first.
    const uint8_t lead[24] = {0, 1, 0, 0, 1, 1, 0, 0, 2, 0, 0, 0,
                              3, 0, 0, 0, 4, 0, 0, 0, 5, 0, 0, 0};
    for (size_t i = 0; i < sizeof lead; ++i) p[0x18 + i] = static_cast<char>(lead[i]);
    Put16(p, 0x3C, 1252);
    Put32(p, 0x3E, 0); // pages are not encrypted
    // An empty password: the mask alone, the creation date's whole days repeated.
    uint32_t days = static_cast<uint32_t>(static_cast<int32_t>(created));
    for (size_t i = 0; i < 40; i += 4) Put32(p, 0x42 + i, days);
    Put32(p, 0x6E, 0x0409); // the General sort order, LCID 1033
    uint64_t bits = DoubleBits(created);
    Put32(p, 0x72, static_cast<uint32_t>(bits));
    Put32(p, 0x76, static_cast<uint32_t>(bits >> 32));
    const auto& mask = jet::HeaderMask();
    for (size_t i = 0; i < mask.size(); ++i) p[0x18 + i] = static_cast<char>(p[0x18 + i] ^ mask[i]);
    p.replace(0x98, 8, std::string("\x54\x06\x00\x00\x34\x2e\x30\x00", 8));
    p[0xE00] = 0x01;
    p[0xE01] = 0x01;
    for (size_t i = 0xE03; i < kPageSize; i += 2) p[i] = 0x01;
    return p;
}

std::string GlobalMapPage(uint32_t pageCount) {
    std::string p(kPageSize, '\0');
    p[0] = 0x01;
    p[1] = 0x01;
    // Row 0: the pages that are free, every page past the end counting as free; row 1 empty.
    std::string map(69, '\0');
    if (pageCount <= 512) {
        for (uint32_t n = pageCount; n < 512; ++n)
            map[5 + n / 8] = static_cast<char>(map[5 + n / 8] | (1 << (n % 8)));
    } else {
        map[0] = 0x01; // a reference map without pages: no page is free
    }
    std::string empty(69, '\0');
    size_t end0 = kPageSize - 69, end1 = end0 - 69;
    p.replace(end0, 69, map);
    p.replace(end1, 69, empty);
    Put16(p, 12, 2);
    Put16(p, 14, static_cast<uint32_t>(end0));
    Put16(p, 16, static_cast<uint32_t>(end1));
    Put16(p, 2, static_cast<uint32_t>(kPageSize - 14 - 2 * (69 + 2)));
    return p;
}

} // namespace engine::detail::jet4
