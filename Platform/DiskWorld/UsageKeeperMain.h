#pragma once
// The usage keeper's program (see Core/UsageKeeper.h): `usage-keeper ROOT`
// answers the questions about the world at ROOT until that world is gone or
// nobody has asked for ten minutes.
namespace Platform::DiskWorld {

int usageKeeperMain(int argc, char **argv);

} // namespace Platform::DiskWorld
