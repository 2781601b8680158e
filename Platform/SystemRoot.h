#pragma once
#include <QString>

namespace Platform {

// The folder that stands for "/" of the original platform: "/" unless the
// environment variable TARNWICK_ROOT names another one (tests and the demo).
QString systemRoot();
// Tests may move the root of their own process.
void setSystemRoot(const QString &root);

// An absolute path of the original platform ("/Volumes/X", "/Users/u/…")
// resolved under the system root. Relative paths are returned unchanged.
QString rootPath(const QString &originalPath);

// The other way round: a path of this machine as the original platform names
// it ("<root>/Volumes/X" → "/Volumes/X", the root itself → "/"). This is what
// a user sees or keeps. Empty for a path outside the system root.
QString systemPath(const QString &hostPath);
// The same for a path as bytes, exactly as the file system has it.
QByteArray systemPath(const QByteArray &hostPath);

// True when a mount point names the startup volume (the system root itself).
bool isStartupMountPoint(const QString &mountPoint);

// The simulated disks keep their own state in a folder at the top of the
// startup volume ("<root>/.diskworld"); it belongs to no volume the user has,
// so listings of the startup volume leave it out.
bool isPlatformPrivatePath(const QString &path);

// The stand-in for a system tool ("/usr/sbin/diskutil" → bundle tools folder).
// Paths of tools that are real here ("/usr/bin/zip", "/bin/cp") are returned as they are.
QString toolPath(const QString &originalToolPath);
// Where the stand-in tools live (the bundle's Resources/tools, or TARNWICK_TOOLS).
QString toolsDirectory();
void setToolsDirectory(const QString &dir);

} // namespace Platform
