// Genuine Jet files through the command line: the module declares exactly the tables and
// fields that mdb-schema (mdbtools) reports for each file, with the member types that follow
// from the reported field types.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <regex>

#include "engine/error.h"
#include "engine/testing/shared_test_data.h"
#include "support.h"

using namespace vespentest;

namespace {

using FieldList = std::vector<std::pair<std::string, std::string>>; // member name, VB type
using Schema = std::map<std::string, FieldList>;                    // by table name

std::string JetDir() {
    return std::string(TESTDATA_DIR) + "/jet";
}

std::string Padded(std::string name) {
    std::replace(name.begin(), name.end(), ' ', '_');
    return name;
}

std::string VbTypeOf(const std::string& schemaType) {
    static const std::map<std::string, std::string> types = {
        {"Boolean", "Boolean"},       {"Byte", "Byte"},         {"Integer", "Integer"},
        {"Long Integer", "Long"},     {"Currency", "Currency"}, {"Single", "Single"},
        {"Double", "Double"},         {"DateTime", "Date"},     {"Text", "String"},
        {"Memo/Hyperlink", "String"}, {"Numeric", "Long"},
    };
    auto it = types.find(schemaType);
    return it == types.end() ? "Variant" : it->second; // OLE, Replication ID, binary
}

std::string Capture(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) return {};
    std::string out;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe.get())) > 0) out.append(buffer, n);
    return out;
}

// Tables and fields as mdb-schema's Access dialect lists them.
Schema SchemaOf(const std::string& file) {
    Schema schema;
    static const std::regex table(R"(^CREATE TABLE \[(.*)\]$)");
    static const std::regex field(R"(^\t\[(.*)\]\t+(.*?)(?: \(\d+\))?(?: NOT NULL)?,? *$)");
    std::string current;
    for (const std::string& line :
         SplitLines(Capture("mdb-schema --no-not-null '" + file + "' access 2>/dev/null"))) {
        std::smatch m;
        if (std::regex_match(line, m, table)) {
            current = m[1];
            schema[current];
        } else if (!current.empty() && std::regex_match(line, m, field)) {
            schema[current].push_back({Padded(m[1]), VbTypeOf(m[2])});
        }
    }
    return schema;
}

// Tables and record members of a generated module, arrays expanded into their elements.
Schema ModuleOf(const std::vector<std::string>& lines) {
    Schema schema;
    static const std::regex comment(R"(^'   (.*)テーブルの定義$)");
    static const std::regex member(R"(^    (.+?)(?: \(1 To (\d\d)\))? As (\w+)(?:     '.*)?$)");
    std::string current;
    bool inType = false;
    for (const std::string& line : lines) {
        std::smatch m;
        if (std::regex_match(line, m, comment)) {
            current = m[1];
            schema[current];
        } else if (line.rfind("Type ", 0) == 0) {
            inType = true;
        } else if (line == "End Type") {
            inType = false;
        } else if (inType && std::regex_match(line, m, member)) {
            if (m[2].matched) {
                int n = std::stoi(m[2]);
                for (int i = 1; i <= n; ++i)
                    schema[current].push_back(
                        {m[1].str() + "_" + (i < 10 ? "0" : "") + std::to_string(i), m[3]});
            } else {
                schema[current].push_back({m[1], m[3]});
            }
        }
    }
    return schema;
}

bool HasJetHeader(const std::string& file) {
    std::string head = ReadBytes(file).substr(0, 32);
    return head.size() >= 19 &&
           (head.substr(4, 15) == "Standard Jet DB" || head.substr(4, 15) == "Standard ACE DB");
}

// Why a Jet file cannot be opened yet: the engine's 3343 refusal, or "" when it opens.
std::string JetRefusal(const std::string& file) {
    try {
        Ws().OpenDatabase(file)->Close();
    } catch (const engine::Error& e) {
        if (e.Number() == engine::err::kBadFormat && HasJetHeader(file)) return e.Description();
        throw;
    }
    return {};
}

TEST(JetFiles, CommandLineModuleMatchesMdbSchemaForEveryFile) {
    SKIP_WITHOUT_SHARED_TEST_DATA();
    if (Capture("command -v mdb-schema").empty())
        GTEST_SKIP() << "mdb-schema (mdbtools) is not installed";
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(JetDir()))
        if (e.path().extension() == ".mdb") files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty());

    std::vector<std::string> refusals;
    for (const std::string& file : files)
        if (std::string why = JetRefusal(file); !why.empty()) refusals.push_back(why);
    if (refusals.size() == files.size())
        GTEST_SKIP() << "the engine cannot read genuine Jet files yet (every file answers 3343): "
                     << refusals.front();

    TempDir dir;
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        Schema expected = SchemaOf(file);
        std::string out = dir.File(fs::path(file).stem().string() + ".bas");
        ProcessResult r = RunVespen({"--db", file, "--out", out});
        if (expected.empty()) {
            EXPECT_EQ(r.exitCode, 1);
            EXPECT_NE(r.err.find("該当するテーブルがありません。"), std::string::npos) << r.err;
            continue;
        }
        ASSERT_EQ(r.exitCode, 0) << r.err;
        std::vector<std::string> lines = SplitLines(FromCp932(ReadBytes(out)), "\r\n");
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.front(), "Attribute VB_Name = \"" + fs::path(file).stem().string() + "\"");
        EXPECT_EQ(ModuleOf(lines), expected);
    }
}

} // namespace
