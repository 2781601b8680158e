#pragma once
#include <QString>

// Starts the application's executable with administrator rights.
class RunScript {
public:
    // Asks for the administrator right (the password dialog) and starts the
    // executable with it; returns the status of the last authorization call.
    static int RunTool(const QString &path);
    static QString GetCurrentLanaguage();
};

// The application's executable inside the launcher's bundle.
QString HelmrunToolPath(const QString &launcherBundlePath);
