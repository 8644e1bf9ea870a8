// Damaged copies of every Jet test file: truncated, or with random bytes in the header, the
// table definitions, the usage maps, the index pages and the data pages. Each one is opened
// and read completely; each must end in a clean read or error 3343 within the time bound,
// without a crash of this process, a hang, or a child process or temporary file left behind.
// Four threads with a workspace each convert in parallel to keep the run short.
#include <atomic>
#include <chrono>
#include <mutex>
#include <random>
#include <thread>

#include "engine/testing/jet_test_support.h"
#include "engine/testing/shared_test_data.h"
#include "engine/testing/test_support.h"
#include "jet/jet_reader.h"

using namespace engine;
using namespace enginetest;
using namespace jettest;

namespace {

constexpr int kCopiesPerFile = 200;
constexpr auto kTimeLimit = std::chrono::milliseconds(1500);

enum class Damage { Truncate, Header, TableDefinition, UsageMap, Index, Data, Anywhere };

std::string Damaged(const std::string& original, std::mt19937& rng, Damage damage) {
    std::string b = original;
    const size_t pageSize = original[0x14] == 0 ? 2048 : 4096;
    const size_t pages = b.size() / pageSize;
    auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
    auto scribble = [&](size_t begin, size_t length) {
        size_t count = 1 + pick(8);
        for (size_t i = 0; i < count; ++i) b[begin + pick(length)] = static_cast<char>(pick(256));
    };
    // A page of the given type (first byte), or any page when the file has none.
    auto pageOfType = [&](char type) {
        std::vector<size_t> matching;
        for (size_t p = 1; p < pages; ++p)
            if (b[p * pageSize] == type) matching.push_back(p);
        return matching.empty() ? 1 + pick(pages - 1) : matching[pick(matching.size())];
    };
    switch (damage) {
    case Damage::Truncate:
        b.resize(pick(b.size()));
        break;
    case Damage::Header:
        scribble(0, pageSize);
        break;
    case Damage::TableDefinition:
        scribble(pageOfType(0x02) * pageSize, pageSize);
        break;
    case Damage::UsageMap: {
        // Usage maps are rows near the end of data pages; map pages are type 5.
        size_t p = pick(2) ? pageOfType(0x05) : pageOfType(0x01);
        scribble(p * pageSize + pageSize / 2, pageSize / 2);
        break;
    }
    case Damage::Index:
        scribble(pageOfType(pick(2) ? 0x03 : 0x04) * pageSize, pageSize);
        break;
    case Damage::Data:
        scribble(pageOfType(0x01) * pageSize, pageSize);
        break;
    case Damage::Anywhere:
        scribble(0, b.size());
        break;
    }
    return b;
}

// Reads everything the database shows: definitions, properties and every value.
void ReadEverything(const DatabasePtr& db) {
    for (const auto& name : db->TableDefs().Names()) {
        TableDefPtr td = db->TableDefs().Item(name);
        for (const auto& f : td->Fields()) {
            (void)f->Type();
            for (const auto& p : f->Properties()) (void)p->Value();
        }
        for (const auto& ix : td->Indexes()) (void)ix->Fields().Count();
        RecordsetPtr rs = db->OpenRecordset(name, RecordsetType::Snapshot);
        for (; !rs->Eof(); rs->MoveNext())
            for (size_t i = 0; i < rs->FieldCount(); ++i) (void)rs->Value(i);
    }
}

} // namespace

TEST(JetDamage, DamagedCopiesEndInACleanReadOrBadFormat) {
    SKIP_WITHOUT_SHARED_TEST_DATA();
    TempDir dir;
    detail::SetJetReadTimeLimit(kTimeLimit, std::chrono::milliseconds(0));
    struct Job {
        std::string path;
        std::string label;
    };
    std::vector<Job> jobs;
    std::mt19937 rng(20240531);
    const Damage kinds[] = {Damage::Truncate, Damage::Header, Damage::TableDefinition,
                            Damage::UsageMap, Damage::Index,  Damage::Data,
                            Damage::Anywhere};
    for (const char* file : kJetFiles) {
        const std::string original = ReadWhole(JetFile(file));
        ASSERT_FALSE(original.empty()) << file;
        for (int i = 0; i < kCopiesPerFile; ++i) {
            Damage kind = kinds[static_cast<size_t>(i) % std::size(kinds)];
            std::string name = std::string(file) + "." + std::to_string(i) + ".mdb";
            jobs.push_back({WriteFile(dir, name, Damaged(original, rng, kind)), name});
        }
    }

    std::atomic<size_t> next{0}, clean{0}, refused{0};
    std::mutex failures;
    std::vector<std::string> problems;
    auto worker = [&] {
        Workspace ws;
        for (size_t i; (i = next++) < jobs.size();) {
            const Job& job = jobs[i];
            auto start = std::chrono::steady_clock::now();
            std::string problem;
            try {
                DatabasePtr db = ws.OpenDatabase(job.path);
                ReadEverything(db);
                ++clean;
            } catch (const Error& e) {
                const std::string& d = e.Description();
                // A sanitizer report of the reader (in checking builds) is a fault, not a refusal.
                bool sanitizer = d.find("Sanitizer") != std::string::npos ||
                                 d.find("runtime error") != std::string::npos;
                if (e.Number() == err::kBadFormat && d.find(job.path) != std::string::npos &&
                    !sanitizer)
                    ++refused;
                else
                    problem = "error " + std::to_string(e.Number()) + ": " + d;
            } catch (const std::exception& e) {
                problem = std::string("exception: ") + e.what();
            }
            auto took = std::chrono::steady_clock::now() - start;
            if (took > kTimeLimit + std::chrono::seconds(2))
                problem +=
                    " took " +
                    std::to_string(
                        std::chrono::duration_cast<std::chrono::milliseconds>(took).count()) +
                    " ms";
            if (!problem.empty()) {
                std::lock_guard<std::mutex> lock(failures);
                problems.push_back(job.label + ": " + problem);
            }
        }
    };
    // Most of a conversion is process start-up and waiting: more workers than cores pay off.
    std::vector<std::thread> workers;
    for (int i = 0; i < 4; ++i) workers.emplace_back(worker);
    for (auto& w : workers) w.join();
    detail::SetJetReadTimeLimit(std::chrono::seconds(10), std::chrono::seconds(1));

    for (const auto& p : problems) ADD_FAILURE() << p;
    EXPECT_EQ(clean + refused, jobs.size());
    EXPECT_GT(refused.load(), 0u);
    EXPECT_GT(clean.load(), 0u);
    std::printf("damaged copies: %zu read cleanly, %zu refused with 3343\n", clean.load(),
                refused.load());
    EXPECT_TRUE(ChildProcesses().empty());
    std::string folder = detail::JetCopyFolder();
    EXPECT_TRUE(LeftoverFiles(folder).empty());
    EXPECT_LE(CopiesIn(folder), 16u);
    detail::ForgetJetCopies();
    EXPECT_EQ(CopiesIn(folder), 0u);
}
