#include "FileNode.h"

#include "SystemFolder.h"

#include "Dispatch.h"
#include "FileManager.h"

#include <QFile>

#include <QFileIconProvider>
#include <QFileInfo>
#include <QGuiApplication>

namespace {

// The workspace's icon for a path. Icons are widgets' business: only the main
// thread of a GUI application asks for one; anywhere else there is none.
QIcon workspaceIcon(const QString &path)
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()) || !Platform::Dispatch::isMainThread())
        return {};
    static QFileIconProvider *provider = [] {
        auto *p = new QFileIconProvider;
        // Looking into files for their type would make every redraw read the disk.
        p->setOptions(QFileIconProvider::DontUseCustomDirectoryIcons);
        return p;
    }();
    return provider->icon(QFileInfo(path));
}

} // namespace

FileNode::FileNode(const QString &path, const QString &name, bool isDirectory, FileNode *father)
    : name(name), path(path), isDirectory(isDirectory), father(father)
{
}

FileNodePtr FileNode::initWithPath(const QString &path, const QString &withName, bool isDirectory, FileNode *withFather)
{
    return std::make_shared<FileNode>(path, withName, isDirectory, withFather);
}

FileNodePtr FileNode::initWithNativePath(const QByteArray &path, bool isDirectory, FileNode *withFather)
{
    QByteArray trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith('/'))
        trimmed.chop(1);
    const QByteArray name = trimmed == "/" ? trimmed : trimmed.mid(trimmed.lastIndexOf('/') + 1);
    FileNodePtr node =
        std::make_shared<FileNode>(QFile::decodeName(path), QFile::decodeName(name), isDirectory, withFather);
    node->nativePath = path;
    return node;
}

QByteArray FileNode::pathBytes() const { return nativePath.isEmpty() ? QFile::encodeName(path) : nativePath; }

QByteArray FileNode::nameBytes() const
{
    if (nativePath.isEmpty())
        return QFile::encodeName(name);
    QByteArray p = nativePath;
    while (p.size() > 1 && p.endsWith('/'))
        p.chop(1);
    return p.mid(p.lastIndexOf('/') + 1);
}

void FileNode::recordListing()
{
    const Platform::FileAttributes a = Platform::FileManager::defaultManager().nativeAttributes(pathBytes());
    device = a.device;
    inode = a.inode;
    isSymbolicLink = a.type == Platform::FileAttributes::Type::SymbolicLink;
}

bool FileNode::isSystemFile() const { return SystemFolder::isSystemFileWithFilePath(path); }

QIcon FileNode::icon() const { return workspaceIcon(path); }

QString FileNode::displayName() const
{
    // The last path component, as the file manager names it: trailing slashes
    // do not count, and "/" is its own last component.
    QString p = path;
    while (p.size() > 1 && p.endsWith(QLatin1Char('/')))
        p.chop(1);
    if (p == QLatin1String("/"))
        return p;
    return p.mid(p.lastIndexOf(QLatin1Char('/')) + 1);
}

void FileNode::walkSelection(const FileNodeList &nodes, const std::function<void(FileNode *)> &take)
{
    walkSelectionNodes(nodes, [&take](const FileNodePtr &node) { take(node.get()); });
}

void FileNode::walkSelectionNodes(const FileNodeList &nodes, const std::function<void(const FileNodePtr &)> &take)
{
    for (const FileNodePtr &node : nodes) {
        if (!node)
            continue;
        if (node->state == Checked)
            take(node);
        else if (node->state == PartlyChecked)
            walkSelectionNodes(node->children, take);
    }
}
