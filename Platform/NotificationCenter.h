#pragma once
#include <QMutex>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <vector>

namespace Platform {

struct Notification {
    QString name;
    const void *object = nullptr;
    QVariantMap userInfo;
};

// Named notifications delivered synchronously to observers, in the order they
// registered. An observer is identified by a pointer of its owner's choosing.
class NotificationCenter {
public:
    using Handler = std::function<void(const Notification &)>;

    NotificationCenter() = default;
    static NotificationCenter &defaultCenter();
    // The workspace's own centre (mount and unmount notifications).
    static NotificationCenter &workspaceCenter();

    // object == nullptr observes the name for any object.
    void addObserver(const void *observer, const QString &name, const void *object, Handler handler);
    void removeObserver(const void *observer);
    void removeObserver(const void *observer, const QString &name);
    void post(const QString &name, const void *object = nullptr, const QVariantMap &userInfo = {});
    int observerCount(const QString &name) const;

    NotificationCenter(const NotificationCenter &) = delete;
    NotificationCenter &operator=(const NotificationCenter &) = delete;

private:
    struct Entry {
        quint64 id;
        const void *observer;
        QString name;
        const void *object;
        std::shared_ptr<Handler> handler;
    };
    mutable QMutex m_mutex;
    std::vector<Entry> m_entries;
    quint64 m_nextId = 1;
};

} // namespace Platform
