#pragma once
#include <QByteArray>

namespace Platform {

// Opens `rel` (a relative path) below the folder open at `dirFd` without
// following a symbolic link in any component and without leaving that
// folder's file system. open(2) flags and mode; the result is a descriptor or
// -1 with errno set (ELOOP for a link, EXDEV for another file system).
int openBeneath(int dirFd, const QByteArray &rel, int flags, unsigned mode = 0);

} // namespace Platform
