// Tarnwick's entry point. The application shell is not built yet.
#include <cstdio>

int main()
{
    std::puts("Tarnwick: the window is not built yet.");
    return 0;
}
