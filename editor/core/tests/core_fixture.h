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
#include "core/testing/layout_lines.h"
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

class DocumentTest : public ::testing::Test {
  protected:
    void SetUp() override {
        defaults.SetStartDefaults();
        tavorin::CreateWorkDatabase(enginetest::Ws(), dir.File("work.mdb"));
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
        doc.LastRow = std::max(doc.LastRow, WriteLines(*rows, lines));
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
    tavorin::LayoutDocument doc{enginetest::Ws(), db, rows, defaults};
    RecordedPrompts prompts;
};

} // namespace coretest
