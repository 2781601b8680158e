#include "DoCopyFiles.h"

#include "Dispatch.h"
#include "FileManager.h"
#include "SystemLog.h"

#include <QFile>
#include <QSet>

#include <cerrno>
#include <cstring>

namespace
{

// A node of the job's own copy of the tree: what the walk reads of it. The
// children of unchecked nodes play no part and are left out.
FileNodePtr snapshotNode(const FileNode &node, FileNode *father)
{
    FileNodePtr copy = FileNode::initWithPath(node.path, node.name, node.isDirectory, father);
    copy->state = node.state;
    copy->size = node.size;
    copy->nativePath = node.nativePath;
    copy->device = node.device;
    copy->inode = node.inode;
    copy->isSymbolicLink = node.isSymbolicLink;
    if (node.state == FileNode::PartlyChecked)
        for (const FileNodePtr &child : node.children)
            if (child && child->state != FileNode::Unchecked)
                copy->children.append(snapshotNode(*child, copy.get()));
    return copy;
}

FileNodeList snapshotTree(const FileNodeArray &arr)
{
    FileNodeList copy;
    copy.reserve(arr.size());
    for (const FileNodePtr &node : arr)
        copy.append(node ? snapshotNode(*node, nullptr) : FileNodePtr());
    return copy;
}

// A name that stays one entry of the folder it is made in.
bool isUsableName(const QByteArray &name)
{
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') && !name.contains('\0');
}

QByteArray parentOf(const QByteArray &path)
{
    QByteArray p = path;
    while (p.size() > 1 && p.endsWith('/'))
        p.chop(1);
    const qsizetype slash = p.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : p.left(slash);
}

// What the node was when it was listed, for the copy to compare with.
Platform::FileAttributes listed(const FileNode *node)
{
    Platform::FileAttributes a;
    a.device = node->device;
    a.inode = node->inode;
    return a;
}

} // namespace

DoCopyFiles::DoCopyFiles(DoCopyFilesDelegate *delegate) : m_delegate(delegate) {}

std::shared_ptr<DoCopyFiles> DoCopyFiles::create(DoCopyFilesDelegate *delegate)
{
    return std::make_shared<DoCopyFiles>(delegate);
}

void DoCopyFiles::doCopyFilesWithArr(const FileNodeArrayPtr &arr, const QString &withCopyPath,
                                     const QString &withTargetMountPath)
{
    doCopyFilesWithArr(arr ? *arr : FileNodeArray(), withCopyPath, withTargetMountPath);
}

void DoCopyFiles::doCopyFilesWithArr(const FileNodeArray &arr, const QString &withCopyPath,
                                     const QString &withTargetMountPath)
{
    FileNodeList snapshot;
    Platform::Dispatch::mainSync([&] { snapshot = snapshotTree(arr); });
    start(snapshot, nullptr, withCopyPath, withTargetMountPath);
}

void DoCopyFiles::doCopyFilesWithArr(const FileNodeArrayPtr &arr, std::shared_ptr<Platform::OpenFolder> copyFolder,
                                     const QString &withCopyPath, const QString &withTargetMountPath)
{
    FileNodeList snapshot;
    Platform::Dispatch::mainSync([&] { snapshot = arr ? snapshotTree(*arr) : FileNodeList(); });
    start(snapshot, std::move(copyFolder), withCopyPath, withTargetMountPath);
}

void DoCopyFiles::start(const FileNodeList &snapshot, std::shared_ptr<Platform::OpenFolder> copyFolder,
                        const QString &copyPath, const QString &targetMountPath)
{
    if (m_running.exchange(true)) {
        Platform::systemLog(QStringLiteral("a copy job is running already; the new one is not started"));
        return;
    }
    m_isCancel = false;
    m_failedItems = 0;
    m_takenItems = 0;
    m_copiedItems = 0;
    m_arr = snapshot;
    m_copyPath = copyPath;
    m_copyFolder = std::move(copyFolder);
    m_keepOut = std::make_unique<CopyKeepOut>(QFile::encodeName(copyPath), QFile::encodeName(targetMountPath));

    // The worker holds a shared engine until it ends; one owned otherwise must
    // outlive its job.
    std::shared_ptr<DoCopyFiles> keep = weak_from_this().lock();
    Platform::Dispatch::globalAsync([this, keep] {
        runJob();
        m_copyFolder.reset();
        m_running = false;
    });
}

void DoCopyFiles::runJob()
{
    if (!m_copyFolder && !m_copyPath.isEmpty())
        m_copyFolder = std::make_shared<Platform::OpenFolder>(Platform::OpenFolder::open(QFile::encodeName(m_copyPath)));
    const qsizetype n = m_arr.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (isCancel())
            return;
        if (i == 0)
            reportProgress(5.0f);
        const FileNode *node = m_arr[i].get();
        if (node && node->state != FileNode::Unchecked) {
            m_keepOut->enterTopLevel(*node);
            // Each top-level item is reached from its own folder (a volume, or
            // the folder of dropped files).
            const Platform::OpenFolder source = Platform::OpenFolder::open(parentOf(node->pathBytes()));
            const Folders folders{&source, m_copyFolder.get()};
            if (node->state == FileNode::PartlyChecked)
                walkFolderNode(node, folders, &DoCopyFiles::doCopyFilesWithChiNode);
            else
                toCopyFileWithNode(node, folders);
        }
        if (isCancel())
            return;
        quint64 p = 100u * quint64(i + 1) / quint64(n);
        if (p < 5)
            p = 5;
        if (i + 1 == n && (m_failedItems > 0 || (m_takenItems > 0 && m_copiedItems == 0))) {
            if (m_failedItems == 0)
                Platform::systemLog(QStringLiteral("error--nothing that was chosen could be copied"));
            reportError();
        } else {
            reportProgress(float(p));
        }
    }
}

void DoCopyFiles::doCopyFilesWithChiNode(const FileNodeList &nodes, const Folders &withCopyPath)
{
    walkChildren(nodes, withCopyPath, &DoCopyFiles::doCopyFilesWithChiArr);
}

void DoCopyFiles::doCopyFilesWithChiArr(const FileNodeList &nodes, const Folders &withCopyPath)
{
    walkChildren(nodes, withCopyPath, &DoCopyFiles::doCopyFilesWithChiNode);
}

void DoCopyFiles::walkChildren(const FileNodeList &nodes, const Folders &folders,
                               void (DoCopyFiles::*next)(const FileNodeList &, const Folders &))
{
    for (const FileNodePtr &child : nodes) {
        if (isCancel())
            return;
        if (!child)
            continue;
        if (child->state == FileNode::PartlyChecked)
            walkFolderNode(child.get(), folders, next);
        else if (child->state == FileNode::Checked)
            toCopyFileWithNode(child.get(), folders);
    }
}

void DoCopyFiles::walkFolderNode(const FileNode *node, const Folders &folders,
                                 void (DoCopyFiles::*next)(const FileNodeList &, const Folders &))
{
    if (isCancel() || keptOut(node, false))
        return;
    const QByteArray name = node->nameBytes();
    if (!isUsableName(name) || !folders.source || !folders.target) {
        failItem(QStringLiteral("no name to copy %1 under").arg(node->path));
        return;
    }
    const Platform::FileAttributes expected = listed(node);
    const Platform::OpenFolder source = folders.source->child(name, &expected);
    if (!source.isOpen()) {
        failItem(QStringLiteral("%1: %2").arg(node->path, source.error() == ESTALE
                                                              ? QStringLiteral("changed since it was listed")
                                                              : QString::fromLocal8Bit(strerror(source.error()))));
        return;
    }
    if (!destinationHolds()) {
        destinationGone();
        return;
    }
    // An existing folder of the name receives the content as it is; one made
    // here is owner-only until its content is in, then takes the source's
    // owner, mode and times.
    bool made = false;
    const Platform::OpenFolder target = folders.target->makeChild(name, 0700, &made);
    if (!target.isOpen()) {
        failItem(QStringLiteral("%1: %2").arg(QFile::decodeName(target.path()),
                                              QString::fromLocal8Bit(strerror(target.error()))));
        return;
    }
    (this->*next)(node->children, Folders{&source, &target});
    if (made)
        target.copyAttributesFrom(source);
}

void DoCopyFiles::toCopyFileWithNode(const FileNode *node, const Folders &withCopyPath)
{
    if (isCancel() || !node)
        return;
    ++m_takenItems;
    if (keptOut(node, true))
        return;
    reportPath(node->path);
    m_iBegin = 0;
    const QByteArray name = node->nameBytes();
    if (!isUsableName(name) || !withCopyPath.source || !withCopyPath.target || !withCopyPath.target->isOpen()) {
        if (withCopyPath.target && !withCopyPath.target->isOpen())
            destinationGone();
        else
            failItem(QStringLiteral("no name to copy %1 under").arg(node->path));
        return;
    }
    if (!destinationHolds()) {
        destinationGone();
        return;
    }
    const QByteArray chosen = createFileWithPath(*withCopyPath.target, name, name);
    const Platform::FileAttributes expected = listed(node);
    QString error;
    if (Platform::FileManager::defaultManager().copyItemAt(*withCopyPath.source, name, *withCopyPath.target, chosen,
                                                           &error, &expected))
        ++m_copiedItems;
    else
        failItem(error);
}

QString DoCopyFiles::createFileWithPath(const QString &path, const QString &withFileNormalName,
                                        const QString &withFileName)
{
    const Platform::OpenFolder folder = Platform::OpenFolder::open(QFile::encodeName(path));
    return QFile::decodeName(
        createFileWithPath(folder, QFile::encodeName(withFileNormalName), QFile::encodeName(withFileName)));
}

QByteArray DoCopyFiles::createFileWithPath(const Platform::OpenFolder &folder, const QByteArray &withFileNormalName,
                                           const QByteArray &withFileName)
{
    bool ok = false;
    const QList<QByteArray> names = folder.names(&ok);
    if (!ok)
        return withFileName;
    const QSet<QByteArray> taken(names.begin(), names.end());
    // The base and extension of the own name: the extension follows the last
    // point that does not begin the name.
    const qsizetype dot = withFileNormalName.lastIndexOf('.');
    const QByteArray base = dot > 0 ? withFileNormalName.left(dot) : withFileNormalName;
    const QByteArray extension = dot > 0 ? withFileNormalName.mid(dot + 1) : QByteArray();
    QByteArray candidate = withFileName;
    while (taken.contains(candidate)) {
        ++m_iBegin;
        const QByteArray number = QByteArray::number(m_iBegin);
        if (!extension.isEmpty() && extension != " ")
            candidate = base + ' ' + number + '.' + extension;
        else
            candidate = base + ' ' + number;
    }
    return candidate;
}

bool DoCopyFiles::keptOut(const FileNode *node, bool whole)
{
    const CopyKeepOut::Reason reason = m_keepOut->reason(*node, whole);
    if (reason == CopyKeepOut::Reason::None)
        return false;
    const QString line = QStringLiteral("skipped--%1: %2").arg(node->path, CopyKeepOut::describe(reason));
    if (CopyKeepOut::isFailure(reason))
        failItem(line);
    else
        Platform::systemLog(line);
    return true;
}

bool DoCopyFiles::destinationHolds()
{
    if (!m_copyFolder || !m_copyFolder->isOpen())
        return false;
    const Platform::FileAttributes now =
        Platform::FileManager::defaultManager().nativeAttributes(QFile::encodeName(m_copyPath));
    return now.type == Platform::FileAttributes::Type::Directory && now.inode == m_copyFolder->inode() &&
           now.device == m_copyFolder->device();
}

void DoCopyFiles::failItem(const QString &why)
{
    ++m_failedItems;
    Platform::systemLog(QStringLiteral("error--%1").arg(why));
}

void DoCopyFiles::destinationGone()
{
    Platform::systemLog(QStringLiteral("error--the destination folder %1 has gone").arg(m_copyPath));
    reportError();
    m_isCancel = true;
}

void DoCopyFiles::reportPath(const QString &path)
{
    Platform::Dispatch::mainSync([&] {
        if (DoCopyFilesDelegate *d = m_delegate.load(); d && !m_isCancel)
            d->topCopyFilePath(path);
    });
}

void DoCopyFiles::reportProgress(float progress)
{
    Platform::Dispatch::mainSync([&] {
        if (DoCopyFilesDelegate *d = m_delegate.load(); d && !m_isCancel)
            d->topCopyProgress(progress);
    });
}

void DoCopyFiles::reportError()
{
    Platform::Dispatch::mainSync([&] {
        if (DoCopyFilesDelegate *d = m_delegate.load(); d && !m_isCancel)
            d->copyFileError();
    });
}
