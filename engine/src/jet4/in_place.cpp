#include "jet4/in_place.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>

#include "engine/database.h"
#include "engine/error.h"
#include "engine/names.h"
#include "jet4/bytes.h"
#include "jet4/catalog.h"
#include "jet4/genuine_file.h"
#include "jet4/in_place_space.h"
#include "jet4/page_file.h"
#include "jet4/properties.h"
#include "jet4/table_source.h"

namespace engine::detail::jet4 {

namespace {

// The properties the engine reads from a file and writes back itself; others are kept as stored.
const std::vector<std::string> kEngineProperties = {"Required", "AllowZeroLength", "DefaultValue",
                                                    "Description"};

using Rows = std::vector<std::vector<Variant>>;

size_t ColumnAt(const Table& t, const char* name) {
    for (size_t i = 0; i < t.columns.size(); ++i)
        if (t.columns[i].name == name) return i;
    Fail(t.name + " に列 " + name + " がありません");
}

int64_t IntOf(const Variant& v) {
    return v.IsNull() || v.IsEmpty() ? 0 : v.IntValue();
}

// A system table as stored and its records, read before anything is written.
struct Stored {
    StoredTdef tdef;
    Rows rows;
};

// The definition with the references to newly written content. The row count sits 4 bytes
// before the next auto number (Jet 4: 16, Jet 3: 12); each real index's count entry (Jet 4: 12
// bytes, Jet 3: 8) ends with its distinct keys, and its entry's root follows its map.
std::string Patched(const StoredTdef& t, const TableContent& c, bool jet3) {
    std::string b = t.bytes;
    const size_t countBytes = jet3 ? 8 : 12;
    Put32(b, jet3 ? 12 : 16, c.rows);
    Put32(b, t.mapsAt, c.maps[0]);
    Put32(b, t.mapsAt + 4, c.maps[1]);
    for (size_t k = 0; k < t.realAt.size(); ++k) {
        Put32(b, t.mapsAt + 8 + countBytes * k + 4, c.indexes[k].distinctKeys);
        Put32(b, t.realAt[k] + t.realMapOffset, c.maps[2 + k]);
        Put32(b, t.realAt[k] + t.realMapOffset + 4, c.indexes[k].root);
    }
    size_t lv = 2 + t.realAt.size();
    for (const auto& col : t.table.columns) {
        if (col.type != kOle && col.type != kMemo) continue;
        size_t at = t.longMapsAt.at(col.number);
        Put32(b, at, c.maps[lv++]);
        Put32(b, at + 4, c.maps[lv++]);
    }
    return b;
}

// Writes a definition's continuation pages (fresh ones) now; returns its first page, to be
// written at its place as the switch.
std::string PlaceDefinition(PageFile& file, const std::string& bytes) {
    const size_t size = file.Fmt().pageSize;
    std::string first = bytes.substr(0, size);
    std::vector<uint32_t> pages;
    for (size_t at = size; at < bytes.size(); at += size - 8) pages.push_back(file.Allocate());
    for (size_t k = 0; k < pages.size(); ++k) {
        std::string p(size, '\0');
        size_t from = size + k * (size - 8), n = std::min(bytes.size() - from, size - 8);
        p[0] = 0x02;
        p[1] = 0x01;
        p.replace(8, n, bytes, from, n);
        if (const char* mark = file.Fmt().tdefMark)
            p.replace(2, 2, mark, 2);
        else
            Put16(p, 2, static_cast<uint32_t>(size - 8 - n));
        Put32(p, 4, k + 1 < pages.size() ? pages[k + 1] : 0);
        file.Write(pages[k], p);
    }
    Put32(first, 4, pages.empty() ? 0 : pages[0]);
    return first;
}

std::vector<uint32_t> AllocatedSince(const PageFile& file, size_t mark) {
    return {file.Allocated().begin() + static_cast<std::ptrdiff_t>(mark), file.Allocated().end()};
}

// Rows by column name into a table's column order.
std::vector<Variant> Arrange(const Table& target, const Table& from,
                             const std::vector<Variant>& row) {
    std::vector<Variant> out(target.columns.size(), Variant::Null());
    for (size_t i = 0; i < from.columns.size(); ++i)
        for (size_t k = 0; k < target.columns.size(); ++k)
            if (target.columns[k].name == from.columns[i].name) out[k] = row[i];
    return out;
}

class Apply {
  public:
    Apply(const std::string& path, Database& source) : path_(path), source_(source), g_(path) {}

    void Run(const std::vector<TableChange>& changes) {
        FailureFormat naming(g_.IsJet3() ? "Jet 3" : "Jet 4");
        if (!g_.Fmt())
            Fail(path_ + " は コードページ " + std::to_string(g_.CodePage()) +
                 " の Jet 3 ファイルのため、この版では変更できません");
        const Format& fmt = *g_.Fmt();
        jet3_ = g_.IsJet3();
        objects_.tdef = g_.ReadTdef(kObjectsPage, "MSysObjects");
        objects_.rows = g_.Records(objects_.tdef);
        const Table& ot = objects_.tdef.table;
        id_ = ColumnAt(ot, "Id");
        parent_ = ColumnAt(ot, "ParentId");
        name_ = ColumnAt(ot, "Name");
        type_ = ColumnAt(ot, "Type");
        updated_ = ColumnAt(ot, "DateUpdate");
        props_ = ColumnAt(ot, "LvProp");
        flags_ = ColumnAt(ot, "Flags");
        int acesAt = Find("MSysACEs", false);
        if (acesAt < 0) Fail("MSysACEs がありません");
        aces_.tdef =
            g_.ReadTdef(static_cast<uint32_t>(IntOf(objects_.rows[size_t(acesAt)][id_])) & 0xFFFFFF,
                        "MSysACEs");
        aces_.rows = g_.Records(aces_.tdef);
        aceObject_ = ColumnAt(aces_.tdef.table, "ObjectId");
        aceInherit_ = ColumnAt(aces_.tdef.table, "FInheritable");
        ReadRelationships();
        Check(changes);

        GlobalMap map(g_, g_.FreePages(), fmt);
        Release release(g_);
        std::vector<uint32_t> free(map.OldFree().begin(), map.OldFree().end());
        auto file =
            std::make_unique<PageFile>(PageFile::InPlace{}, path_, g_.PageCount(), free, fmt);
        bool committed = false;
        try {
            Write(*file, changes, map, release, committed);
        } catch (...) {
            // After the switch a failure leaves only unused pages marked as used: the change is in
            // the file, and reporting it as failed would be wrong.
            if (committed) return;
            try {
                file->Rollback();
            } catch (const Error&) {
                // The first failure is the one to report; what is left is unused pages at most.
            }
            throw;
        }
    }

  private:
    // The catalog row of the table (or, with any, of any object) name among the Tables
    // container's objects; -1 when there is none.
    int Find(const std::string& name, bool any) const {
        for (size_t i = 0; i < objects_.rows.size(); ++i) {
            const auto& r = objects_.rows[i];
            if (IntOf(r[parent_]) != kTablesContainerId || !r[name_].IsString() ||
                !NamesEqual(r[name_].StringValue(), name))
                continue;
            if (any || IntOf(r[type_]) == 1) return static_cast<int>(i);
        }
        return -1;
    }

    // Relationships name tables and their columns by name: (table, column) for each end.
    void ReadRelationships() {
        int at = Find("MSysRelationships", false);
        if (at < 0) return;
        StoredTdef t =
            g_.ReadTdef(static_cast<uint32_t>(IntOf(objects_.rows[size_t(at)][id_])) & 0xFFFFFF,
                        "MSysRelationships");
        size_t object = ColumnAt(t.table, "szObject"), column = ColumnAt(t.table, "szColumn");
        size_t referenced = ColumnAt(t.table, "szReferencedObject"),
               referencedColumn = ColumnAt(t.table, "szReferencedColumn");
        auto text = [](const Variant& v) { return v.IsString() ? v.StringValue() : std::string(); };
        for (const auto& r : g_.Records(t)) {
            related_.emplace_back(text(r[object]), text(r[column]));
            related_.emplace_back(text(r[referenced]), text(r[referencedColumn]));
        }
    }

    // A table in a relationship is neither dropped nor renamed (the relationship names it), and
    // is replaced only by a layout that keeps the columns the relationship names.
    void CheckRelationships(const TableChange& c) {
        for (const auto& [table, column] : related_) {
            if (!NamesEqual(table, c.name)) continue;
            if (c.kind != TableChange::Kind::Write)
                Fail("テーブル " + c.name +
                     " はリレーションシップに含まれているため、削除も名前の変更もできません");
            bool kept = false;
            auto def = source_.TableDefs().Item(c.name);
            for (const auto& f : def->Fields()) kept |= NamesEqual(f->Name(), column);
            if (!kept)
                Fail("テーブル " + c.name + " のフィールド " + column +
                     " はリレーションシップに含まれているため、削除できません");
        }
    }

    bool InSource(const std::string& name) const {
        for (const auto& n : source_.TableDefs().Names())
            if (NamesEqual(n, name)) return true;
        return false;
    }

    void Check(const std::vector<TableChange>& changes) {
        std::set<std::string> named;
        auto once = [&](const std::string& name) {
            if (!named.insert(FoldName(name)).second)
                Fail("テーブル " + name + " への変更が重複しています");
        };
        auto userTable = [&](const std::string& name) {
            int at = Find(name, false);
            if (at < 0) Fail("テーブル " + name + " がファイルにありません");
            if (name.rfind("MSys", 0) == 0 ||
                (IntOf(objects_.rows[size_t(at)][flags_]) & 0x80000002))
                Fail("システム テーブル " + name + " は変更できません");
        };
        for (const auto& c : changes) {
            once(c.name);
            CheckRelationships(c);
            switch (c.kind) {
            case TableChange::Kind::Write:
                if (!InSource(c.name))
                    Fail("テーブル " + c.name + " が書き込む元のデータベースにありません");
                if (Find(c.name, false) >= 0)
                    userTable(c.name);
                else if (Find(c.name, true) >= 0)
                    Fail("ファイルに " + c.name + " という名前のオブジェクトが既にあります");
                if (c.name.rfind("MSys", 0) == 0)
                    Fail("システム テーブル " + c.name + " は変更できません");
                break;
            case TableChange::Kind::Drop:
                userTable(c.name);
                break;
            case TableChange::Kind::Rename:
                userTable(c.name);
                once(c.newName);
                if (c.newName.empty() || c.newName.rfind("MSys", 0) == 0 ||
                    Find(c.newName, true) >= 0)
                    Fail("テーブル " + c.name + " の名前を " + c.newName + " に変更できません");
                break;
            }
        }
    }

    void Write(PageFile& file, const std::vector<TableChange>& changes, GlobalMap& map,
               Release& release, bool& committed) {
        double now = OleNow();
        Rows rows = objects_.rows;
        Rows aceRows = aces_.rows;
        bool acesChange = false;
        for (const auto& c : changes) {
            int at = Find(c.name, false);
            if (c.kind == TableChange::Kind::Rename) {
                rows[size_t(at)][name_] = Variant(c.newName);
                rows[size_t(at)][updated_] = Variant::Date(now);
                continue;
            }
            int64_t oldId = at >= 0 ? IntOf(rows[size_t(at)][id_]) : 0;
            if (at >= 0) {
                release.Table(g_.ReadTdef(static_cast<uint32_t>(oldId) & 0xFFFFFF, c.name, false),
                              true);
            }
            if (c.kind == TableChange::Kind::Drop) {
                rows.erase(rows.begin() + at);
                objects_.rows.erase(objects_.rows.begin() + at); // keeps Find in step with rows
                continue;
            }
            std::vector<PropertySet> sets;
            UserTableEntry entry = WriteSourceTable(file, source_, c.name, file.Allocate(), &sets);
            int32_t newId = static_cast<int32_t>(entry.tdefPage);
            // A page Jet marked free should hold no permissions; any it does are not the new
            // table's.
            std::erase_if(aceRows, [&](const std::vector<Variant>& r) {
                return IntOf(r[aceObject_]) == newId;
            });
            std::vector<Variant> row;
            if (at >= 0) {
                row = rows[size_t(at)];
                const Variant& old = row[props_];
                if (old.IsString() && !old.StringValue().empty()) {
                    auto kept =
                        ParsePropertyBlob(old.StringValue(), file.Fmt(),
                                          [this](std::string_view b) { return g_.Text(b); });
                    if (!kept) Fail("テーブル " + c.name + " のプロパティが読めません");
                    std::vector<std::string> owners;
                    auto def = source_.TableDefs().Item(c.name);
                    for (const auto& f : def->Fields()) owners.push_back(f->Name());
                    sets = KeepUnknownProperties(std::move(sets), *kept, owners, kEngineProperties);
                }
                std::string blob = PropertyBlob(sets, file.Fmt());
                row[id_] = Variant::Long(newId);
                row[updated_] = Variant::Date(now);
                row[props_] = blob.empty() ? Variant::Null() : Variant(blob);
                rows[size_t(at)] = row;
                // The table's permissions go with it to its new Id.
                for (const auto& r : aces_.rows)
                    if (IntOf(r[aceObject_]) == oldId) {
                        aceRows.push_back(r);
                        aceRows.back()[aceObject_] = Variant::Long(newId);
                    }
            } else {
                rows.push_back(Arrange(objects_.tdef.table, ObjectsTable(file.Fmt()),
                                       ObjectRows({entry}, now, file.Fmt()).back()));
                // A new table inherits the Tables container's inheritable entries.
                bool inherited = false;
                for (const auto& r : aces_.rows)
                    if (IntOf(r[aceObject_]) == kTablesContainerId && !r[aceInherit_].IsNull() &&
                        IntOf(r[aceInherit_]) != 0) {
                        aceRows.push_back(r);
                        aceRows.back()[aceObject_] = Variant::Long(newId);
                        aceRows.back()[aceInherit_] = Variant::Boolean(false);
                        inherited = true;
                    }
                if (!inherited) {
                    Rows made = AceRows({entry}, file.Fmt());
                    for (size_t k = made.size() - 2; k < made.size(); ++k)
                        aceRows.push_back(
                            Arrange(aces_.tdef.table, AcesTable(file.Fmt()), made[k]));
                }
            }
            acesChange = true;
        }

        // The catalog's new content (and the permissions' with rows for the new Ids).
        std::string acesFirst;
        size_t acesMark = file.Allocated().size();
        if (acesChange) {
            TableContent c =
                WriteTableContent(file, aces_.tdef.table, aces_.tdef.page, RowsOf(aceRows));
            acesFirst = PlaceDefinition(file, Patched(aces_.tdef, c, jet3_));
        }
        std::vector<uint32_t> acesPages = AllocatedSince(file, acesMark);
        TableContent oc = WriteTableContent(file, objects_.tdef.table, kObjectsPage, RowsOf(rows));
        std::string objectsFirst = PlaceDefinition(file, Patched(objects_.tdef, oc, jet3_));

        // What the cleanup gives back, gathered while the old state is whole: the permissions
        // of Ids no object will have are dropped after the switch.
        std::set<int64_t> ids;
        for (const auto& r : rows) ids.insert(IntOf(r[id_]));
        Rows kept;
        for (const auto& r : aceRows)
            if (ids.count(IntOf(r[aceObject_]))) kept.push_back(r);
        const bool acesCleanup = kept.size() != aceRows.size();
        release.Table(objects_.tdef, false);
        if (acesChange || acesCleanup) release.Table(aces_.tdef, false);
        if (acesChange && acesCleanup) release.Pages(acesPages);
        release.Pages(map.OldBitmaps());
        std::set<uint32_t> given = release.All();

        // The new pages marked as used before anything refers to them.
        std::vector<uint32_t> bitmaps, dead;
        file.Write(1, map.Make(file, {}, bitmaps));
        dead.insert(dead.end(), bitmaps.begin(), bitmaps.end());
        file.Sync();
        if (acesChange) {
            file.Write(aces_.tdef.page, acesFirst);
            file.Sync();
        }
        file.Write(kObjectsPage, objectsFirst); // the switch
        file.Flush();
        committed = true;
        file.Sync();

        // Cleanup: a kill from here on leaves unused pages marked as used, or permissions of an
        // Id no object has: neither is visible. Old definitions are given back only once no
        // permissions name them, so that a new table given one of their pages has none.
        if (acesCleanup) {
            TableContent c =
                WriteTableContent(file, aces_.tdef.table, aces_.tdef.page, RowsOf(kept));
            std::string first = PlaceDefinition(file, Patched(aces_.tdef, c, jet3_));
            file.Write(1, map.Make(file, {}, bitmaps));
            dead.insert(dead.end(), bitmaps.begin(), bitmaps.end());
            file.Sync();
            file.Write(aces_.tdef.page, first);
            file.Sync();
        }
        given.insert(dead.begin(), dead.end());
        file.Write(1, map.Make(file, given, bitmaps));
        file.Sync();
    }

    std::string path_;
    Database& source_;
    GenuineFile g_;
    Stored objects_, aces_;
    size_t id_ = 0, parent_ = 0, name_ = 0, type_ = 0, updated_ = 0, props_ = 0, flags_ = 0;
    size_t aceObject_ = 0, aceInherit_ = 0;
    bool jet3_ = false;
    std::vector<std::pair<std::string, std::string>> related_;
};

} // namespace

void ApplyInPlace(const std::string& path, Database& source,
                  const std::vector<TableChange>& changes) {
    Apply(path, source).Run(changes);
}

} // namespace engine::detail::jet4
