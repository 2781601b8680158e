#pragma once
// Where a world keeps things, and what an identifier names in it: the rules
// the application and the Qt-free tools share. Paths are bytes (UTF-8 where
// they come from the state file).
#include "CoreState.h"

#include <optional>
#include <string>
#include <vector>

namespace Platform::DiskWorld::Core {

// "/a//b/./c/../d" → "/a/b/d"; an empty path stays empty.
std::string cleanPath(const std::string &path);
// A root as given (TARNWICK_ROOT): absolute and clean; empty gives "/".
std::string cleanRoot(const std::string &root);
// The process's root: TARNWICK_ROOT, cleaned.
std::string rootFromEnvironment();
// `dir`/`name`, with "/" as `dir` giving "/name".
std::string joinPath(const std::string &dir, const std::string &name);
// The canonical form of a path that may not exist yet: the deepest existing
// ancestor with links resolved, and the rest as written.
std::string canonicalish(const std::string &path);
// True when `path` is `dir` or lies below it.
bool within(const std::string &path, const std::string &dir);

// Where a disk, or one of its nodes, is: node empty for a whole disk.
struct Ref {
    std::string disk;
    std::string node;
    bool isWholeDisk() const { return node.empty(); }
};

class WorldPaths {
public:
    explicit WorldPaths(std::string root) : m_root(std::move(root)) {}

    const std::string &root() const { return m_root; }
    std::string stateDir() const { return joinPath(m_root, ".diskworld"); }
    std::string statePath() const { return stateDir() + "/state.plist"; }
    std::string intentPath() const { return stateDir() + "/intent.plist"; }
    std::string lockPath() const { return stateDir() + "/lock"; }
    std::string storeDir() const { return stateDir() + "/store"; }
    std::string trashDir() const { return stateDir() + "/trash"; }
    std::string volumesDir() const { return joinPath(m_root, "Volumes"); }

    // The folder that holds a volume's files now: the root for the boot
    // volume, <root>/Volumes/<mount name> while mounted, the store else.
    std::string contentPath(const Volume &v) const;
    // "MountPoint": the root for the boot volume, <root>/Volumes/<name> else; empty when not mounted.
    std::string mountPoint(const Volume &v) const;

    // A BSD name ("disk2s1"), device node ("/dev/disk2s1", "/dev/rdisk2s1"),
    // mount point, DiskUUID or VolumeUUID (case ignored), or volume name
    // (mounted volumes first); a path relative to the working folder; the
    // file a disk image was attached from.
    std::optional<Ref> resolve(const State &s, const std::string &identifier) const;
    // What a path (absolute, or relative to the working folder) names: the
    // volume mounted there, or the disk image attached from that file.
    std::optional<Ref> pathNamed(const State &s, const std::string &path) const;
    // The mounted volume whose mount point is `path` (links followed): a path
    // of this machine, or one of the original platform ("/Volumes/X") under the root.
    std::optional<Ref> volumeAtMountPoint(const State &s, const std::string &path) const;

private:
    std::string m_root;
};

// A helper program of the world's (the usage keeper, the trash remover):
// libexec/<name> beside the running tool, or in the tools folder of the
// running application. Empty when it is not there.
std::string helperProgram(const std::string &name);

// What the boot volume's content leaves out of the root folder.
const std::vector<std::string> &bootExclusions();

} // namespace Platform::DiskWorld::Core
