// A crash of the program leaves a line and a backtrace behind, and ends with
// the signal (so a core can be kept); a closed pipe does not end it.
#include "CrashTrace.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Runs `body` in a child process with the trace installed; gives its standard
// error and how it ended.
std::string runChild(void (*body)(), int *status)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFds[1], STDERR_FILENO);
        ::close(pipeFds[0]);
        installCrashTrace();
        body();
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    std::string out;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0)
        out.append(buffer, size_t(n));
    ::close(pipeFds[0]);
    ::waitpid(pid, status, 0);
    return out;
}

} // namespace

TEST(CrashTrace, ACrashWritesItsSignalAndABacktraceAndEndsWithTheSignal)
{
    int status = 0;
    const std::string err = runChild([] { ::raise(SIGSEGV); }, &status);
    EXPECT_NE(err.find("Tarnwick: crashed on signal SEGV"), std::string::npos) << err;
    EXPECT_NE(err.find("[0x"), std::string::npos) << "no backtrace: " << err;
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGSEGV);
}

TEST(CrashTrace, AWriteToAClosedPipeIsAnErrorNotTheEnd)
{
    int status = 0;
    runChild(
        [] {
            int fds[2];
            if (::pipe(fds) != 0)
                ::_exit(2);
            ::close(fds[0]);
            const ssize_t n = ::write(fds[1], "x", 1);
            ::_exit(n < 0 && errno == EPIPE ? 0 : 3);
        },
        &status);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
