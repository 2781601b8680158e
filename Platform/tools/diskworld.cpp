// Makes disk worlds and plugs disks in and out of them while the application runs.
#include "ToolCommands.h"

int main(int argc, char **argv)
{
    return Platform::DiskWorld::diskworldMain(Platform::DiskWorld::argumentsOf(argc, argv));
}
