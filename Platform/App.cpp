#include "App.h"

#include <QEventLoop>
#include <QPointer>
#include <QWidget>
#include <vector>

namespace Platform::App {
namespace {
std::vector<QPointer<QEventLoop>> &loops()
{
    static std::vector<QPointer<QEventLoop>> stack;
    return stack;
}
} // namespace

int runModal(QWidget *window)
{
    if (window) {
        window->show();
        window->raise();
    }
    QEventLoop loop;
    loops().push_back(&loop);
    const int code = loop.exec();
    loops().pop_back();
    return code;
}

void stopModal(int code)
{
    if (loops().empty() || !loops().back())
        return;
    loops().back()->exit(code);
}

bool isRunningModal() { return !loops().empty(); }

} // namespace Platform::App
