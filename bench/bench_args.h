// What every benchmark's command line shares: its sizes as optional arguments, record count
// first, and one line "ratio NAME N: X" (or "ratio NAME: X") for each comparison.
#pragma once

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace bench {

// text as a whole number of at least 1; anything else ends the program with its usage line
// (a count of 0 or a word would run nothing, or divide by nothing, and print figures anyway).
inline long PositiveCount(const char* text, const char* program, const char* usage) {
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < 1) {
        std::fprintf(stderr, "%s: not a count: %s\nusage: %s %s\n", program, text, program, usage);
        std::exit(2);
    }
    return value;
}

// The record counts: every argument, or defaults when there is none.
inline std::vector<long> RecordCounts(int argc, char** argv, std::vector<long> defaults) {
    std::vector<long> counts;
    for (int i = 1; i < argc; ++i) counts.push_back(PositiveCount(argv[i], argv[0], "[N ...]"));
    return counts.empty() ? defaults : counts;
}

// The count at argument index (repetitions, table or field counts), or fallback when absent.
inline long CountArgument(int argc, char** argv, int index, long fallback, const char* usage) {
    return index < argc ? PositiveCount(argv[index], argv[0], usage) : fallback;
}

inline void PrintRatio(const char* name, long records, double ratio) {
    std::printf("ratio %s %ld: %.2f\n", name, records, ratio);
}

inline void PrintRatio(const char* name, double ratio) {
    std::printf("ratio %s: %.2f\n", name, ratio);
}

} // namespace bench
