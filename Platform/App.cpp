#include "App.h"

#include <QEvent>
#include <QEventLoop>
#include <QList>
#include <QWidget>

namespace Platform {
namespace {
struct ModalSession {
    QEventLoop *loop;
    QPointer<QWidget> window;
};
QList<ModalSession> g_sessions;

// Ends the session when its window is closed by other means than stopModal.
class CloseWatcher : public QObject {
public:
    explicit CloseWatcher(QEventLoop *loop)
        : m_loop(loop)
    {
    }
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Close || e->type() == QEvent::Hide)
            m_loop->exit(-1);
        return false;
    }

private:
    QEventLoop *m_loop;
};
} // namespace

int App::runModal(QWidget *window)
{
    if (!window)
        return -1;
    QEventLoop loop;
    CloseWatcher watcher(&loop);
    window->setWindowModality(Qt::ApplicationModal);
    window->installEventFilter(&watcher);
    g_sessions.append({&loop, window});
    window->show();
    window->raise();
    const int code = loop.exec(QEventLoop::DialogExec);
    g_sessions.removeLast();
    if (window)
        window->removeEventFilter(&watcher);
    return code;
}

void App::stopModal(int code)
{
    if (!g_sessions.isEmpty())
        g_sessions.last().loop->exit(code);
}

bool App::isRunningModal() { return !g_sessions.isEmpty(); }

QWidget *App::modalWindow() { return g_sessions.isEmpty() ? nullptr : g_sessions.last().window.data(); }

} // namespace Platform
