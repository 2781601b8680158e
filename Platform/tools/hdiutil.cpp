// The stand-in hdiutil: makes, mounts and detaches the world's disk images.
#include "ToolCommands.h"

int main(int argc, char **argv)
{
    return Platform::DiskWorld::hdiutilMain(Platform::DiskWorld::argumentsOf(argc, argv));
}
