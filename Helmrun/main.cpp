// The launcher: starts the application inside this bundle with administrator
// rights and ends. Whatever happens, it ends with status 0.
#include <QCoreApplication>

#include "ExecutablePath.h"
#include "RunScript.h"

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // The bundle's path as the system names it: a folder whose name is not
    // UTF-8 is kept byte for byte.
    RunScript::RunTool(HelmrunToolPath(HelmrunBundlePath(Platform::executableFileName())));
    return 0;
}
