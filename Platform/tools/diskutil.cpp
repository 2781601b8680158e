// The stand-in diskutil: answers `info -plist` and `list -plist` without Qt,
// and hands every other call to the full program in libexec/.
#include "DiskutilFront.h"

int main(int argc, char **argv) { return Platform::DiskWorld::Core::diskutilFrontMain(argc, argv); }
