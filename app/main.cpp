// Tarnwick's entry. Started by the user (no argument), it hands the start
// over to the privileged launcher around its bundle and ends; started by the
// launcher (any argument), or when the hand-over fails, it runs the interface.
#include "AppDelegate.h"
#include "CrashTrace.h"
#include "JobKeepOut.h"
#include "MyNSApplication.h"
#include "PreventSleep.h"
#include "ProcessEnd.h"
#include "PrivateData.h"
#include "ZZManRunLoader.h"

#include "Platform/Bundle.h"
#include "Platform/DiskWorld/SpaceProvider.h"
#include "Platform/ExecutablePath.h"
#include "Platform/PowerAssertion.h"
#include "Platform/SystemRoot.h"

#include <QDir>
#include <QTimer>

namespace {

// The settings check and the hand-over need the bundle before any
// application object exists.
void locateMainBundle()
{
    if (!qEnvironmentVariableIsEmpty("TARNWICK_BUNDLE"))
        return;
    const QString exe = Platform::executablePath();
    if (!exe.isEmpty())
        Platform::Bundle::setMainBundlePath(Platform::Bundle::bundlePathForExecutable(exe));
}

// The shell runners call the disk tools by bare name: the bundle's stand-ins
// come first on the PATH.
void putToolsOnPath()
{
    QString tools = qEnvironmentVariable("TARNWICK_TOOLS");
    if (tools.isEmpty())
        tools = Platform::Bundle::mainBundle().resourcePath() + QStringLiteral("/tools");
    Platform::setToolsDirectory(tools);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QDir::toNativeSeparators(tools).toLocal8Bit() + (path.isEmpty() ? QByteArray() : ":" + path));
}

// The application object, the main menu's delegate and the main loop.
int NSApplicationMain(int &argc, char **argv)
{
    MyNSApplication app(argc, argv);
    AppDelegate delegate;
    delegate.awakeFromNib();
    QTimer::singleShot(0, &delegate, [&delegate] { delegate.applicationDidFinishLaunching(); });
    return app.exec();
}

} // namespace

int main(int argc, char **argv)
{
    installCrashTrace();
    locateMainBundle();
    putToolsOnPath();
    DMCopyInfoPlistPath();
    if (argc <= 1 && ZZManRunLoader())
        return 0;
    PreventSleep();
    // A world volume fills up as a disk does: every copy of ours is held to its capacity.
    Platform::DiskWorld::installSpaceProvider();
    // A selection's size counts what the jobs copy.
    installJobKeepOutForSums();
    const int status = NSApplicationMain(argc, argv);
    Platform::PowerAssertion::release(assertionID);
    // The loop can end while the global queue still works (a window closed
    // through the window manager): the same end as the close button's.
    endProcess(status);
}
