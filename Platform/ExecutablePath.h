#pragma once
#include <QString>

namespace Platform {

// The file of the running program, found without an application object (the
// start-up code needs its bundle before it decides which one to make). Empty
// when the system cannot tell.
QString executablePath();

} // namespace Platform
