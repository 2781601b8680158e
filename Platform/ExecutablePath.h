#pragma once
#include <QByteArray>
#include <QString>

namespace Platform {

// The file of the running program, found without an application object (the
// start-up code needs its bundle before it decides which one to make). Empty
// when the system cannot tell.
QString executablePath();
// The same file's name as the bytes the system holds (a name that is not
// UTF-8 stays exactly as it is). Empty when the system cannot tell.
QByteArray executableFileName();

} // namespace Platform
