#include "ProcessEnd.h"

#include <cstdio>
#include <cstdlib>

void endProcess(int status)
{
    std::fflush(nullptr);
    std::quick_exit(status);
}
