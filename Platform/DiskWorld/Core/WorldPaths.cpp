#include "WorldPaths.h"

#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform::DiskWorld::Core {
namespace {

bool equalsIgnoringCase(const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z')
            x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

std::string canonical(const std::string &path)
{
    char buf[PATH_MAX];
    return realpath(path.c_str(), buf) ? std::string(buf) : std::string();
}

} // namespace

std::string cleanPath(const std::string &path)
{
    if (path.empty())
        return {};
    const bool absolute = path.front() == '/';
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string part = path.substr(start, end - start);
        if (part == "..") {
            // As Qt cleans paths: a ".." with nothing to go back over stays, even at the top.
            if (!parts.empty() && parts.back() != "..")
                parts.pop_back();
            else
                parts.push_back(part);
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string out = absolute ? "/" : "";
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i)
            out += '/';
        out += parts[i];
    }
    return out.empty() ? "." : out;
}

std::string cleanRoot(const std::string &root)
{
    if (root.empty())
        return "/";
    std::string absolute = root;
    if (root.front() != '/') {
        char buf[PATH_MAX];
        absolute = getcwd(buf, sizeof buf) ? joinPath(buf, root) : root;
    }
    const std::string c = cleanPath(absolute);
    return c.empty() ? "/" : c;
}

std::string rootFromEnvironment()
{
    const char *r = getenv("TARNWICK_ROOT");
    return cleanRoot(r ? r : "");
}

std::string joinPath(const std::string &dir, const std::string &name)
{
    return dir == "/" ? "/" + name : dir + "/" + name;
}

std::string canonicalish(const std::string &path)
{
    std::string head = cleanPath(path);
    std::vector<std::string> tail;
    while (!head.empty()) {
        const std::string c = canonical(head);
        if (!c.empty()) {
            std::string out = c;
            for (auto it = tail.crbegin(); it != tail.crend(); ++it)
                out = joinPath(out, *it);
            return out;
        }
        if (head == "/")
            break;
        const size_t slash = head.rfind('/');
        tail.push_back(slash == std::string::npos ? head : head.substr(slash + 1));
        head = (slash == std::string::npos || slash == 0) ? "/" : head.substr(0, slash);
    }
    return cleanPath(path);
}

bool within(const std::string &path, const std::string &dir)
{
    if (dir == "/")
        return !path.empty() && path.front() == '/';
    return path == dir || path.rfind(dir + "/", 0) == 0;
}

const std::vector<std::string> &bootExclusions()
{
    static const std::vector<std::string> names{"Volumes", ".diskworld"};
    return names;
}

std::string WorldPaths::contentPath(const Volume &v) const
{
    if (v.boot)
        return m_root;
    if (v.mounted)
        return joinPath(volumesDir(), v.mountName);
    return joinPath(storeDir(), v.uuid);
}

std::string WorldPaths::mountPoint(const Volume &v) const
{
    if (!v.mounted)
        return {};
    return v.boot ? m_root : joinPath(volumesDir(), v.mountName);
}

std::optional<Ref> WorldPaths::resolve(const State &s, const std::string &identifier) const
{
    if (identifier.empty())
        return std::nullopt;
    std::string id = identifier;
    const bool devNode = id.rfind("/dev/", 0) == 0;
    if (devNode) {
        id = id.substr(5);
        if (id.rfind("rdisk", 0) == 0)
            id = id.substr(1);
    }
    for (const Disk &d : s.disks) {
        if (d.id == id)
            return Ref{d.id, {}};
        for (const Node &n : d.nodes)
            if (n.id == id)
                return Ref{d.id, n.id};
    }
    if (devNode)
        return std::nullopt;
    if (identifier.front() == '/' || identifier.rfind("./", 0) == 0 || identifier.rfind("../", 0) == 0 ||
        identifier == "." || identifier == "..")
        return pathNamed(s, identifier);
    for (const Disk &d : s.disks) {
        if (!d.diskUUID.empty() && equalsIgnoringCase(d.diskUUID, identifier))
            return Ref{d.id, {}};
        for (const Node &n : d.nodes) {
            if (!n.diskUUID.empty() && equalsIgnoringCase(n.diskUUID, identifier))
                return Ref{d.id, n.id};
            if (n.volume && equalsIgnoringCase(n.volume->uuid, identifier))
                return Ref{d.id, n.id};
        }
    }
    // A name last: mounted volumes before the others.
    std::optional<Ref> unmounted;
    for (const Disk &d : s.disks)
        for (const Node &n : d.nodes)
            if (n.volume && n.volume->name == identifier) {
                if (n.volume->mounted)
                    return Ref{d.id, n.id};
                if (!unmounted)
                    unmounted = Ref{d.id, n.id};
            }
    if (unmounted)
        return unmounted;
    // Any other name the working folder holds.
    struct stat st;
    if (lstat(identifier.c_str(), &st) == 0)
        return pathNamed(s, identifier);
    return std::nullopt;
}

std::optional<Ref> WorldPaths::pathNamed(const State &s, const std::string &path) const
{
    std::string absolute = path;
    if (path.front() != '/') {
        char cwd[PATH_MAX];
        if (!getcwd(cwd, sizeof cwd))
            return std::nullopt;
        absolute = std::string(cwd) + "/" + path;
    }
    if (std::optional<Ref> r = volumeAtMountPoint(s, absolute))
        return r;
    // The file a disk image was attached from.
    char real[PATH_MAX];
    if (!realpath(absolute.c_str(), real))
        return std::nullopt;
    for (const Disk &d : s.disks)
        if (d.isImage() && d.imagePath == real)
            return Ref{d.id, {}};
    return std::nullopt;
}

std::optional<Ref> WorldPaths::volumeAtMountPoint(const State &s, const std::string &path) const
{
    const std::string clean = cleanPath(path);
    // A path of the original platform ("/Volumes/X") lies under the root.
    const std::string candidate =
        (m_root == "/" || within(clean, m_root)) ? clean : (clean == "/" ? m_root : m_root + clean);
    const std::string wanted = canonicalish(candidate);
    for (const Disk &d : s.disks)
        for (const Node &n : d.nodes)
            if (n.volume && n.volume->mounted && canonicalish(mountPoint(*n.volume)) == wanted)
                return Ref{d.id, n.id};
    return std::nullopt;
}

std::string helperProgram(const std::string &name)
{
    std::string self(4096, '\0');
    const ssize_t n = readlink("/proc/self/exe", self.data(), self.size());
    if (n <= 0 || size_t(n) >= self.size())
        return {};
    self.resize(size_t(n));
    const std::string dir = self.substr(0, self.rfind('/'));
    // A tool in the tools folder, a program in its libexec, the application's executable.
    for (const std::string &candidate :
         {dir + "/libexec/" + name, dir + "/" + name, dir + "/../Resources/tools/libexec/" + name})
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
    return {};
}

} // namespace Platform::DiskWorld::Core
