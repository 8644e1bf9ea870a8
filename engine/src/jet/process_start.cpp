#include "jet/process_start.h"

#include <cstdlib>
#include <fstream>
#include <string>

namespace engine::detail {

std::optional<unsigned long long> StartTimeOf(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(in, line)) return std::nullopt;
    size_t close = line.rfind(')');
    if (close == std::string::npos) return std::nullopt;
    const char* p = line.c_str() + close + 1;
    // Fields after the command name start at field 3; the start time is field 22.
    for (int field = 3; field < 22; ++field) {
        while (*p == ' ') ++p;
        while (*p && *p != ' ') ++p;
    }
    char* end = nullptr;
    unsigned long long v = std::strtoull(p, &end, 10);
    if (end == p) return std::nullopt;
    return v;
}

bool ProcessRuns(unsigned long long pid, unsigned long long startTime) {
    auto live = StartTimeOf(static_cast<pid_t>(pid));
    return live && *live == startTime;
}

} // namespace engine::detail
