#pragma once
// An X server of the test's own: Xvfb on a free display number (found by
// looking at /tmp/.X11-unix), reached only through its local socket, with a
// compositing manager (xcompmgr) and a window manager (openbox) when asked
// for, all of it ended with the test.
//
// A test whose windows must meet a real X server runs its body again in a
// child process of the same test program, whose Qt platform is xcb on such a
// display:
//
//     TEST(WindowStacking, Something)
//     {
//         TARNWICK_RUN_ON_PRIVATE_X({.compositingManager = true, .windowManager = true});
//         ... runs on the private display, with XDisplay to look at it ...
//     }
//
// In the test program itself the macro starts the server, runs the test in
// the child, reports the child's failures as its own and returns.
#include <QByteArray>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QProcess>
#include <QRect>
#include <QSize>
#include <QString>
#include <cstdint>
#include <memory>

struct xcb_connection_t;

namespace TestSupport {

class PrivateXServer {
public:
    struct Options {
        QSize screen{1280, 900};
        bool compositingManager = false;
        bool windowManager = false;
        // QT_SCALE_FACTOR of the program that runs the test on it.
        double scaleFactor = 1;
    };

    explicit PrivateXServer(const Options &options);
    ~PrivateXServer();
    PrivateXServer(const PrivateXServer &) = delete;
    PrivateXServer &operator=(const PrivateXServer &) = delete;

    // The server and every manager asked for are running.
    bool ok() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    // ":N"
    QString display() const { return m_display; }

    // Runs the current test in a child process of this program on a server
    // made with `options`; a failure or skip there is a failure here.
    static void runCurrentTest(const Options &options);
    // Whether this process is such a child (the Qt platform is xcb on the
    // private display).
    static bool runsHere();

private:
    bool startServer(const Options &options);
    bool startManager(QProcess &process, const QString &program, const QStringList &arguments, const char *what);
    void stop(QProcess &process);

    QString m_display;
    QString m_error;
    QProcess m_server;
    QProcess m_compositingManager;
    QProcess m_windowManager;
};

// What the X server of this process's DISPLAY holds and does, on a connection
// of its own: the stacking of its windows, the window manager's lists and
// states, and pointer input as from a real mouse (XTEST).
class XDisplay {
public:
    XDisplay();
    ~XDisplay();
    XDisplay(const XDisplay &) = delete;
    XDisplay &operator=(const XDisplay &) = delete;

    bool ok() const { return m_connection != nullptr; }
    uint32_t root() const { return m_root; }

    // The root's children, bottom to top.
    QList<uint32_t> stacking() const;
    // The root's child that holds `window` (its frame under a reparenting
    // window manager, else the window itself).
    uint32_t topLevelOf(uint32_t window) const;
    // Where `window`'s top-level lies in the stacking, -1 when nowhere.
    int stackingIndexOf(uint32_t window) const;
    // The window manager's _NET_CLIENT_LIST_STACKING.
    QList<uint32_t> clientList() const;
    // ICCCM WM_STATE (1 normal, 3 iconic), -1 when the window has none.
    int wmState(uint32_t window) const;
    bool isViewable(uint32_t window) const;
    // The window's rectangle on the screen.
    QRect geometry(uint32_t window) const;

    // A press and release of the left button at `screenPoint`, as a mouse
    // makes them.
    void click(const QPoint &screenPoint) const;
    void movePointer(const QPoint &screenPoint) const;
    // Asks the window manager to bring `window` back and activate it, as a
    // task bar does.
    void activate(uint32_t window) const;
    // Everything sent so far has reached the server.
    void sync() const;

    // What the screen shows, as `import` reads it (saved at `path` too).
    QImage screenshot(const QString &path) const;

private:
    uint32_t atom(const char *name) const;
    xcb_connection_t *m_connection = nullptr;
    uint32_t m_root = 0;
};

} // namespace TestSupport

#define TARNWICK_RUN_ON_PRIVATE_X(...)                                                                                 \
    do {                                                                                                               \
        if (!::TestSupport::PrivateXServer::runsHere()) {                                                              \
            ::TestSupport::PrivateXServer::runCurrentTest(::TestSupport::PrivateXServer::Options __VA_ARGS__);         \
            return;                                                                                                    \
        }                                                                                                              \
    } while (0)
