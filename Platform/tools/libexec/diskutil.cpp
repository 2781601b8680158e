// The full stand-in diskutil: lists and changes the disks of the world under
// TARNWICK_ROOT. The diskutil in the tools folder answers the listing calls
// itself and hands every other one to this program.
#include "ToolCommands.h"

int main(int argc, char **argv)
{
    return Platform::DiskWorld::diskutilMain(Platform::DiskWorld::argumentsOf(argc, argv));
}
