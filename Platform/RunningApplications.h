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
    enum class Scope { ThisSession, AnySession };
    // Processes whose executable lies in a bundle whose Info.plist carries
    // the identifier. In this session (the default) a process counts when it
    // serves the same display and the same system root as this one (and this
    // process always); one whose environment cannot be read does not.
    static QList<RunningApplication> withBundleIdentifier(const QString &bundleIdentifier,
                                                          Scope scope = Scope::ThisSession);
    // Asks that process to bring its windows to the front; true when it answered.
    static bool activate(const RunningApplication &application);
    // Lets other processes activate this one: `onActivate` runs on the main
    // thread. The socket is removed again when the process ends normally.
    static void listenForActivation(std::function<void()> onActivate);
    static qint64 currentProcessIdentifier();
};

} // namespace Platform
