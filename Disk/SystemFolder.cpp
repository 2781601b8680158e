#include "SystemFolder.h"

#include "Platform/Bundle.h"
#include "Platform/PropertyList.h"
#include "Platform/SystemRoot.h"

bool SystemFolder::isSystemFileWithFilePath(const QString &path)
{
    const auto list = Platform::PropertyList::readDictionary(
        Platform::Bundle::mainBundle().pathForResource(QStringLiteral("SystemFile"), QStringLiteral("plist")));
    if (!list || list->isEmpty() || path.isNull())
        return false;
    const int count = int(list->size());
    for (int i = 0; i < count; ++i) {
        const QVariant value = list->value(QString::number(i));
        if (!value.isValid())
            continue;
        const QString listed = value.toString();
        if (listed == path || Platform::rootPath(listed) == path)
            return true;
    }
    return false;
}
