#include "NodeTreeOperator.h"

#include "FileManager.h"

#include <QFile>

quint64 NodeTreeOperator::getOneFileSizeWithPath(const QString &path) const
{
    return getOneFileSizeWithPath(QFile::encodeName(path));
}

quint64 NodeTreeOperator::getOneFileSizeWithPath(const QByteArray &path) const
{
    const Platform::FileAttributes a = Platform::FileManager::defaultManager().nativeAttributes(path);
    switch (a.type) {
    case Platform::FileAttributes::Type::Missing:
    case Platform::FileAttributes::Type::Directory:
        return 0;
    default:
        return a.size > 0 ? quint64(a.size) : 0;
    }
}
