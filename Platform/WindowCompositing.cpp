#include "WindowCompositing.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QList>
#include <QPointer>
#include <QSocketNotifier>
#include <QWindow>
#include <cstdlib>
#include <xcb/xcb.h>

namespace Platform::WindowCompositing {

namespace {

// The X screen the connection was opened on: the number after the dot of the
// display name (":1.0"), 0 when there is none.
int displayScreenNumber()
{
    const QByteArray display = qgetenv("DISPLAY");
    const int colon = display.lastIndexOf(':');
    const int dot = display.indexOf('.', colon < 0 ? 0 : colon);
    if (dot < 0)
        return 0;
    bool ok = false;
    const int screen = display.mid(dot + 1).toInt(&ok);
    return ok && screen >= 0 ? screen : 0;
}

bool selectionOwned(xcb_connection_t *connection, const QByteArray &name)
{
    xcb_intern_atom_reply_t *atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 1, uint16_t(name.size()), name.constData()), nullptr);
    if (!atom)
        return false;
    const xcb_atom_t selection = atom->atom;
    free(atom);
    if (selection == XCB_ATOM_NONE)
        return false;
    xcb_get_selection_owner_reply_t *owner =
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr);
    if (!owner)
        return false;
    const bool owned = owner->owner != XCB_WINDOW_NONE;
    free(owner);
    return owned;
}

// The program's own X connection (Qt's), or null on other platforms.
xcb_connection_t *qtConnection()
{
    auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    if (!app || QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto *x11 = app->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

// Keeps the pairs in order. It watches the root window's children on a
// connection of its own (an event mask on the root belongs to the client
// that sets it, so Qt's own stays as it is), and puts a lower window back
// directly below its upper one whenever the stacking on the display changed.
class Stacker : public QObject {
public:
    static Stacker *instance()
    {
        static QPointer<Stacker> stacker;
        if (!stacker && qtConnection())
            stacker = new Stacker(QCoreApplication::instance());
        return stacker && stacker->m_connection ? stacker.data() : nullptr;
    }

    void keep(QWindow *lower, QWindow *upper)
    {
        prune();
        bool found = false;
        for (Pair &p : m_pairs) {
            if (p.lower == lower) {
                p.upper = upper;
                found = true;
            }
        }
        if (!found)
            m_pairs.append(Pair{lower, upper});
        // The windows exist on the server before they are stacked.
        lower->winId();
        upper->winId();
        if (xcb_connection_t *qt = qtConnection())
            free(xcb_get_input_focus_reply(qt, xcb_get_input_focus(qt), nullptr));
        restack();
    }

    void release(QWindow *lower)
    {
        m_pairs.removeIf([lower](const Pair &p) { return p.lower == lower || !p.lower || !p.upper; });
    }

private:
    struct Pair {
        QPointer<QWindow> lower;
        QPointer<QWindow> upper;
    };

    explicit Stacker(QObject *parent) : QObject(parent)
    {
        int screen = 0;
        xcb_connection_t *c = xcb_connect(nullptr, &screen);
        if (xcb_connection_has_error(c)) {
            xcb_disconnect(c);
            return;
        }
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
        for (int i = 0; i < screen && it.rem; ++i)
            xcb_screen_next(&it);
        m_connection = c;
        m_root = it.data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(c, m_root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(c);
        m_notifier = new QSocketNotifier(xcb_get_file_descriptor(c), QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, [this] { handleEvents(); });
    }

    ~Stacker() override
    {
        if (m_connection)
            xcb_disconnect(m_connection);
    }

    void prune()
    {
        m_pairs.removeIf([](const Pair &p) { return !p.lower || !p.upper; });
    }

    // Events that may change who lies above whom.
    static bool changesStacking(uint8_t type)
    {
        switch (type) {
        case XCB_CONFIGURE_NOTIFY:
        case XCB_MAP_NOTIFY:
        case XCB_REPARENT_NOTIFY:
        case XCB_CIRCULATE_NOTIFY:
            return true;
        default:
            return false;
        }
    }

    void handleEvents()
    {
        // Events read while a restack waited for its replies stay in the
        // connection's queue, where the socket no longer announces them: take
        // them all until a round brings nothing new. Our own restacking causes
        // events too; the round after it finds everything in place and sends
        // nothing.
        for (int round = 0; round < 50; ++round) {
            bool changed = false;
            while (xcb_generic_event_t *e = xcb_poll_for_event(m_connection)) {
                changed = changed || changesStacking(e->response_type & 0x7f);
                free(e);
            }
            if (!changed)
                return;
            restack();
        }
    }

    // The root's child that holds `window` (its frame under a reparenting
    // window manager), 0 when there is none.
    xcb_window_t topLevelOf(xcb_window_t window) const
    {
        xcb_window_t current = window;
        for (int depth = 0; depth < 16; ++depth) {
            xcb_query_tree_reply_t *tree =
                xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, current), nullptr);
            if (!tree)
                return 0;
            const xcb_window_t parent = tree->parent;
            free(tree);
            if (parent == m_root)
                return current;
            if (parent == XCB_WINDOW_NONE)
                return 0;
            current = parent;
        }
        return 0;
    }

    void restack()
    {
        prune();
        if (m_pairs.isEmpty())
            return;
        xcb_query_tree_reply_t *tree =
            xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, m_root), nullptr);
        if (!tree)
            return;
        const xcb_window_t *children = xcb_query_tree_children(tree);
        const int count = xcb_query_tree_children_length(tree);
        auto indexOf = [&](xcb_window_t w) {
            for (int i = 0; i < count; ++i) {
                if (children[i] == w)
                    return i;
            }
            return -1;
        };
        bool sent = false;
        for (const Pair &p : std::as_const(m_pairs)) {
            const xcb_window_t lower = xcb_window_t(p.lower->winId());
            const xcb_window_t upper = topLevelOf(xcb_window_t(p.upper->winId()));
            const int lowerIndex = indexOf(lower);
            const int upperIndex = indexOf(upper);
            if (lowerIndex < 0 || upperIndex < 0 || lowerIndex == upperIndex - 1)
                continue;
            const uint32_t values[] = {upper, XCB_STACK_MODE_BELOW};
            xcb_configure_window(m_connection, lower, XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE, values);
            sent = true;
        }
        free(tree);
        if (sent)
            xcb_flush(m_connection);
    }

    xcb_connection_t *m_connection = nullptr;
    xcb_window_t m_root = 0;
    QSocketNotifier *m_notifier = nullptr;
    QList<Pair> m_pairs;
};

} // namespace

bool x11CompositingManagerRuns(xcb_connection_t *connection, int screen)
{
    return selectionOwned(connection, "_NET_WM_CM_S" + QByteArray::number(screen));
}

bool isActive()
{
    auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    if (!app || QGuiApplication::platformName() != QLatin1String("xcb"))
        return app != nullptr;
    xcb_connection_t *c = qtConnection();
    return c && x11CompositingManagerRuns(c, displayScreenNumber());
}

bool windowsCanBeMinimized()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return true;
    // An ICCCM window manager owns WM_S<screen> for as long as it runs.
    xcb_connection_t *c = qtConnection();
    return c && selectionOwned(c, "WM_S" + QByteArray::number(displayScreenNumber()));
}

void keepDirectlyBelow(QWindow *lower, QWindow *upper)
{
    if (!lower || !upper)
        return;
    if (Stacker *s = Stacker::instance())
        s->keep(lower, upper);
}

void release(QWindow *lower)
{
    if (Stacker *s = Stacker::instance())
        s->release(lower);
}

} // namespace Platform::WindowCompositing
