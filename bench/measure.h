// Runs one measured piece of a benchmark in a child process of its own, so that the time, the
// processor time and the peak memory printed are that piece's alone.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

struct Figures {
    double seconds;    // as the child measured it
    double peakMb;     // the child's peak resident memory
    double cpuSeconds; // the child's user and system time, all of it
};

// fn runs in the child and returns its own timing in seconds; a child that fails ends the
// benchmark.
template <class F> Figures Measure(F&& fn) {
    int fds[2];
    if (pipe(fds) != 0) std::exit(1);
    std::fflush(stdout);
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        double secs = fn();
        if (write(fds[1], &secs, sizeof secs) != sizeof secs) _exit(1);
        _exit(0);
    }
    close(fds[1]);
    double secs = -1;
    if (read(fds[0], &secs, sizeof secs) != sizeof secs) secs = -1;
    close(fds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || secs < 0) {
        std::fprintf(stderr, "a measured run failed\n");
        std::exit(1);
    }
    const double cpu = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
                       (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return {secs, usage.ru_maxrss / 1024.0, cpu};
}

// The middle one of a benchmark's run times (its runs take turns, and one disk sync can take twice
// as long as the next).
// 0 when there were none.
inline double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}
