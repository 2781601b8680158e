#pragma once
#include <QByteArray>
#include <QString>

// Starts the application's executable with administrator rights.
class RunScript {
public:
    // Asks for the administrator right (the password dialog) and starts the
    // executable with it; returns the status of the last authorization call.
    // The path is the bytes of the file's name, passed on exactly. A start
    // that fails after the right was granted is logged.
    static int RunTool(const QByteArray &path);
    static QString GetCurrentLanaguage();

    // "do shell script": runs the command line through the system's script
    // runner (/bin/sh -c, the line as one argument), optionally "with
    // administrator privileges" (one password dialog for the whole line),
    // waits for it and gives its standard output. `status` receives the
    // line's exit status, or -1 when it did not run (a dismissed dialog, a
    // refused right, no script runner). The launcher itself does not use it.
    static QByteArray RunShellScript(const QString &commandLine, bool withAdministratorPrivileges,
                                     int *status = nullptr);
    // Self-tests of RunShellScript, each true when it held:
    // a line's output comes back with its words and line ends as printed;
    static bool TestShellScriptOutput();
    // a line that fails gives its exit status and the output printed before;
    static bool TestShellScriptFailure();
    // a line run with administrator privileges runs as root (user id 0).
    static bool TestShellScriptWithAdministratorPrivileges();
};

// The application's executable inside the launcher's bundle.
QByteArray HelmrunToolPath(const QByteArray &launcherBundlePath);
// The bundle of an executable: …/X.app/Contents/MacOS/exe gives …/X.app.
QByteArray HelmrunBundlePath(const QByteArray &executable);
