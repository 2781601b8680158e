#include "HasM1Chip.h"

#include "SystemInfo.h"

#include <atomic>

namespace {
// 0 not asked yet, 1 no, 2 yes.
std::atomic<int> g_answer{0};
} // namespace

bool has_m1_chip()
{
    int answer = g_answer.load();
    if (answer == 0) {
        answer = Platform::SystemInfo::cpuBrand().contains(QLatin1String("Apple")) ? 2 : 1;
        g_answer.store(answer);
    }
    return answer == 2;
}

void has_m1_chip_forget() { g_answer.store(0); }
