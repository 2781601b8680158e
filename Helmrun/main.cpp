// The launcher: starts the application inside this bundle with administrator
// rights and ends. Whatever happens, it ends with status 0.
#include <QCoreApplication>

#include "Bundle.h"
#include "RunScript.h"

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString bundlePath = Platform::Bundle::bundlePathForExecutable(QCoreApplication::applicationFilePath());
    RunScript::RunTool(HelmrunToolPath(bundlePath));
    return 0;
}
