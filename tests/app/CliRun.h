#pragma once

#include "support/TempHome.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <string>
#include <vector>

extern char** environ;

// One run of tarnwick-cli on a home folder, with the text as standard input.
struct TCliRun {
    int status = -1;
    std::string out, err;
};

inline TCliRun RunCliProgram(const TTempHome& home, const std::vector<std::string>& args, const std::string& input) {
    const std::string in = home.File(".in"), out = home.File(".out"), err = home.File(".err");
    WriteFile(in, input);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<std::string> words = {TARNWICK_CLI, "--home", home.Path()};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    TCliRun run;
    pid_t pid = 0;
    if (posix_spawn(&pid, TARNWICK_CLI, &files, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&files);
    run.out = ReadFile(out);
    run.err = ReadFile(err);
    return run;
}

// A home folder where no mail client of this machine can stop a test.
class TCliHome : public TTempHome {
public:
    TCliHome() {
        setenv("XDG_DATA_HOME", File("xdg").c_str(), 1);
        setenv("XDG_DATA_DIRS", File("xdg").c_str(), 1);
    }
    ~TCliHome() {
        unsetenv("XDG_DATA_HOME");
        unsetenv("XDG_DATA_DIRS");
    }
};
