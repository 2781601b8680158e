#pragma once
// The diskutil that the volume pickers start many times a second: it answers
// `info -plist <identifier>` and `list -plist [disk]` itself, without loading
// Qt, and hands every other call, untouched, to the full diskutil in the
// `libexec` folder beside it, which also sets right a world that holds a change
// cut short.
namespace Platform::DiskWorld::Core {

// Runs the whole command line (argv as main got it); the exit status, or no
// return when the full program took over.
int diskutilFrontMain(int argc, char **argv);

} // namespace Platform::DiskWorld::Core
