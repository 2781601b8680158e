#include "DiskReport.h"
#include "FileSystems.h"
#include "VolumeSpace.h"

#include <algorithm>
#include <cstdlib>
#include <map>

namespace Platform::DiskWorld::Core {
namespace {

// A dictionary whose keys come out sorted whatever order they are set in.
class Dict {
public:
    Dict() = default;
    Dict(const Dict &) = delete;
    Dict &operator=(const Dict &) = delete;
    ~Dict()
    {
        for (auto &[key, value] : m_items)
            plist_free(value);
    }
    void set(const std::string &key, plist_t value)
    {
        auto [it, fresh] = m_items.try_emplace(key, value);
        if (!fresh) {
            plist_free(it->second);
            it->second = value;
        }
    }
    void text(const std::string &key, const std::string &value) { set(key, plist_new_string(value.c_str())); }
    void number(const std::string &key, int64_t value) { set(key, plist_new_uint(uint64_t(value))); }
    void flag(const std::string &key, bool value) { set(key, plist_new_bool(value)); }
    plist_t take()
    {
        plist_t dict = plist_new_dict();
        for (auto &[key, value] : m_items)
            plist_dict_set_item(dict, key.c_str(), value);
        m_items.clear();
        return dict;
    }

private:
    std::map<std::string, plist_t> m_items;
};

plist_t arrayOf(std::initializer_list<plist_t> items)
{
    plist_t a = plist_new_array();
    for (plist_t item : items)
        plist_array_append_item(a, item);
    return a;
}

plist_t oneKeyDict(const std::string &key, const std::string &value)
{
    Dict d;
    d.text(key, value);
    return d.take();
}

int diskNumber(const std::string &id) { return id.size() > 4 ? std::atoi(id.c_str() + 4) : 0; }

const Disk &physicalOf(const State &s, const Disk &d)
{
    const Disk *p = physicalDisk(s, d);
    return p ? *p : d;
}

// What every entry of one disk shares: the device it sits on.
void addDeviceKeys(Dict &m, const State &s, const Disk &d)
{
    const Disk &p = physicalOf(s, d);
    m.text("BusProtocol", p.bus);
    m.flag("CoreStorageEncrypted", false);
    m.number("DeviceBlockSize", 512);
    m.flag("Ejectable", p.ejectable);
    m.flag("EjectableOnly", p.ejectable);
    m.flag("Internal", p.internal);
    m.text("MediaType", "Generic");
    m.flag("OSInternalMedia", p.internal);
    m.flag("RAIDMaster", false);
    m.flag("RAIDSlice", false);
    m.flag("Removable", p.ejectable);
    m.flag("RemovableMedia", p.ejectable);
    m.flag("RemovableMediaOrExternalDevice", !p.internal);
    m.text("SMARTStatus", p.internal ? "Verified" : "Not Supported");
    m.flag("SolidState", p.solidState);
    m.flag("SystemImage", false);
    m.text("VirtualOrPhysical", (d.isVirtual || d.isContainer() || p.isVirtual) ? "Virtual" : "Physical");
    m.flag("WritableMedia", true);
}

void addContainerKeys(Dict &m, const WorldPaths &w, const Disk &container)
{
    m.text("APFSContainerReference", container.id);
    m.number("APFSContainerSize", container.size);
    m.number("APFSContainerFree", containerFree(w, container));
    m.set("APFSPhysicalStores", arrayOf({oneKeyDict("APFSPhysicalStore", container.physicalStore)}));
}

plist_t wholeDiskInfo(const WorldPaths &w, const State &s, const Disk &d)
{
    Dict m;
    addDeviceKeys(m, s, d);
    const Disk &p = physicalOf(s, d);
    m.flag("Bootable", false);
    m.text("Content", d.content);
    m.text("DeviceIdentifier", d.id);
    m.text("DeviceNode", "/dev/" + d.id);
    m.text("DiskUUID", d.diskUUID);
    m.number("FreeSpace", 0);
    m.number("IOKitSize", d.size);
    m.text("IORegistryEntryName", d.isContainer() ? "AppleAPFSMedia" : p.registryName);
    m.text("MediaName", d.isContainer() ? std::string() : p.mediaName);
    m.text("ParentWholeDisk", d.id);
    m.flag("PartitionMapPartition", false);
    m.number("Size", d.size);
    m.number("TotalSize", d.size);
    m.flag("WholeDisk", true);
    m.flag("Writable", true);
    if (d.isContainer())
        addContainerKeys(m, w, d);
    if (d.isImage())
        m.text("DiskImagePath", d.imagePath);
    return m.take();
}

plist_t nodeInfo(const WorldPaths &w, const State &s, const Disk &d, const Node &n)
{
    Dict m;
    addDeviceKeys(m, s, d);
    const int64_t size = capacity(d, n);
    m.flag("Bootable", n.volume && n.volume->boot);
    m.text("Content", n.content);
    m.text("DeviceIdentifier", n.id);
    m.text("DeviceNode", "/dev/" + n.id);
    m.text("DiskUUID", n.diskUUID);
    m.number("IOKitSize", size);
    m.text("MediaName", std::string());
    m.text("ParentWholeDisk", d.id);
    m.flag("PartitionMapPartition", !d.isContainer());
    m.number("Size", size);
    m.number("TotalSize", size);
    m.flag("WholeDisk", false);
    if (const Disk *c = containerOf(s, n))
        m.text("APFSContainerReference", c->id);

    if (!n.volume) {
        m.number("FreeSpace", 0);
        m.text("IORegistryEntryName", n.content);
        m.flag("Writable", false);
        if (n.content == "EFI") {
            m.text("VolumeName", "EFI");
            m.text("FilesystemName", "MS-DOS FAT32");
            m.text("FilesystemType", "msdos");
            m.text("FilesystemUserVisibleName", "MS-DOS (FAT32)");
        }
        return m.take();
    }
    const Volume &v = *n.volume;
    m.text("FilesystemName", v.fs);
    m.text("FilesystemType", fileSystemType(v.fs));
    m.text("FilesystemUserVisibleName", v.fs);
    m.number("FreeSpace", freeBytes(w, d, n));
    m.flag("GlobalPermissionsEnabled", true);
    m.text("IORegistryEntryName", v.name);
    if (v.mounted)
        m.text("MountPoint", w.mountPoint(v));
    m.number("VolumeAllocationBlockSize", 4096);
    m.text("VolumeName", v.name);
    m.number("VolumeSize", size);
    m.text("VolumeUUID", v.uuid);
    m.flag("Writable", v.writable);
    m.flag("WritableVolume", v.writable);
    if (d.isContainer()) {
        addContainerKeys(m, w, d);
        if (!v.role.empty())
            m.set("APFSVolumeRoles", arrayOf({plist_new_string(v.role.c_str())}));
    }
    return m.take();
}

plist_t listEntry(const WorldPaths &w, const State &s, const Disk &d)
{
    const Disk &p = physicalOf(s, d);
    Dict m;
    m.text("DeviceIdentifier", d.id);
    m.text("Content", d.content);
    m.number("Size", d.size);
    m.flag("OSInternal", p.internal);
    plist_t children = plist_new_array();
    for (const Node &n : d.nodes) {
        Dict c;
        c.text("DeviceIdentifier", n.id);
        c.text("Content", n.content);
        c.text("DiskUUID", n.diskUUID);
        c.number("Size", d.isContainer() ? d.size : n.size);
        if (n.volume) {
            c.text("VolumeName", n.volume->name);
            c.text("VolumeUUID", n.volume->uuid);
            if (n.volume->mounted)
                c.text("MountPoint", w.mountPoint(*n.volume));
        } else if (n.content == "EFI") {
            c.text("VolumeName", "EFI");
        }
        if (d.isContainer())
            c.flag("OSInternal", p.internal);
        plist_array_append_item(children, c.take());
    }
    if (d.isContainer()) {
        m.set("APFSPhysicalStores", arrayOf({oneKeyDict("DeviceIdentifier", d.physicalStore)}));
        m.set("APFSVolumes", children);
    } else {
        m.set("Partitions", children);
    }
    return m.take();
}

} // namespace

std::vector<const Disk *> listedDisks(const State &s, const std::optional<Ref> &only)
{
    std::vector<const Disk *> out;
    if (only) {
        const Disk *d = findDisk(s, only->disk);
        if (!d)
            return out;
        if (d->isContainer())
            return {d};
        out = family(s, *d);
    } else {
        for (const Disk &d : s.disks)
            out.push_back(&d);
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const Disk *a, const Disk *b) { return diskNumber(a->id) < diskNumber(b->id); });
    return out;
}

plist_t diskInfo(const WorldPaths &w, const State &s, const Ref &ref)
{
    const Disk *d = findDisk(s, ref.disk);
    if (!d)
        return nullptr;
    if (ref.isWholeDisk())
        return wholeDiskInfo(w, s, *d);
    for (const Node &n : d->nodes)
        if (n.id == ref.node)
            return nodeInfo(w, s, *d, n);
    return nullptr;
}

plist_t diskList(const WorldPaths &w, const State &s, const std::optional<Ref> &only)
{
    plist_t allDisks = plist_new_array(), whole = plist_new_array(), volumes = plist_new_array(),
            entries = plist_new_array();
    for (const Disk *d : listedDisks(s, only)) {
        plist_array_append_item(allDisks, plist_new_string(d->id.c_str()));
        plist_array_append_item(whole, plist_new_string(d->id.c_str()));
        for (const Node &n : d->nodes) {
            plist_array_append_item(allDisks, plist_new_string(n.id.c_str()));
            if (n.volume && n.volume->mounted)
                plist_array_append_item(volumes, plist_new_string(n.volume->name.c_str()));
        }
        plist_array_append_item(entries, listEntry(w, s, *d));
    }
    Dict m;
    m.set("AllDisks", allDisks);
    m.set("AllDisksAndPartitions", entries);
    m.set("VolumesFromDisks", volumes);
    m.set("WholeDisks", whole);
    return m.take();
}

std::string toXml(plist_t plist)
{
    if (!plist)
        return {};
    char *xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(plist, &xml, &length);
    std::string out(xml ? xml : "", length);
    plist_to_xml_free(xml);
    return out;
}

} // namespace Platform::DiskWorld::Core
