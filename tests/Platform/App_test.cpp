// Modal sessions end however their window goes: its own stop, the window
// system's close request (what the window manager sends for Alt+F4 or the
// title bar's close button), a hide, or its destruction.
#include <gtest/gtest.h>

#include "App.h"

#include <QCloseEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <functional>

namespace {

// A window that may refuse to close, as a window that asks first does.
class Window : public QWidget {
public:
    bool refuseClose = false;

protected:
    void closeEvent(QCloseEvent *event) override
    {
        if (refuseClose)
            event->ignore();
        else
            QWidget::closeEvent(event);
    }
};

constexpr int kGuardCode = 99;

// Runs `window` modally; once it is up, `whileOpen` acts on it. A session
// that outlives the action is ended after a while with kGuardCode.
int runWhile(QWidget *window, const std::function<void()> &whileOpen)
{
    QTimer::singleShot(0, window, whileOpen);
    QPointer<QWidget> guarded(window);
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [guarded] {
        if (guarded)
            Platform::App::stopModal(guarded.data(), kGuardCode);
        else
            Platform::App::stopModal(kGuardCode);
    });
    guard.start(3000);
    return Platform::App::runModal(window);
}

struct CloseCase {
    const char *name;
    std::function<void(Window *)> close;
    bool hides;
};

} // namespace

TEST(ModalSession, EndsWhenItsWindowGoesAnyWay)
{
    const CloseCase cases[] = {
        {"window system close request", [](Window *w) { w->windowHandle()->close(); }, true},
        {"close", [](Window *w) { w->close(); }, true},
        {"hide", [](Window *w) { w->hide(); }, true},
        {"own stop", [](Window *w) { Platform::App::stopModal(w); }, false},
    };
    for (const CloseCase &c : cases) {
        Window window;
        window.resize(200, 100);
        const int code = runWhile(&window, [&] {
            ASSERT_TRUE(window.isVisible());
            ASSERT_TRUE(window.windowHandle());
            EXPECT_EQ(Platform::App::modalWindow(), &window);
            c.close(&window);
        });
        EXPECT_EQ(code, 0) << c.name;
        EXPECT_FALSE(Platform::App::isRunningModal()) << c.name;
        EXPECT_NE(window.isVisible(), c.hides) << c.name;
        EXPECT_EQ(window.windowModality(), Qt::NonModal) << c.name;
    }
}

TEST(ModalSession, EndsWhenItsWindowIsDestroyed)
{
    auto *window = new Window;
    const int code = runWhile(window, [window] { delete window; });
    EXPECT_EQ(code, 0);
    EXPECT_FALSE(Platform::App::isRunningModal());
}

TEST(ModalSession, ARefusedCloseKeepsTheSessionAndAnInnerWindowsCloseEndsOnlyItsOwn)
{
    Window window;
    window.refuseClose = true;
    const int refused = runWhile(&window, [&] { window.windowHandle()->close(); });
    EXPECT_EQ(refused, kGuardCode);

    // A session opened over another: closing the inner window ends the inner
    // session only, and the outer one runs on until its own window goes.
    Window outer;
    Window inner;
    bool outerRanOn = false;
    int innerCode = -1;
    const int outerCode = runWhile(&outer, [&] {
        innerCode = runWhile(&inner, [&] { inner.windowHandle()->close(); });
        outerRanOn = Platform::App::isRunningModal() && Platform::App::modalWindow() == &outer;
        outer.windowHandle()->close();
    });
    EXPECT_EQ(innerCode, 0);
    EXPECT_TRUE(outerRanOn);
    EXPECT_EQ(outerCode, 0);
}
