// A crash of the program leaves a line and a backtrace behind, and ends with
// the signal (so a core can be kept); a closed pipe does not end it. The
// crashing children run in a folder of their own, so a core they leave goes
// with it, never into the source or build tree.
#include "CrashTrace.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// Entries of `folder` named like a core file, changed since `since`.
int coresIn(const fs::path &folder, fs::file_time_type since)
{
    int count = 0;
    for (const fs::directory_entry &e : fs::directory_iterator(folder))
        if (e.path().filename().string().rfind("core", 0) == 0 && e.last_write_time() >= since)
            ++count;
    return count;
}

// Runs `body` in a child process with the trace installed, in a temporary
// folder that goes afterwards; gives its standard error and how it ended.
std::string runChild(void (*body)(), int *status)
{
    std::string folder = (fs::temp_directory_path() / "tarnwick-crash-XXXXXX").string();
    if (!::mkdtemp(folder.data()))
        return {};
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFds[1], STDERR_FILENO);
        ::close(pipeFds[0]);
        if (::chdir(folder.c_str()) != 0)
            ::_exit(4);
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
    std::error_code ignored;
    fs::remove_all(folder, ignored);
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

TEST(CrashTrace, ACrashLeavesNoCoreInTheFolderTheTestsRunIn)
{
    const fs::file_time_type start = fs::file_time_type::clock::now() - std::chrono::seconds(1);
    int status = 0;
    runChild([] { ::raise(SIGSEGV); }, &status);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(coresIn(fs::current_path(), start), 0);
}

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer build: a use after free stops the program with the
// sanitizer's report, and the program's own line follows it.
TEST(CrashTrace, AStopByTheSanitizerLeavesALine)
{
    int status = 0;
    const std::string err = runChild(
        [] {
            int *freed = new int[4];
            delete[] freed;
            int *volatile stale = freed;
            const volatile int value = stale[1];
            (void)value;
        },
        &status);
    EXPECT_NE(err.find("AddressSanitizer: heap-use-after-free"), std::string::npos) << err;
    EXPECT_NE(err.find("Tarnwick: stopped by the sanitizer"), std::string::npos) << err;
    EXPECT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
#endif

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
