#pragma once

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

// Runs work in a child process and kills it (SIGKILL) the given time after
// the work said it is under way (TellUnderWay). The work never returns by
// itself; the child ending on its own is a test failure.
inline void KillDuringWork(const std::function<void(int underWayFd)>& work, useconds_t after) {
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(pipeFds[0]);
        work(pipeFds[1]);
        _exit(2);
    }
    close(pipeFds[1]);
    char underWay = 0;
    const bool told = read(pipeFds[0], &underWay, 1) == 1;
    close(pipeFds[0]);
    if (told) usleep(after);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(told) << "the work ended before it was under way";
    ASSERT_TRUE(WIFSIGNALED(status)) << "the work ended by itself with " << WEXITSTATUS(status);
}

inline void TellUnderWay(int fd) {
    const char underWay = 'u';
    if (write(fd, &underWay, 1) != 1) _exit(3);
}
