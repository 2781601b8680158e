#include "NotificationCenter.h"

namespace Platform {

NotificationCenter &NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

NotificationCenter &NotificationCenter::workspaceCenter()
{
    static NotificationCenter center;
    return center;
}

void NotificationCenter::addObserver(const void *observer, const QString &name, const void *object, Handler handler)
{
    QMutexLocker lock(&m_mutex);
    m_entries.push_back({m_nextId++, observer, name, object, std::make_shared<Handler>(std::move(handler))});
}

void NotificationCenter::removeObserver(const void *observer)
{
    QMutexLocker lock(&m_mutex);
    std::erase_if(m_entries, [observer](const Entry &e) { return e.observer == observer; });
}

void NotificationCenter::removeObserver(const void *observer, const QString &name)
{
    QMutexLocker lock(&m_mutex);
    std::erase_if(m_entries, [&](const Entry &e) { return e.observer == observer && e.name == name; });
}

void NotificationCenter::post(const QString &name, const void *object, const QVariantMap &userInfo)
{
    std::vector<std::pair<quint64, std::shared_ptr<Handler>>> targets;
    {
        QMutexLocker lock(&m_mutex);
        for (const Entry &e : m_entries)
            if (e.name == name && (!e.object || e.object == object))
                targets.emplace_back(e.id, e.handler);
    }
    const Notification n{name, object, userInfo};
    for (auto &[id, handler] : targets) {
        // An observer removed by an earlier handler of this post is not called.
        bool alive = false;
        {
            QMutexLocker lock(&m_mutex);
            for (const Entry &e : m_entries)
                if (e.id == id) {
                    alive = true;
                    break;
                }
        }
        if (alive)
            (*handler)(n);
    }
}

int NotificationCenter::observerCount(const QString &name) const
{
    QMutexLocker lock(&m_mutex);
    return int(std::count_if(m_entries.begin(), m_entries.end(), [&](const Entry &e) { return e.name == name; }));
}

} // namespace Platform
