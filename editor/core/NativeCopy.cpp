// The native copy of a read-only database, written through the engine's object model.
#include "core/NativeCopy.h"

#include <chrono>
#include <cstdio>
#include <vector>

#include "core/Criteria.h"
#include "engine/database.h"
#include "engine/transaction_guard.h"
#include "engine/types.h"
#include "engine/workspace.h"

namespace tavorin {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kProgressInterval = std::chrono::milliseconds(50);

void CopyProperties(const engine::Properties& from, engine::Properties& to,
                    const std::function<engine::PropertyPtr(const engine::Property&)>& make) {
    for (const engine::PropertyPtr& p : from)
        if (!to.Contains(p->Name())) to.Append(make(*p));
}

engine::TableDefPtr DefinitionCopy(engine::Database& target, engine::TableDef& source) {
    engine::TableDefPtr table = target.CreateTableDef(source.Name());
    for (const engine::FieldPtr& f : source.Fields()) {
        engine::FieldPtr field = table->CreateField(f->Name(), f->Type(), f->Size());
        // A replication ID (an auto GUID, filled by Jet with GenGUID()) becomes a plain GUID
        // field: the native engine numbers only Long auto numbers. Its values and its default
        // expression are kept.
        long attributes = f->Attributes();
        if (f->Type() == engine::dao::dbGUID) attributes &= ~engine::dao::dbAutoIncrField;
        field->SetAttributes(attributes);
        field->SetAllowZeroLength(f->AllowZeroLength());
        field->SetRequired(f->Required());
        if (!f->DefaultValue().empty()) field->SetDefaultValue(f->DefaultValue());
        CopyProperties(f->Properties(), field->Properties(), [&](const engine::Property& p) {
            return field->CreateProperty(p.Name(), p.Type(), p.Value());
        });
        table->Fields().Append(field);
    }
    for (const engine::IndexPtr& ix : source.Indexes()) {
        engine::IndexPtr index = table->CreateIndex(ix->Name());
        index->SetPrimary(ix->Primary());
        index->SetUnique(ix->Unique());
        index->SetIgnoreNulls(ix->IgnoreNulls());
        index->SetRequired(ix->Required());
        for (const engine::FieldPtr& member : ix->Fields()) {
            engine::FieldPtr copy = index->CreateField(member->Name());
            copy->SetAttributes(member->Attributes());
            index->Fields().Append(copy);
        }
        table->Indexes().Append(index);
    }
    CopyProperties(source.Properties(), table->Properties(), [&](const engine::Property& p) {
        return table->CreateProperty(p.Name(), p.Type(), p.Value());
    });
    return table;
}

void CopyRecords(engine::Database& source, engine::Database& target, const std::string& table,
                 const CopyProgress& progress) {
    engine::RecordsetPtr from = source.OpenRecordset(table, engine::RecordsetType::Snapshot);
    engine::RecordsetPtr to =
        target.OpenRecordset("SELECT * FROM " + Bracketed(table), engine::RecordsetType::Dynaset);
    // The two sides' fields by position, matched by name once.
    std::vector<std::pair<size_t, size_t>> columns;
    for (size_t i = 0; i < from->FieldCount(); ++i)
        columns.emplace_back(i, to->FieldIndex(from->FieldAt(i).name));
    long records = 0;
    Clock::time_point shown = Clock::now();
    for (; !from->Eof(); from->MoveNext()) {
        to->AddNew();
        for (const auto& [in, out] : columns) to->SetValue(out, from->Value(in));
        to->Update();
        ++records;
        if (progress && Clock::now() - shown >= kProgressInterval) {
            progress(table, records);
            shown = Clock::now();
        }
    }
    if (progress) progress(table, records);
    to->Close();
    from->Close();
}

} // namespace

void WriteNativeCopy(engine::Workspace& ws, const std::string& source, const std::string& target,
                     const CopyProgress& progress) {
    engine::DatabasePtr from = ws.OpenDatabase(source, false, true);
    std::string locale = from->Connect();
    if (locale.empty()) locale = engine::kLangJapanese;
    engine::DatabasePtr to = ws.CreateDatabase(target, locale);
    try {
        {
            engine::TransactionGuard copy(ws);
            for (const std::string& name : from->TableDefs().Names()) {
                engine::TableDefPtr definition = from->TableDefs().Item(name);
                to->TableDefs().Append(DefinitionCopy(*to, *definition));
                CopyRecords(*from, *to, name, progress);
            }
            copy.Commit();
        }
        to->Close();
        from->Close();
    } catch (...) {
        // Rolled back by the guard unless committed.
        to->Close();
        from->Close();
        std::remove(target.c_str());
        std::remove((target + "-journal").c_str());
        throw;
    }
}

} // namespace tavorin
