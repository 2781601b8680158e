#include "Dispatch.h"
#include "Clock.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

namespace Platform::Dispatch {
namespace {
QThreadPool &globalPool()
{
    static QThreadPool *pool = [] {
        auto *p = new QThreadPool;
        // Blocks on this queue often wait for tools; let enough of them run.
        p->setMaxThreadCount(std::max(16, QThread::idealThreadCount() * 2));
        p->setExpiryTimeout(30000);
        return p;
    }();
    return *pool;
}
} // namespace

bool isMainThread()
{
    auto *app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void mainAsync(std::function<void()> block)
{
    auto *app = QCoreApplication::instance();
    if (!app)
        return;
    QMetaObject::invokeMethod(app, std::move(block), Qt::QueuedConnection);
}

void mainSync(const std::function<void()> &block)
{
    auto *app = QCoreApplication::instance();
    if (!app || isMainThread()) {
        block();
        return;
    }
    QMetaObject::invokeMethod(app, block, Qt::BlockingQueuedConnection);
}

void globalAsync(std::function<void()> block) { globalPool().start(std::move(block)); }

void after(double seconds, Queue queue, std::function<void()> block)
{
    auto schedule = [seconds, queue, block = std::move(block)]() mutable {
        QTimer::singleShot(Clock::realMs(seconds), QCoreApplication::instance(),
                           [queue, block = std::move(block)]() mutable {
                               if (queue == Queue::Main)
                                   block();
                               else
                                   globalAsync(std::move(block));
                           });
    };
    if (isMainThread())
        schedule();
    else
        mainAsync(std::move(schedule));
}

bool waitForGlobalQueue(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (QCoreApplication::instance() && isMainThread())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (globalPool().activeThreadCount() == 0) {
            if (QCoreApplication::instance() && isMainThread())
                QCoreApplication::processEvents();
            if (globalPool().activeThreadCount() == 0)
                return true;
        }
        QThread::msleep(2);
    }
    return false;
}

} // namespace Platform::Dispatch
