#include "CrashTrace.h"

#include <csignal>
#include <cstring>
#include <execinfo.h>
#include <sys/resource.h>
#include <syslog.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#include <sanitizer/common_interface_defs.h>
#define TARNWICK_SANITIZER_DEATH_CALLBACK 1
#endif

namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};

void writeAll(int fd, const char *text)
{
    size_t left = std::strlen(text);
    while (left > 0) {
        const ssize_t n = ::write(fd, text, left);
        if (n <= 0)
            return;
        text += n;
        left -= size_t(n);
    }
}

void onCrash(int sig)
{
    // Only calls that are safe in a signal handler before the system log,
    // which comes last as the best effort it is.
    writeAll(STDERR_FILENO, "Tarnwick: crashed on signal ");
    writeAll(STDERR_FILENO, sigabbrev_np(sig) ? sigabbrev_np(sig) : "?");
    writeAll(STDERR_FILENO, "\n");
    void *frames[64];
    const int count = backtrace(frames, 64);
    backtrace_symbols_fd(frames, count, STDERR_FILENO);
    syslog(LOG_CRIT, "Tarnwick: crashed on signal %d", sig);
    std::signal(sig, SIG_DFL);
    ::raise(sig);
}

#ifdef TARNWICK_SANITIZER_DEATH_CALLBACK
// A sanitizer that stops the program has printed its report already; the
// line says that it was the program that stopped, in the log as well. (With
// abort_on_error the abort then passes through onCrash too.)
void onSanitizerDeath()
{
    writeAll(STDERR_FILENO, "Tarnwick: stopped by the sanitizer\n");
    syslog(LOG_CRIT, "Tarnwick: stopped by the sanitizer");
}
#endif

} // namespace

void installCrashTrace()
{
    std::signal(SIGPIPE, SIG_IGN);
    // Load the unwinder now: the first backtrace() call may allocate.
    void *warm[1];
    backtrace(warm, 1);
    // Let the system keep a core, as far as the hard limit allows.
    struct rlimit core;
    if (getrlimit(RLIMIT_CORE, &core) == 0 && core.rlim_cur != core.rlim_max) {
        core.rlim_cur = core.rlim_max;
        setrlimit(RLIMIT_CORE, &core);
    }
    struct sigaction action {};
    action.sa_handler = onCrash;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND | SA_ONSTACK;
    for (const int sig : kSignals)
        sigaction(sig, &action, nullptr);
#ifdef TARNWICK_SANITIZER_DEATH_CALLBACK
    __sanitizer_set_death_callback(onSanitizerDeath);
#endif
}
