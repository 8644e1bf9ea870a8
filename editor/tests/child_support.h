// Helpers of the crash tests: a program of the designer started in a child process on the
// offscreen platform, its standard error kept in a file, and digests of a table's records.
#pragma once

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

extern char** environ;

namespace childtest {

struct Child {
    pid_t pid;
    std::string errPath;
};

// Starts exe with arguments; its standard error goes to errPath, its output nowhere. A child that
// could not start has pid -1 (and the test has failed).
inline Child StartChild(const std::string& exe, std::vector<std::string> arguments,
                        const std::string& errPath) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> env = {"QT_QPA_PLATFORM=offscreen"};
    for (char** e = environ; *e; ++e)
        if (std::string(*e).rfind("QT_QPA_PLATFORM=", 0) != 0) env.emplace_back(*e);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string program = exe;
    std::vector<char*> argv = {program.data()};
    for (std::string& a : arguments) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(rc, 0);
    return {pid, errPath};
}

// Kills the child. Only a real child: kill(-1, ...) would kill every process the user may signal.
inline void Kill(pid_t pid) {
    if (pid > 0) kill(pid, SIGKILL);
}

inline int Wait(pid_t pid) {
    int status = 0;
    if (pid > 0) waitpid(pid, &status, 0);
    return status;
}

inline size_t Digest(const std::vector<std::string>& rows) {
    size_t h = rows.size();
    for (const auto& r : rows) h = h * 1000003u ^ std::hash<std::string>()(r);
    return h;
}

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace childtest
