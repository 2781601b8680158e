#pragma once
#include <QString>
#include <QStringList>
#include <functional>

namespace Platform {

// The system log (NSLog's place): standard error, unless a test captures it.
void systemLog(const QString &message);

// While one of these lives, system log lines are collected instead of printed.
class SystemLogCapture {
public:
    SystemLogCapture();
    ~SystemLogCapture();
    QStringList lines() const;
    bool contains(const QString &text) const;
    int count(const QString &text) const;
    SystemLogCapture(const SystemLogCapture &) = delete;
    SystemLogCapture &operator=(const SystemLogCapture &) = delete;
};

} // namespace Platform
