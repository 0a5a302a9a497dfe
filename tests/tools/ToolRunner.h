// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace flashkit::test {

struct ToolResult {
    int exitCode = -1;  // the exit status, or 128 + signal
    std::string out;
    std::string err;
};

// Runs the built flashkit binary with extra environment entries ("NAME=value"; "NAME=" with
// an empty value removes NAME), standard input from `input`, and collects its output.
// `interruptAfterMs` > 0 sends SIGINT that long after the start; with `interruptWhen`, only once
// standard output shows that text (however long the start takes on a loaded machine).
inline ToolResult RunTool(const std::vector<std::string>& args,
                          const std::vector<std::string>& environment = {},
                          const std::string& input = "", int interruptAfterMs = 0,
                          const std::string& interruptWhen = "") {
    char pattern[] = "/tmp/flashkit-run-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    const std::string in = dir + "/in", out = dir + "/out", err = dir + "/err";
    std::ofstream(in) << input;

    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        bool replaced = false;
        for (const std::string& extra : environment)
            replaced = replaced || extra.substr(0, extra.find('=')) == name;
        if (!replaced) env.push_back(entry);
    }
    for (const std::string& extra : environment)
        if (extra.back() != '=') env.push_back(extra);

    std::vector<char*> argv{const_cast<char*>(FLASHKIT_CLI_PATH)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(&e[0]);
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    ToolResult result;
    if (posix_spawn(&pid, FLASHKIT_CLI_PATH, &actions, nullptr, argv.data(), envp.data()) != 0) {
        ADD_FAILURE() << "cannot start " << FLASHKIT_CLI_PATH;
        posix_spawn_file_actions_destroy(&actions);
        return result;
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    bool exited = false;
    if (!interruptWhen.empty()) {
        for (int waited = 0; waited < 60000 && !exited; waited += 10) {
            std::stringstream shown;
            shown << std::ifstream(out).rdbuf();
            if (shown.str().find(interruptWhen) != std::string::npos) break;
            exited = waitpid(pid, &status, WNOHANG) == pid;
            usleep(10000);
        }
    }
    if (interruptAfterMs > 0 && !exited) {
        usleep(useconds_t(interruptAfterMs) * 1000);
        kill(pid, SIGINT);
    }
    if (!exited) waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::stringstream o, e;
    o << std::ifstream(out).rdbuf();
    e << std::ifstream(err).rdbuf();
    result.out = o.str();
    result.err = e.str();
    std::system(("rm -rf '" + dir + "'").c_str());
    return result;
}

}  // namespace flashkit::test
