#include "NodeTreeOperator.h"

#include "FileManager.h"

quint64 NodeTreeOperator::getOneFileSizeWithPath(const QString &path) const
{
    const Platform::FileAttributes a = Platform::FileManager::defaultManager().attributes(path);
    switch (a.type) {
    case Platform::FileAttributes::Type::Missing:
    case Platform::FileAttributes::Type::Directory:
        return 0;
    default:
        return a.size > 0 ? quint64(a.size) : 0;
    }
}
