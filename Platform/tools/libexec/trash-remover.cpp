// Empties a world's trash folder after the change that threw its content away.
#include "TrashRemover.h"

int main() { return Platform::DiskWorld::Core::TrashRemover::removerMain(); }
