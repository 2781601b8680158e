#pragma once
#include <QList>
#include <QString>
#include <functional>

class QLocalServer;

namespace Platform {

struct RunningApplication {
    qint64 processIdentifier = 0;
    QString bundlePath;
};

// NSRunningApplication's place: which processes run the executable of a
// bundle with a given identifier, and bringing one of them to the front.
class RunningApplications {
public:
    // Processes (of any user) whose executable lies in a bundle whose
    // Info.plist carries the identifier.
    static QList<RunningApplication> withBundleIdentifier(const QString &bundleIdentifier);
    // Asks that process to bring its windows to the front; true when it answered.
    static bool activate(const RunningApplication &application);
    // Lets other processes activate this one: `onActivate` runs on the main thread.
    static void listenForActivation(std::function<void()> onActivate);
    static qint64 currentProcessIdentifier();
};

} // namespace Platform
