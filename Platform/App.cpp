#include "App.h"

#include <QEventLoop>
#include <QPointer>
#include <QWidget>
#include <algorithm>
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
    const int code = loop.exec();
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
