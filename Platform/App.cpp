#include "App.h"

#include <QEvent>
#include <QEventLoop>
#include <QPointer>
#include <QWidget>
#include <algorithm>
#include <optional>
#include <vector>

namespace Platform::App {
namespace {
struct Session {
    QEventLoop *loop = nullptr;
    QPointer<QWidget> window;
    bool hasWindow = false;
    bool ending = false;
};

std::vector<Session *> &sessions()
{
    static std::vector<Session *> stack;
    return stack;
}

void end(Session *session, int code)
{
    if (!session || session->ending)
        return;
    session->ending = true;
    session->loop->exit(code);
}

// Ends the session of its window however the window goes away: its own
// close action, the window manager's close (Alt+F4, the title bar's button),
// a hide, or its destruction. Without it a window that went without asking
// would leave its session running, and the rest of the program refusing
// input behind an invisible window.
class SessionWatch : public QObject {
public:
    SessionWatch(Session *session, QWidget *window) : m_session(session), m_window(window)
    {
        window->installEventFilter(this);
        connect(window, &QObject::destroyed, this, [this] { end(m_session, 0); });
    }
    ~SessionWatch() override
    {
        if (m_window)
            m_window->removeEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // A spontaneous hide is the window being minimised: it is still there.
        if (watched == m_window && event->type() == QEvent::Hide && !event->spontaneous())
            end(m_session, 0);
        return false;
    }

private:
    Session *m_session;
    QPointer<QWidget> m_window;
};

constexpr int AbortResponse = -1001;
} // namespace

int runModal(QWidget *window)
{
    QEventLoop loop;
    Session session{&loop, window, window != nullptr, false};
    Qt::WindowModality previous = Qt::NonModal;
    if (window) {
        previous = window->windowModality();
        if (previous != Qt::ApplicationModal) {
            // Modality takes effect when a window is shown.
            const bool wasVisible = window->isVisible();
            if (wasVisible)
                window->hide();
            window->setWindowModality(Qt::ApplicationModal);
        }
        window->show();
        window->raise();
        window->activateWindow();
    }
    sessions().push_back(&session);
    std::optional<SessionWatch> watch;
    if (window)
        watch.emplace(&session, window);
    const int code = loop.exec();
    watch.reset();
    sessions().erase(std::find(sessions().begin(), sessions().end(), &session));
    if (session.window && previous != Qt::ApplicationModal) {
        const bool visible = session.window->isVisible();
        if (visible)
            session.window->hide();
        session.window->setWindowModality(previous);
        if (visible)
            session.window->show();
    }
    return code;
}

void stopModal(int code)
{
    // A second call before the innermost session has returned ends nothing more.
    if (!sessions().empty())
        end(sessions().back(), code);
}

void stopModal(QWidget *window, int code)
{
    if (!window) {
        stopModal(code);
        return;
    }
    for (auto it = sessions().rbegin(); it != sessions().rend(); ++it) {
        if ((*it)->hasWindow && (*it)->window == window) {
            end(*it, code);
            return;
        }
    }
}

void abortModal(QWidget *window) { stopModal(window, AbortResponse); }

bool isRunningModal() { return !sessions().empty(); }

QWidget *modalWindow() { return sessions().empty() ? nullptr : sessions().back()->window.data(); }

} // namespace Platform::App
