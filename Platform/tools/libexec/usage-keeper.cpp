// Keeps the used size of a world's volumes for the stand-in tools.
#include "UsageKeeperMain.h"

int main(int argc, char **argv) { return Platform::DiskWorld::usageKeeperMain(argc, argv); }
