#include "ChildWindows.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QWindow>

namespace {

// Lives as a child object of the parent window, so it goes with it.
class ChildWindowTracker : public QObject {
public:
    explicit ChildWindowTracker(QWidget *parent) : QObject(parent), m_parent(parent), m_lastPos(parent->pos())
    {
        setObjectName(QStringLiteral("ChildWindowTracker"));
        parent->installEventFilter(this);
    }

    static ChildWindowTracker *of(const QWidget *parent, bool create)
    {
        if (!parent)
            return nullptr;
        for (QObject *o : parent->children()) {
            if (auto *t = dynamic_cast<ChildWindowTracker *>(o))
                return t;
        }
        return create ? new ChildWindowTracker(const_cast<QWidget *>(parent)) : nullptr;
    }

    void add(QWidget *child)
    {
        prune();
        if (!m_children.contains(child))
            m_children.append(child);
        m_lastPos = m_parent->pos();
        keepAbove(child);
    }
    bool remove(QWidget *child)
    {
        prune();
        return m_children.removeAll(child) > 0;
    }
    QList<QWidget *> list() const
    {
        QList<QWidget *> out;
        for (const auto &c : m_children) {
            if (c)
                out.append(c.data());
        }
        return out;
    }
    bool contains(const QWidget *child) const
    {
        for (const auto &c : m_children) {
            if (c == child)
                return true;
        }
        return false;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_parent)
            return false;
        switch (event->type()) {
        case QEvent::Move: {
            const QPoint delta = m_parent->pos() - m_lastPos;
            m_lastPos = m_parent->pos();
            if (!delta.isNull()) {
                for (QWidget *c : list())
                    c->move(c->pos() + delta);
            }
            break;
        }
        case QEvent::Show:
        case QEvent::WindowActivate:
            for (QWidget *c : list())
                keepAbove(c);
            break;
        default:
            break;
        }
        return false;
    }

private:
    void prune()
    {
        m_children.removeIf([](const QPointer<QWidget> &c) { return c.isNull(); });
    }
    void keepAbove(QWidget *child)
    {
        child->winId();
        m_parent->winId();
        if (child->windowHandle() && m_parent->windowHandle())
            child->windowHandle()->setTransientParent(m_parent->windowHandle());
        if (child->isVisible())
            child->raise();
    }

    QWidget *m_parent;
    QPoint m_lastPos;
    QList<QPointer<QWidget>> m_children;
};

} // namespace

void ChildWindows::addChildWindow(QWidget *parent, QWidget *child)
{
    if (!parent || !child || parent == child)
        return;
    if (QWidget *old = parentWindow(child); old && old != parent)
        removeChildWindow(old, child);
    ChildWindowTracker::of(parent, true)->add(child);
    // Ordering a child in with its parent shows it, as on the original platform.
    if (parent->isVisible() && !child->isVisible()) {
        child->show();
        child->raise();
    }
}

void ChildWindows::removeChildWindow(QWidget *parent, QWidget *child)
{
    if (auto *t = ChildWindowTracker::of(parent, false); t && child) {
        if (t->remove(child) && child->windowHandle() && parent->windowHandle() &&
            child->windowHandle()->transientParent() == parent->windowHandle())
            child->windowHandle()->setTransientParent(nullptr);
    }
}

QList<QWidget *> ChildWindows::childWindows(const QWidget *parent)
{
    auto *t = ChildWindowTracker::of(parent, false);
    return t ? t->list() : QList<QWidget *>{};
}

QWidget *ChildWindows::parentWindow(const QWidget *child)
{
    if (!child)
        return nullptr;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *t = ChildWindowTracker::of(w, false); t && t->contains(child))
            return w;
    }
    return nullptr;
}
