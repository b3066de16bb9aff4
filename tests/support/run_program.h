// The one place where tests start programs: Tamsel's own, and the outside programs listed in
// kOutsidePrograms, which scripts/check-deps reads to prove that install-deps installs them.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <array>
#include <string>
#include <string_view>
#include <vector>

extern char** environ;

namespace tamsel::test {

// Programs from outside the project that tests start (by name, found on PATH).
inline constexpr std::array<std::string_view, 3> kOutsidePrograms{"chromium", "pdfinfo",
                                                                  "pdftotext"};

// Starts program with args in workDir, standard input from /dev/null and its output in
// outPath and errPath; extraEnv entries ("NAME=value") come before the inherited environment.
// Returns 0 if it did not start.
inline pid_t StartProgram(const std::string& program, std::vector<std::string> args,
                          const std::string& workDir, const std::string& outPath,
                          const std::string& errPath, const std::vector<std::string>& extraEnv) {
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::vector<std::string> env(extraEnv);
    for (char** entry = environ; *entry; ++entry) env.emplace_back(*entry);
    std::vector<char*> envp;
    for (auto& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = 0;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Waits for pid and returns its exit code, or -1 when it did not exit normally.
inline int WaitForProgram(pid_t pid) {
    int status = 0;
    if (pid != 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    return -1;
}

}  // namespace tamsel::test
