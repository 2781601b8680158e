#include "DiskutilFront.h"
#include "CoreState.h"
#include "DiskReport.h"
#include "WorldLock.h"
#include "WorldPaths.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace Platform::DiskWorld::Core {
namespace {

void writeAll(int fd, const std::string &data)
{
    for (size_t done = 0; done < data.size();) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += size_t(n);
    }
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool validUtf8(const std::string &s)
{
    const auto *p = reinterpret_cast<const unsigned char *>(s.data());
    const size_t n = s.size();
    for (size_t i = 0; i < n;) {
        const unsigned char c = p[i];
        size_t len = 0;
        uint32_t cp = 0, min = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xe0) == 0xc0) {
            len = 2, cp = c & 0x1f, min = 0x80;
        } else if ((c & 0xf0) == 0xe0) {
            len = 3, cp = c & 0x0f, min = 0x800;
        } else if ((c & 0xf8) == 0xf0) {
            len = 4, cp = c & 0x07, min = 0x10000;
        } else {
            return false;
        }
        if (i + len > n)
            return false;
        for (size_t k = 1; k < len; ++k) {
            if ((p[i + k] & 0xc0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i + k] & 0x3f);
        }
        if (cp < min || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff))
            return false;
        i += len;
    }
    return true;
}

bool isWord(const std::string &s, const char *word)
{
    if (s.size() != strlen(word))
        return false;
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        if (c != word[i])
            return false;
    }
    return true;
}

bool exists(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

bool present(const std::string &path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// What the fast path answers: `info -plist <id>` and `list -plist [disk]` on
// a world that holds still. Nothing when the full program must answer.
std::optional<int> answer(int argc, char **argv)
{
    if (argc < 2)
        return std::nullopt;
    std::vector<std::string> args(argv + 1, argv + argc);
    for (const std::string &a : args)
        if (!validUtf8(a))
            return std::nullopt;
    const bool info = isWord(args[0], "info") || isWord(args[0], "information");
    if (!info && !isWord(args[0], "list"))
        return std::nullopt;
    args.erase(args.begin());
    bool plist = false;
    while (!args.empty() && (args.front() == "-plist" || args.front() == "-all")) {
        plist = plist || args.front() == "-plist";
        args.erase(args.begin());
    }
    if (!plist || (info ? args.size() != 1 : args.size() > 1))
        return std::nullopt;

    const WorldPaths w(rootFromEnvironment());
    // A change cut short is set right under the exclusive lock, by the full program.
    if (!validUtf8(w.root()) || !exists(w.statePath()) || present(w.intentPath()))
        return std::nullopt;
    const WorldLock lock(w.lockPath(), false);
    // Looked at again under the lock: a change may have been cut short meanwhile.
    if (!lock.ok() || present(w.intentPath()))
        return std::nullopt;
    const std::optional<State> s = readState(w.root());
    if (!s)
        return std::nullopt;

    std::optional<Ref> ref;
    if (!args.empty()) {
        ref = w.resolve(*s, args.front());
        if (!ref) {
            writeAll(STDERR_FILENO, "Could not find disk: " + args.front() + "\n");
            return 1;
        }
    }
    const std::unique_ptr<void, void (*)(plist_t)> out(info ? diskInfo(w, *s, *ref) : diskList(w, *s, ref), plist_free);
    if (!out)
        return std::nullopt;
    writeAll(STDOUT_FILENO, toXml(out.get()));
    return 0;
}

// The full program: <folder of this executable>/libexec/diskutil.
std::string fullProgram()
{
    std::string self(4096, '\0');
    const ssize_t n = readlink("/proc/self/exe", self.data(), self.size());
    if (n <= 0 || size_t(n) >= self.size())
        return {};
    self.resize(size_t(n));
    const size_t slash = self.rfind('/');
    return slash == std::string::npos ? std::string() : self.substr(0, slash) + "/libexec/diskutil";
}

} // namespace

int diskutilFrontMain(int argc, char **argv)
{
    if (const std::optional<int> status = answer(argc, argv))
        return *status;
    const std::string full = fullProgram();
    if (!full.empty())
        execv(full.c_str(), argv);
    writeAll(STDERR_FILENO, "diskutil: cannot start " + (full.empty() ? std::string("the full diskutil") : full) +
                                ": " + strerror(errno) + "\n");
    return 1;
}

} // namespace Platform::DiskWorld::Core
