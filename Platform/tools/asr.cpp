// The stand-in asr: restores one world volume onto another.
#include "ToolCommands.h"

int main(int argc, char **argv) { return Platform::DiskWorld::asrMain(Platform::DiskWorld::argumentsOf(argc, argv)); }
