// Telling a live process from a later one that was given the same pid: files a process leaves
// for itself carry its pid and start time, and only the files of processes that no longer run
// are removed by others.
#pragma once

#include <sys/types.h>

#include <optional>

namespace engine::detail {

// The start time of a process (field 22 of /proc/<pid>/stat), nullopt when it does not run.
std::optional<unsigned long long> StartTimeOf(pid_t pid);

// True when the process with this pid and start time still runs.
bool ProcessRuns(unsigned long long pid, unsigned long long startTime);

} // namespace engine::detail
