#include "CoreState.h"
#include "WorldPaths.h"

#include <plist/plist.h>

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform::DiskWorld::Core {
namespace {

const char *const kFormat = "TarnwickDiskWorld";
constexpr uint64_t kFormatVersion = 1;

using PlistPtr = std::unique_ptr<void, void (*)(plist_t)>;

std::string stringAt(plist_t dict, const char *key)
{
    plist_t v = plist_dict_get_item(dict, key);
    if (!v || plist_get_node_type(v) != PLIST_STRING)
        return {};
    uint64_t length = 0;
    const char *s = plist_get_string_ptr(v, &length);
    return s ? std::string(s, size_t(length)) : std::string();
}

int64_t integerAt(plist_t dict, const char *key)
{
    plist_t v = plist_dict_get_item(dict, key);
    uint64_t n = 0;
    if (v && plist_get_node_type(v) == PLIST_UINT)
        plist_get_uint_val(v, &n);
    // Negative numbers are kept as their 64-bit pattern.
    return int64_t(n);
}

bool flagAt(plist_t dict, const char *key, bool otherwise = false)
{
    plist_t v = plist_dict_get_item(dict, key);
    if (!v || plist_get_node_type(v) != PLIST_BOOLEAN)
        return otherwise;
    uint8_t b = 0;
    plist_get_bool_val(v, &b);
    return b != 0;
}

// Calls fn(item) for every dictionary in the array at `key`.
template <typename Fn>
void forEachDict(plist_t dict, const char *key, Fn fn)
{
    plist_t a = plist_dict_get_item(dict, key);
    if (!a || plist_get_node_type(a) != PLIST_ARRAY)
        return;
    const uint32_t n = plist_array_get_size(a);
    for (uint32_t i = 0; i < n; ++i) {
        plist_t item = plist_array_get_item(a, i);
        if (item && plist_get_node_type(item) == PLIST_DICT)
            fn(item);
    }
}

Volume volumeFrom(plist_t m)
{
    Volume v;
    v.name = stringAt(m, "Name");
    v.fs = stringAt(m, "FS");
    v.uuid = stringAt(m, "UUID");
    v.mountName = stringAt(m, "MountName");
    v.mounted = flagAt(m, "Mounted");
    v.writable = flagAt(m, "Writable", true);
    v.boot = flagAt(m, "Boot");
    v.role = stringAt(m, "Role");
    forEachDict(m, "HeldModes", [&](plist_t e) {
        // Paths are bytes, kept as data.
        std::string path;
        if (plist_t p = plist_dict_get_item(e, "Path"); p && plist_get_node_type(p) == PLIST_DATA) {
            uint64_t length = 0;
            const char *bytes = plist_get_data_ptr(p, &length);
            path.assign(bytes ? bytes : "", size_t(length));
        }
        v.heldModes[path] = uint32_t(integerAt(e, "Mode"));
    });
    return v;
}

Node nodeFrom(plist_t m)
{
    Node n;
    n.id = stringAt(m, "ID");
    n.content = stringAt(m, "Content");
    n.diskUUID = stringAt(m, "DiskUUID");
    n.size = integerAt(m, "Size");
    n.container = stringAt(m, "Container");
    if (plist_t v = plist_dict_get_item(m, "Volume"); v && plist_get_node_type(v) == PLIST_DICT)
        n.volume = volumeFrom(v);
    return n;
}

Disk diskFrom(plist_t m)
{
    Disk d;
    d.id = stringAt(m, "ID");
    d.bus = stringAt(m, "Bus");
    d.registryName = stringAt(m, "RegistryName");
    d.mediaName = stringAt(m, "MediaName");
    d.content = stringAt(m, "Content");
    d.diskUUID = stringAt(m, "DiskUUID");
    d.size = integerAt(m, "Size");
    d.internal = flagAt(m, "Internal");
    d.ejectable = flagAt(m, "Ejectable");
    d.isVirtual = flagAt(m, "Virtual");
    d.solidState = flagAt(m, "SolidState");
    d.imagePath = stringAt(m, "ImagePath");
    d.imageIdentity = stringAt(m, "ImageIdentity");
    d.imageFolder = stringAt(m, "ImageFolder");
    d.imageSince = integerAt(m, "ImageSince");
    d.physicalStore = stringAt(m, "PhysicalStore");
    forEachDict(m, "Nodes", [&](plist_t n) { d.nodes.push_back(nodeFrom(n)); });
    return d;
}

bool readAll(const std::string &path, std::string &out)
{
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return false;
    }
    out.clear();
    char buf[1 << 16];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            close(fd);
            return n == 0;
        }
        out.append(buf, size_t(n));
    }
}

void setError(std::string *error, std::string text)
{
    if (error)
        *error = std::move(text);
}

} // namespace

std::optional<State> readState(const std::string &root, std::string *error)
{
    std::string data;
    if (!readAll(WorldPaths(root).statePath(), data)) {
        setError(error, "there is no disk world at " + root);
        return std::nullopt;
    }
    plist_t parsed = nullptr;
    if (!data.empty())
        plist_from_memory(data.data(), uint32_t(data.size()), &parsed);
    PlistPtr holder(parsed, plist_free);
    if (!parsed || plist_get_node_type(parsed) != PLIST_DICT) {
        setError(error, "the world's state file cannot be read");
        return std::nullopt;
    }
    if (stringAt(parsed, "Format") != kFormat || uint64_t(integerAt(parsed, "Version")) != kFormatVersion) {
        setError(error, "the world's state file is not one this program understands");
        return std::nullopt;
    }
    State s;
    s.consoleUser = stringAt(parsed, "ConsoleUser");
    s.serial = integerAt(parsed, "Serial");
    forEachDict(parsed, "Disks", [&](plist_t d) { s.disks.push_back(diskFrom(d)); });
    forEachDict(parsed, "Unplugged", [&](plist_t d) { s.unplugged.push_back(diskFrom(d)); });
    return s;
}

} // namespace Platform::DiskWorld::Core
