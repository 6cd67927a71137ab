// Runs a command-line program as its own process, with standard output and
// error captured in files of io, and gives back its exit status and output.
#pragma once

#include "testrecordings.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <string>
#include <utility>
#include <vector>

extern char** environ;

namespace testrec {

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Starts the program with its output going to io's files; 0 when it could not start.
inline pid_t startTool(std::vector<std::string> args, const TempDir& io) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, io.file("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&fa, 2, io.file("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    return rc == 0 ? pid : 0;
}

inline ToolRun runTool(std::vector<std::string> args, const TempDir& io) {
    ToolRun r;
    const pid_t pid = startTool(std::move(args), io);
    EXPECT_NE(pid, 0);
    int ws = 0;
    if (pid != 0 && waitpid(pid, &ws, 0) == pid && WIFEXITED(ws)) r.status = WEXITSTATUS(ws);
    const auto out = readBytes(io.file("out")), err = readBytes(io.file("err"));
    r.out.assign(out.begin(), out.end());
    r.err.assign(err.begin(), err.end());
    return r;
}

}  // namespace testrec
