#pragma once
// The file systems the world can put on a volume, with the names the tools use for them.
#include <string>
#include <vector>

namespace Platform::DiskWorld::Core {

struct FileSystem {
    std::vector<std::string> names; // every name a tool argument may give, the first the FilesystemName
    std::string type;               // FilesystemType ("msdos")
    std::string partitionType;      // the partition's content when it is not APFS
    int maxNameLength = 255;        // in UTF-16 units
    bool writable = true;
};

// The file system a tool argument names: every FilesystemName the world
// reports and the usual short forms ("JHFS+", "FAT32", "ExFAT", "APFS", …),
// case and surrounding white space ignored; nullptr for none.
const FileSystem *fileSystemNamed(const std::string &personality);

// FilesystemType for a volume's FilesystemName: the kind's type, else the name in lower case.
std::string fileSystemType(const std::string &fs);

} // namespace Platform::DiskWorld::Core
