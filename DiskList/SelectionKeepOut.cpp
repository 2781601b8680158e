#include "SelectionKeepOut.h"

#include <mutex>

namespace {

std::mutex &makerMutex()
{
    static std::mutex mutex;
    return mutex;
}

SelectionKeepOut::Maker &installedMaker()
{
    static SelectionKeepOut::Maker maker;
    return maker;
}

} // namespace

void SelectionKeepOut::install(Maker maker)
{
    std::lock_guard<std::mutex> lock(makerMutex());
    installedMaker() = std::move(maker);
}

std::unique_ptr<SelectionKeepOut> SelectionKeepOut::make()
{
    Maker maker;
    {
        std::lock_guard<std::mutex> lock(makerMutex());
        maker = installedMaker();
    }
    return maker ? maker() : nullptr;
}
