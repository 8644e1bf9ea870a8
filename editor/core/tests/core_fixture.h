// A layout document over a fresh work database, and prompts that record what was said.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/Defaults.h"
#include "core/LayoutDocument.h"
#include "core/TypeVocabulary.h"
#include "core/UserPrompts.h"
#include "core/WorkTable.h"
#include "engine/testing/test_support.h"
#include "engine/variant.h"

namespace coretest {

// Records what was said and asked; answers each question as answers says, else from turns (a
// question answered by neither fails the test and is answered Cancel). A failure is recorded as
// its text.
class RecordedPrompts : public tavorin::UserPrompts {
  public:
    void Say(const std::string& text) override {
        said.push_back(text);
        transcript.push_back(text);
    }
    void Inform(const std::string& text) override {
        said.push_back(text);
        transcript.push_back(text);
    }
    void SayFailure(const std::string& text, const std::string&) override {
        said.push_back(text);
        transcript.push_back(text);
    }
    Answer Ask(const std::string& text, Buttons) override {
        asked.push_back(text);
        transcript.push_back(text);
        if (onAsk) onAsk(text);
        const auto it = answers.find(text);
        if (it != answers.end()) return it->second;
        if (!turns.empty()) {
            const Answer answer = turns.front();
            turns.erase(turns.begin());
            return answer;
        }
        ADD_FAILURE() << "unexpected question: " << text;
        return Answer::Cancel;
    }
    std::vector<std::string> said;                 // the messages
    std::vector<std::string> asked;                // the questions
    std::vector<std::string> transcript;           // messages and questions, in the order they came
    std::map<std::string, Answer> answers;         // the answer to a question, by its text
    std::vector<Answer> turns;                     // else the answers to the questions, in turn
    std::function<void(const std::string&)> onAsk; // runs as each question is asked
};

// One work row as a layout line: FLD01..FLD05, the six key entries, the description and the
// as-loaded name.
struct Line {
    int row;
    std::string name;
    std::string type = "dbLong";
    int size = 4;
    std::string repeat{};
    std::array<std::string, 6> keys{};
    std::string description{};
    std::string loadedName{}; // FLD13..FLD16: the stored field the row was loaded from
    std::string loadedType{};
    int loadedSize = 0;
    std::string loadedRepeat{};
};

inline const char* KeyColumn(size_t key) {
    static const char* const kColumns[6] = {"FLD06", "FLD07", "FLD08", "FLD09", "FLD10", "FLD11"};
    return kColumns[key];
}

class DocumentTest : public ::testing::Test {
  protected:
    void SetUp() override {
        defaults.SetStartDefaults();
        tavorin::CreateWorkDatabase(dir.File("work.mdb"));
        db = enginetest::Ws().OpenDatabase(dir.File("work.mdb"));
        rows = db->OpenRecordset(tavorin::kWorkTableSql);
    }
    void TearDown() override {
        rows->Close();
        db->Close();
    }

    // Empties the work table and re-opens the document's recordset on it.
    void ClearRows() {
        rows->Close();
        db->Execute(tavorin::kClearWorkTableSql);
        rows = db->OpenRecordset(tavorin::kWorkTableSql);
    }

    void Write(const std::vector<Line>& lines) {
        for (const Line& line : lines) {
            rows->AddNew();
            rows->SetValue("FLD01", engine::Variant::Long(line.row));
            rows->SetValue("FLD02", engine::Variant(line.name));
            rows->SetValue("FLD03", engine::Variant(line.type));
            rows->SetValue("FLD04", engine::Variant::Integer(static_cast<int16_t>(line.size)));
            rows->SetValue("FLD05", engine::Variant(line.repeat));
            for (size_t k = 0; k < 6; ++k)
                rows->SetValue(KeyColumn(k), engine::Variant(line.keys[k]));
            rows->SetValue("FLD12", engine::Variant(line.description));
            rows->SetValue("FLD13", engine::Variant(line.loadedName));
            rows->SetValue("FLD14", engine::Variant(line.loadedType));
            rows->SetValue("FLD15",
                           engine::Variant::Integer(static_cast<int16_t>(line.loadedSize)));
            rows->SetValue("FLD16", engine::Variant(line.loadedRepeat));
            rows->Update();
            doc.LastRow = std::max(doc.LastRow, line.row);
        }
        rows->Requery();
    }

    // Column FLDnn of row as text; "<none>" when the row does not exist.
    std::string StoredText(int row, const std::string& column) {
        engine::RecordsetPtr rs =
            db->OpenRecordset("SELECT * FROM WKTBL WHERE FLD01 = " + std::to_string(row),
                              engine::RecordsetType::Snapshot);
        return rs->Eof() ? "<none>" : engine::TextOf(rs->Value(column));
    }

    // The field names of the rows, in row order, as "row:name".
    std::vector<std::string> Names() {
        std::vector<std::string> names;
        engine::RecordsetPtr rs =
            db->OpenRecordset(tavorin::kWorkTableSql, engine::RecordsetType::Snapshot);
        for (; !rs->Eof(); rs->MoveNext())
            names.push_back(engine::TextOf(rs->Value("FLD01")) + ":" +
                            engine::TextOf(rs->Value("FLD02")));
        return names;
    }

    enginetest::TempDir dir;
    engine::DatabasePtr db;
    engine::RecordsetPtr rows;
    tavorin::DesignerDefaults defaults;
    tavorin::LayoutDocument doc{db, rows, defaults};
    RecordedPrompts prompts;
};

} // namespace coretest
