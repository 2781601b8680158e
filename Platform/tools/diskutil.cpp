// The stand-in diskutil: lists and changes the disks of the world under TARNWICK_ROOT.
#include "ToolCommands.h"

int main(int argc, char **argv)
{
    return Platform::DiskWorld::diskutilMain(Platform::DiskWorld::argumentsOf(argc, argv));
}
