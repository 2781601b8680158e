#include "ZZManRunLoader.h"

#include "Platform/Bundle.h"
#include "Platform/Workspace.h"

#include <QFileInfo>

bool ZZManRunLoader()
{
    QString path = Platform::Bundle::mainBundle().bundlePath();
    // Without a bundle of its own there is no launcher around it (and no
    // path to walk up from the working folder).
    if (!QFileInfo(path).isAbsolute())
        return false;
    // The bundle folder, then "MacOS", then "Contents".
    for (int i = 0; i < 3; ++i)
        path = QFileInfo(path).path();
    return Platform::Workspace::shared().launchApplication(path);
}
