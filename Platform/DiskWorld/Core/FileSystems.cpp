#include "FileSystems.h"

#include <string_view>

namespace Platform::DiskWorld::Core {
namespace {

// White space as Qt's trimmed() sees it: ASCII and the Unicode spaces, in UTF-8.
const std::string_view kSpaces[] = {" ",
                                    "\t",
                                    "\n",
                                    "\v",
                                    "\f",
                                    "\r",
                                    "\xc2\x85",
                                    "\xc2\xa0",
                                    "\xe1\x9a\x80",
                                    "\xe2\x80\x80",
                                    "\xe2\x80\x81",
                                    "\xe2\x80\x82",
                                    "\xe2\x80\x83",
                                    "\xe2\x80\x84",
                                    "\xe2\x80\x85",
                                    "\xe2\x80\x86",
                                    "\xe2\x80\x87",
                                    "\xe2\x80\x88",
                                    "\xe2\x80\x89",
                                    "\xe2\x80\x8a",
                                    "\xe2\x80\xa8",
                                    "\xe2\x80\xa9",
                                    "\xe2\x80\xaf",
                                    "\xe2\x81\x9f",
                                    "\xe3\x80\x80"};

std::string_view trimmed(std::string_view s)
{
    for (bool again = true; again && !s.empty();) {
        again = false;
        for (std::string_view sp : kSpaces) {
            if (s.substr(0, sp.size()) == sp) {
                s.remove_prefix(sp.size());
                again = true;
            }
            if (s.size() >= sp.size() && s.substr(s.size() - sp.size()) == sp) {
                s.remove_suffix(sp.size());
                again = true;
            }
        }
    }
    return s;
}

// Folds the text as Qt's case-insensitive comparison does for names made of
// ASCII: letters to lower case, and the two characters outside ASCII that fold
// into it (KELVIN SIGN → k, LONG S → s).
std::string folded(std::string_view s)
{
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s.substr(i, 3) == "\xe2\x84\xaa") {
            out += 'k';
            i += 2;
        } else if (s.substr(i, 2) == "\xc5\xbf") {
            out += 's';
            i += 1;
        } else {
            const char c = s[i];
            out += (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
        }
    }
    return out;
}

const std::vector<FileSystem> &table()
{
    static const std::vector<FileSystem> t = {
        {{"APFS", "APFSX"}, "apfs", "Apple_APFS", 255, true},
        {{"Journaled HFS+", "JHFS+", "HFSJ", "Mac OS Extended (Journaled)"}, "hfs", "Apple_HFS", 255, true},
        {{"HFS+", "HFS", "Mac OS Extended"}, "hfs", "Apple_HFS", 255, true},
        {{"ExFAT"}, "exfat", "Microsoft Basic Data", 255, true},
        {{"MS-DOS FAT32", "FAT32", "MS-DOS", "msdos"}, "msdos", "Microsoft Basic Data", 11, true},
        {{"NTFS"}, "ntfs", "Microsoft Basic Data", 255, false},
    };
    return t;
}

} // namespace

const FileSystem *fileSystemNamed(const std::string &personality)
{
    const std::string wanted = folded(trimmed(personality));
    for (const FileSystem &fs : table())
        for (const std::string &n : fs.names)
            if (folded(n) == wanted)
                return &fs;
    return nullptr;
}

std::string fileSystemType(const std::string &fs)
{
    if (const FileSystem *kind = fileSystemNamed(fs))
        return kind->type;
    std::string lower = fs;
    for (char &c : lower)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return lower;
}

} // namespace Platform::DiskWorld::Core
