#pragma once
// The world's state file read without Qt: the same records as State, in plain
// strings and numbers, for the stand-in tools that answer without loading Qt.
// It is the one reader of the state file; the application's State is built
// from what it gives.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace Platform::DiskWorld::Core {

struct Volume {
    std::string name;
    std::string fs;
    std::string uuid;
    std::string mountName;
    bool mounted = false;
    bool writable = true;
    bool boot = false;
    std::string role;
    std::map<std::string, uint32_t> heldModes; // relative path (bytes) → mode
};

struct Node {
    std::string id;
    std::string content;
    std::string diskUUID;
    int64_t size = 0;
    std::string container;
    std::optional<Volume> volume;
};

struct Disk {
    std::string id;
    std::string bus;
    std::string registryName;
    std::string mediaName;
    std::string content;
    std::string diskUUID;
    int64_t size = 0;
    bool internal = false;
    bool ejectable = false;
    bool isVirtual = false;
    bool solidState = false;
    std::string imagePath;
    std::string imageIdentity;
    std::string imageFolder;
    int64_t imageSince = 0;
    std::string physicalStore;
    std::vector<Node> nodes;

    bool isContainer() const { return !physicalStore.empty(); }
    bool isImage() const { return !imagePath.empty(); }
};

struct State {
    std::vector<Disk> disks;
    std::vector<Disk> unplugged;
    std::string consoleUser;
    int64_t serial = 0;
};

// Reads <root>/.diskworld/state.plist (XML or binary). On failure, `error`
// gets the text the tools print.
std::optional<State> readState(const std::string &root, std::string *error = nullptr);

// Lookups shared by this State and the application's: S is either, with
// `disks` whose entries have `id`, `nodes`, `physicalStore`, nodes with `id`
// and `container`.
template <typename S, typename Id>
auto findDisk(S &s, const Id &id) -> decltype(&s.disks.front())
{
    for (auto &d : s.disks)
        if (d.id == id)
            return &d;
    return nullptr;
}

template <typename S, typename Id, typename DiskPtr>
auto findNode(S &s, const Id &id, DiskPtr *owner) -> decltype(&s.disks.front().nodes.front())
{
    for (auto &d : s.disks)
        for (auto &n : d.nodes)
            if (n.id == id) {
                if (owner)
                    *owner = &d;
                return &n;
            }
    return nullptr;
}

// The container that lives on a physical store partition.
template <typename S, typename N>
auto containerOf(const S &s, const N &store) -> decltype(&s.disks.front())
{
    return store.container == decltype(store.container)() ? nullptr : findDisk(s, store.container);
}

// The physical disk a disk belongs to: itself, or for a container the disk of its store.
template <typename S, typename D>
const D *physicalDisk(const S &s, const D &d)
{
    if (!d.isContainer())
        return &d;
    const D *owner = nullptr;
    if (findNode(s, d.physicalStore, &owner))
        return owner;
    return nullptr;
}

// A physical disk and every container on it.
template <typename S, typename D>
std::vector<const D *> family(const S &s, const D &physical)
{
    std::vector<const D *> out{&physical};
    for (const auto &n : physical.nodes)
        if (const D *c = containerOf(s, n))
            out.push_back(c);
    return out;
}

} // namespace Platform::DiskWorld::Core
