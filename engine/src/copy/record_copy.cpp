// A copy plan run record by record through the object model (engine/copy_plan.h): the run a
// plan takes when its statement is declined or meets a failing value, which stops at the first
// value that does not convert and names it. Only the public object model is used here.
#include <optional>
#include <string>
#include <vector>

#include "engine/copy_plan.h"
#include "engine/database.h"
#include "engine/error.h"
#include "engine/names.h"
#include "engine/recordset.h"
#include "engine/variant.h"

namespace engine {
namespace {

bool IsBlank(const Variant& v) {
    return v.IsNull() || v.IsEmpty() || (v.IsString() && v.StringValue().empty());
}

// One field of the plan with its positions looked up once.
struct Slot {
    const CopyField* field = nullptr;
    long position = 0; // 1-based, in the plan's fields
    size_t target = 0;
    bool allowZeroLength = false;
    std::optional<size_t> source; // none: looked up by name for each value, which fails there
    bool keeps = false;           // the conversion gives every value but a blank back as it is
};

class RecordRun {
  public:
    RecordRun(Recordset& src, Recordset& dst, const CopyPlan& plan)
        : src_(src), dst_(dst), plan_(plan) {
        long position = 0;
        for (const CopyField& f : plan.fields) {
            Slot s;
            s.field = &f;
            s.position = ++position;
            s.target = dst.FieldIndex(f.target);
            s.allowZeroLength = dst.FieldAt(s.target).allowZeroLength;
            if (!f.source.empty()) {
                try {
                    s.source = src.FieldIndex(f.source);
                } catch (const Error&) {
                    // Left to the conversion, which fails at the first record in its own words.
                }
            }
            s.keeps = !f.conversion || f.conversion->KeepsValues();
            slots_.push_back(s);
        }
    }

    const std::vector<Slot>& Slots() const { return slots_; }

    // The value of a linked field for the target, or nullptr when its conversion failed
    // (failure_ then says where and why).
    const Variant* Linked(const Slot& s) {
        try {
            const Variant& value = s.source ? src_.Value(*s.source) : src_.Value(s.field->source);
            const Variant* v = &value;
            if (s.field->conversion && !(s.keeps && !IsBlank(value))) {
                converted_ = s.field->conversion->Apply(value);
                v = &converted_;
            }
            return Stored(s, *v);
        } catch (const Error& e) {
            failure_.done = false;
            failure_.failedField = s.position;
            failure_.failedTarget = s.field->target;
            failure_.errorNumber = e.Number();
            failure_.errorDescription = e.Description();
            return nullptr;
        }
    }

    // The current source record into a new target record (add) or the current one. False when a
    // value failed; the record is then cancelled.
    bool Copy(bool add) {
        if (add)
            dst_.AddNew();
        else
            dst_.Edit();
        for (const Slot& s : slots_) {
            const CopyField& f = *s.field;
            if (!f.source.empty() && !f.autoNumber) {
                const Variant* v = Linked(s);
                if (!v) {
                    dst_.CancelUpdate();
                    return false;
                }
                dst_.SetValue(s.target, *v);
            } else if (!f.source.empty()) {
                // The engine numbers an auto number; one that was an auto number already keeps
                // its values, which other tables may refer to.
                if (f.keepNumbers) dst_.SetValue(s.target, src_.Value(f.source));
            } else if (add && !f.autoNumber) {
                dst_.SetValue(s.target, f.textual ? Blank(s) : Zero());
            }
        }
        dst_.Update();
        return true;
    }

    const RecordCopyResult& Failure() const { return failure_; }

  private:
    // A blank becomes the empty text where the field allows it and Null where not. The save
    // counts only the empty text as blank (a Null a conversion keeps stays Null); the import
    // counts every blank.
    const Variant* Stored(const Slot& s, const Variant& v) const {
        const bool blank =
            plan_.mode == CopyMode::Carry ? v.IsString() && v.StringValue().empty() : IsBlank(v);
        return blank ? &Blank(s) : &v;
    }
    const Variant& Blank(const Slot& s) const { return s.allowZeroLength ? emptyText_ : null_; }
    const Variant& Zero() const { return plan_.mode == CopyMode::Carry ? longZero_ : integerZero_; }

    Recordset& src_;
    Recordset& dst_;
    const CopyPlan& plan_;
    std::vector<Slot> slots_;
    Variant converted_;
    RecordCopyResult failure_;
    const Variant emptyText_{""};
    const Variant null_ = Variant::Null();
    const Variant longZero_ = Variant::Long(0);
    const Variant integerZero_ = Variant::Integer(0);
};

} // namespace

RecordCopyResult CopyRecordByRecord(Database& source, Database& target, const CopyPlan& plan,
                                    Workspace& ws, std::optional<TransactionGuard>& transaction,
                                    const std::function<void(const CopyCounts&)>& progress) {
    const bool keyed = plan.mode != CopyMode::Carry && plan.mode != CopyMode::ReplaceAll;
    RecordsetPtr dst, src;
    if (plan.mode == CopyMode::Carry) {
        dst = target.OpenRecordset("SELECT * FROM " + BracketedName(plan.targetTable),
                                   RecordsetType::Dynaset);
        src = source.OpenRecordset("SELECT * FROM " + BracketedName(plan.sourceTable),
                                   RecordsetType::Snapshot);
    } else if (plan.mode == CopyMode::ReplaceAll) {
        // The target's records go before the source's are read.
        transaction.emplace(ws);
        target.Execute("DELETE * FROM " + BracketedName(plan.targetTable));
        dst = target.OpenRecordset("SELECT * FROM " + BracketedName(plan.targetTable),
                                   RecordsetType::Dynaset);
        src = source.OpenRecordset(plan.sourceStatement, RecordsetType::Snapshot);
    } else {
        dst = target.OpenRecordset(plan.targetTable, RecordsetType::Table);
        dst->SetIndex(plan.keyIndex);
        src = source.OpenRecordset(plan.sourceStatement, RecordsetType::Snapshot);
    }
    // The fields are looked up before the copy begins: a target without one fails with nothing
    // begun.
    RecordRun run(*src, *dst, plan);
    if (plan.mode != CopyMode::ReplaceAll) transaction.emplace(ws);
    std::vector<size_t> keySlots;
    if (keyed) {
        for (long at : plan.keyFields) {
            if (at < 1 || at > static_cast<long>(run.Slots().size()))
                Throw(err::kItemNotFound, plan.keyIndex);
            keySlots.push_back(static_cast<size_t>(at - 1));
        }
    }
    const bool adds = plan.mode != CopyMode::UpdateOnly;
    const bool updates = plan.mode != CopyMode::AddOnly;
    std::vector<Variant> keys(keySlots.size());
    CopyCounts counts;
    bool failed = false;
    while (!src->Eof() && !failed) {
        if (!keyed) {
            failed = !run.Copy(true);
            if (!failed) ++counts.written;
        } else {
            for (size_t r = 0; r < keySlots.size() && !failed; ++r) {
                const Variant* v = run.Linked(run.Slots()[keySlots[r]]);
                if (v)
                    keys[r] = *v;
                else
                    failed = true;
            }
            if (failed) break;
            dst->Seek("=", keys);
            const bool found = !dst->NoMatch();
            if ((found && updates) || (!found && adds)) {
                failed = !run.Copy(!found);
                if (!failed) ++counts.written;
            }
        }
        if (failed) break;
        src->MoveNext();
        ++counts.read;
        if (progress) progress(counts);
    }
    src->Close();
    dst->Close();
    RecordCopyResult result = failed ? run.Failure() : RecordCopyResult{};
    result.done = !failed;
    result.counts = counts;
    return result;
}

} // namespace engine
