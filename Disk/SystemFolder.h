#pragma once
#include <QString>

// The list "SystemFile" among the bundle's resources: the paths of system
// files the file browser does not let the user untick, under the keys "0",
// "1", "2" … Keeps no state; any thread.
class SystemFolder {
public:
    // True when the full path is listed. The listed paths are paths of the
    // original platform: a path matches a listed one as it stands or resolved
    // under the system root. Only keys below the list's count are looked at,
    // so entries after a gap in the numbering are never compared.
    static bool isSystemFileWithFilePath(const QString &path);
};
