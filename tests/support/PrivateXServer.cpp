#include "PrivateXServer.h"

#include "TestSupport.h"
#include "WindowCompositing.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

namespace TestSupport {

namespace {

constexpr char kChildVariable[] = "TARNWICK_PRIVATE_X";

bool displayInUse(int n)
{
    return QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)) ||
           QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(n));
}

// The server answers on its socket (it makes the socket before it listens).
bool acceptsConnections(const QByteArray &display)
{
    if (!QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X") + QString::fromLatin1(display.mid(1))))
        return false;
    xcb_connection_t *c = xcb_connect(display.constData(), nullptr);
    const bool ok = !xcb_connection_has_error(c);
    xcb_disconnect(c);
    return ok;
}

// The root of a display carries the window manager's check window.
bool windowManagerRuns(xcb_connection_t *c, xcb_window_t root)
{
    const char name[] = "_NET_SUPPORTING_WM_CHECK";
    xcb_intern_atom_reply_t *a = xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, sizeof name - 1, name), nullptr);
    if (!a)
        return false;
    const xcb_atom_t check = a->atom;
    free(a);
    if (check == XCB_ATOM_NONE)
        return false;
    xcb_get_property_reply_t *p =
        xcb_get_property_reply(c, xcb_get_property(c, 0, root, check, XCB_ATOM_WINDOW, 0, 1), nullptr);
    const bool set = p && xcb_get_property_value_length(p) == 4;
    free(p);
    return set;
}

} // namespace

PrivateXServer::PrivateXServer(const Options &options)
{
    if (!startServer(options))
        return;
    int screen = 0;
    xcb_connection_t *c = xcb_connect(m_display.toLatin1().constData(), &screen);
    if (xcb_connection_has_error(c)) {
        m_error = QStringLiteral("no connection to ") + m_display;
        xcb_disconnect(c);
        return;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    if (options.compositingManager &&
        startManager(m_compositingManager, QStringLiteral("xcompmgr"), {QStringLiteral("-d"), m_display},
                     "compositing manager") &&
        !waitUntil([&] { return Platform::WindowCompositing::x11CompositingManagerRuns(c, screen); }, 10000))
        m_error = QStringLiteral("xcompmgr did not take the compositing selection");
    if (ok() && options.windowManager &&
        startManager(m_windowManager, QStringLiteral("openbox"), {QStringLiteral("--sm-disable")}, "window manager") &&
        !waitUntil([&] { return windowManagerRuns(c, root); }, 10000))
        m_error = QStringLiteral("openbox did not announce itself on the root window");
    xcb_disconnect(c);
}

PrivateXServer::~PrivateXServer()
{
    stop(m_windowManager);
    stop(m_compositingManager);
    stop(m_server);
}

bool PrivateXServer::startServer(const Options &options)
{
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty()) {
        m_error = QStringLiteral("no Xvfb (scripts/setup installs it)");
        return false;
    }
    const QString screen = QStringLiteral("%1x%2x24").arg(options.screen.width()).arg(options.screen.height());
    // Numbers well above the ones people use, spread by process so that
    // tests started together rarely try the same one.
    const int first = 200 + int(::getpid() % 300);
    for (int i = 0; i < 300; ++i) {
        const int n = 200 + (first - 200 + i) % 300;
        if (displayInUse(n))
            continue;
        m_server.setProcessChannelMode(QProcess::MergedChannels);
        m_server.start(xvfb, {QStringLiteral(":%1").arg(n), QStringLiteral("-screen"), QStringLiteral("0"), screen,
                              QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-noreset")});
        if (!m_server.waitForStarted(5000))
            break;
        const QByteArray name = ":" + QByteArray::number(n);
        const bool up =
            waitUntil([&] { return m_server.state() != QProcess::Running || acceptsConnections(name); }, 10000);
        if (up && m_server.state() == QProcess::Running) {
            m_display = QStringLiteral(":%1").arg(n);
            return true;
        }
        // Another server took the number meanwhile: try the next one.
        stop(m_server);
    }
    m_error = QStringLiteral("Xvfb did not start: ") + QString::fromLocal8Bit(m_server.readAll());
    return false;
}

bool PrivateXServer::startManager(QProcess &process, const QString &program, const QStringList &arguments,
                                  const char *what)
{
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty()) {
        m_error = QStringLiteral("no %1 for the %2 (scripts/setup installs it)").arg(program, QLatin1String(what));
        return false;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(path, arguments);
    if (!process.waitForStarted(5000)) {
        m_error = program + QStringLiteral(" did not start");
        return false;
    }
    return true;
}

void PrivateXServer::stop(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

bool PrivateXServer::runsHere()
{
    return !qEnvironmentVariableIsEmpty(kChildVariable) && QGuiApplication::platformName() == QLatin1String("xcb");
}

void PrivateXServer::runCurrentTest(const Options &options)
{
    const ::testing::TestInfo *test = ::testing::UnitTest::GetInstance()->current_test_info();
    ASSERT_TRUE(test);
    PrivateXServer server(options);
    ASSERT_TRUE(server.ok()) << server.error().toStdString();

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), server.display());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QLatin1String(kChildVariable), server.display());
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    if (options.scaleFactor != 1)
        env.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::number(options.scaleFactor));
    env.remove(QStringLiteral("XAUTHORITY"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    const QString name =
        QString::fromUtf8(test->test_suite_name()) + QLatin1Char('.') + QString::fromUtf8(test->name());
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=") + name, QStringLiteral("--gtest_color=no")});
    ASSERT_TRUE(child.waitForStarted(10000));
    if (!child.waitForFinished(240000)) {
        child.kill();
        child.waitForFinished(5000);
        FAIL() << "the test did not end on " << server.display().toStdString() << ":\n"
               << child.readAll().toStdString();
    }
    const QByteArray output = child.readAll();
    const bool passed = child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0 &&
                        output.contains("[  PASSED  ] 1 test.") && !output.contains("[  SKIPPED ]");
    EXPECT_TRUE(passed) << "on " << server.display().toStdString() << ":\n" << output.toStdString();
}

// ---- XDisplay --------------------------------------------------------------

XDisplay::XDisplay()
{
    int screen = 0;
    m_connection = xcb_connect(nullptr, &screen);
    if (xcb_connection_has_error(m_connection)) {
        xcb_disconnect(m_connection);
        m_connection = nullptr;
        return;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
    for (int i = 0; i < screen && it.rem; ++i)
        xcb_screen_next(&it);
    m_root = it.data->root;
}

XDisplay::~XDisplay()
{
    if (m_connection)
        xcb_disconnect(m_connection);
}

uint32_t XDisplay::atom(const char *name) const
{
    xcb_intern_atom_reply_t *a =
        xcb_intern_atom_reply(m_connection, xcb_intern_atom(m_connection, 0, uint16_t(strlen(name)), name), nullptr);
    const uint32_t value = a ? a->atom : 0;
    free(a);
    return value;
}

QList<uint32_t> XDisplay::stacking() const
{
    QList<uint32_t> out;
    xcb_query_tree_reply_t *tree = xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, m_root), nullptr);
    if (!tree)
        return out;
    const xcb_window_t *children = xcb_query_tree_children(tree);
    for (int i = 0; i < xcb_query_tree_children_length(tree); ++i)
        out.append(children[i]);
    free(tree);
    return out;
}

uint32_t XDisplay::topLevelOf(uint32_t window) const
{
    uint32_t current = window;
    for (int depth = 0; depth < 16 && current; ++depth) {
        xcb_query_tree_reply_t *tree =
            xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, current), nullptr);
        if (!tree)
            return 0;
        const uint32_t parent = tree->parent;
        free(tree);
        if (parent == m_root)
            return current;
        current = parent;
    }
    return 0;
}

int XDisplay::stackingIndexOf(uint32_t window) const
{
    const uint32_t top = topLevelOf(window);
    return top ? int(stacking().indexOf(top)) : -1;
}

QList<uint32_t> XDisplay::clientList() const
{
    QList<uint32_t> out;
    xcb_get_property_reply_t *p = xcb_get_property_reply(
        m_connection,
        xcb_get_property(m_connection, 0, m_root, atom("_NET_CLIENT_LIST_STACKING"), XCB_ATOM_WINDOW, 0, 1024),
        nullptr);
    if (!p)
        return out;
    const auto *windows = static_cast<const uint32_t *>(xcb_get_property_value(p));
    for (int i = 0; i < xcb_get_property_value_length(p) / 4; ++i)
        out.append(windows[i]);
    free(p);
    return out;
}

int XDisplay::wmState(uint32_t window) const
{
    const uint32_t state = atom("WM_STATE");
    xcb_get_property_reply_t *p =
        xcb_get_property_reply(m_connection, xcb_get_property(m_connection, 0, window, state, state, 0, 2), nullptr);
    int value = -1;
    if (p && xcb_get_property_value_length(p) >= 4)
        value = int(static_cast<const uint32_t *>(xcb_get_property_value(p))[0]);
    free(p);
    return value;
}

bool XDisplay::isViewable(uint32_t window) const
{
    xcb_get_window_attributes_reply_t *a =
        xcb_get_window_attributes_reply(m_connection, xcb_get_window_attributes(m_connection, window), nullptr);
    const bool viewable = a && a->map_state == XCB_MAP_STATE_VIEWABLE;
    free(a);
    return viewable;
}

QRect XDisplay::geometry(uint32_t window) const
{
    xcb_get_geometry_reply_t *g = xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, window), nullptr);
    if (!g)
        return {};
    const QSize size(g->width, g->height);
    free(g);
    xcb_translate_coordinates_reply_t *t = xcb_translate_coordinates_reply(
        m_connection, xcb_translate_coordinates(m_connection, window, m_root, 0, 0), nullptr);
    if (!t)
        return {};
    const QRect r(QPoint(t->dst_x, t->dst_y), size);
    free(t);
    return r;
}

void XDisplay::movePointer(const QPoint &p) const
{
    xcb_test_fake_input(m_connection, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, m_root, int16_t(p.x()), int16_t(p.y()),
                        0);
    sync();
}

void XDisplay::click(const QPoint &p) const
{
    movePointer(p);
    xcb_test_fake_input(m_connection, XCB_BUTTON_PRESS, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    sync();
    xcb_test_fake_input(m_connection, XCB_BUTTON_RELEASE, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    sync();
}

void XDisplay::activate(uint32_t window) const
{
    xcb_client_message_event_t e = {};
    e.response_type = XCB_CLIENT_MESSAGE;
    e.format = 32;
    e.window = window;
    e.type = atom("_NET_ACTIVE_WINDOW");
    e.data.data32[0] = 2; // from a pager or task bar
    e.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(m_connection, 0, m_root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char *>(&e));
    sync();
}

void XDisplay::sync() const
{
    free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
}

QImage XDisplay::screenshot(const QString &path) const
{
    QProcess import;
    import.start(QStringLiteral("import"), {QStringLiteral("-display"), qEnvironmentVariable("DISPLAY"),
                                            QStringLiteral("-window"), QStringLiteral("root"), path});
    if (!import.waitForFinished(20000) || import.exitCode() != 0)
        return {};
    return QImage(path);
}

} // namespace TestSupport
