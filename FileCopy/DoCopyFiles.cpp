#include "DoCopyFiles.h"

#include "Dispatch.h"
#include "FileManager.h"
#include "SystemLog.h"
#include "SystemRoot.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace
{

// A node of the job's own copy of the tree: what the walk reads of it. The
// children of unchecked nodes play no part and are left out.
FileNodePtr snapshotNode(const FileNode &node, FileNode *father)
{
    FileNodePtr copy = FileNode::initWithPath(node.path, node.name, node.isDirectory, father);
    copy->state = node.state;
    copy->size = node.size;
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

// The forms a path is compared in: as given (cleaned), and with links resolved.
// `whole` resolves the path itself; otherwise only its folder, so that a link
// item stands for the link, not for what it points to.
QStringList pathForms(const QString &path, bool whole)
{
    const QString clean = QDir::cleanPath(path);
    QStringList forms{clean};
    QString resolved;
    if (whole) {
        resolved = QFileInfo(clean).canonicalFilePath();
    } else {
        const QFileInfo info(clean);
        const QString folder = QFileInfo(info.path()).canonicalFilePath();
        if (!folder.isEmpty())
            resolved =
                folder == QLatin1String("/") ? folder + info.fileName() : folder + QLatin1Char('/') + info.fileName();
    }
    if (!resolved.isEmpty() && resolved != clean)
        forms.append(resolved);
    return forms;
}

// `path` is `folder` or lies inside it.
bool within(const QString &path, const QString &folder)
{
    if (folder == QLatin1String("/"))
        return path.startsWith(QLatin1Char('/'));
    return path == folder || path.startsWith(folder + QLatin1Char('/'));
}

bool anyWithin(const QStringList &paths, const QStringList &folders)
{
    for (const QString &p : paths)
        for (const QString &f : folders)
            if (within(p, f))
                return true;
    return false;
}

bool anyEqual(const QStringList &paths, const QStringList &others)
{
    for (const QString &p : paths)
        if (others.contains(p))
            return true;
    return false;
}

// A name that stays one entry of the folder it is made in.
bool isUsableName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

QString join(const QString &folder, const QString &name)
{
    return QStringLiteral("%1/%2").arg(folder, name);
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
    start(snapshot, withCopyPath, withTargetMountPath);
}

void DoCopyFiles::start(const FileNodeList &snapshot, const QString &copyPath, const QString &targetMountPath)
{
    if (m_running.exchange(true)) {
        Platform::systemLog(QStringLiteral("a copy job is running already; the new one is not started"));
        return;
    }
    m_isCancel = false;
    m_failedItems = 0;
    m_arr = snapshot;
    m_copyPath = copyPath;
    m_keptOut.clear();
    for (const QString &p : {copyPath, targetMountPath})
        if (!p.isEmpty())
            m_keptOut += pathForms(p, true);
    m_volumesFolder = pathForms(Platform::rootPath(QStringLiteral("/Volumes")), true);

    // The worker holds a shared engine until it ends; one owned otherwise must
    // outlive its job.
    std::shared_ptr<DoCopyFiles> keep = weak_from_this().lock();
    Platform::Dispatch::globalAsync([this, keep] {
        runJob();
        m_running = false;
    });
}

void DoCopyFiles::runJob()
{
    const qsizetype n = m_arr.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (isCancel())
            return;
        if (i == 0)
            reportProgress(5.0f);
        const FileNode *node = m_arr[i].get();
        if (node) {
            // A node of a volume mounted in the startup volume's mount folder may
            // copy from inside it; one of the startup volume (the mount folder
            // itself included) may not.
            const QStringList forms = pathForms(node->path, false);
            m_fenceVolumes = !anyWithin(forms, m_volumesFolder) || anyEqual(forms, m_volumesFolder);
            if (node->state == FileNode::PartlyChecked) {
                const QString folder = folderForNode(node, m_copyPath);
                if (!folder.isEmpty())
                    doCopyFilesWithChiNode(node->children, folder);
            } else if (node->state == FileNode::Checked) {
                toCopyFileWithNode(node, m_copyPath);
            }
        }
        if (isCancel())
            return;
        quint64 p = 100u * quint64(i + 1) / quint64(n);
        if (p < 5)
            p = 5;
        if (i + 1 == n && m_failedItems > 0)
            reportError();
        else
            reportProgress(float(p));
    }
}

void DoCopyFiles::doCopyFilesWithChiNode(const FileNodeList &nodes, const QString &withCopyPath)
{
    walkChildren(nodes, withCopyPath, &DoCopyFiles::doCopyFilesWithChiArr);
}

void DoCopyFiles::doCopyFilesWithChiArr(const FileNodeList &nodes, const QString &withCopyPath)
{
    walkChildren(nodes, withCopyPath, &DoCopyFiles::doCopyFilesWithChiNode);
}

void DoCopyFiles::walkChildren(const FileNodeList &nodes, const QString &folder,
                               void (DoCopyFiles::*next)(const FileNodeList &, const QString &))
{
    for (const FileNodePtr &child : nodes) {
        if (isCancel())
            return;
        if (!child)
            continue;
        if (child->state == FileNode::PartlyChecked) {
            const QString sub = folderForNode(child.get(), folder);
            if (!sub.isEmpty())
                (this->*next)(child->children, sub);
        } else if (child->state == FileNode::Checked) {
            toCopyFileWithNode(child.get(), folder);
        }
    }
}

QString DoCopyFiles::folderForNode(const FileNode *node, const QString &folder)
{
    if (isCancel())
        return {};
    if (isKeptOut(node, false)) {
        Platform::systemLog(QStringLiteral("skipped--%1: another volume").arg(node->path));
        return {};
    }
    if (!isUsableName(node->name) || folder.isEmpty()) {
        failItem(QStringLiteral("no name to copy %1 under").arg(node->path));
        return {};
    }
    auto &fm = Platform::FileManager::defaultManager();
    const QString path = join(folder, node->name);
    // Only the last component is made: a folder that has gone is never made again.
    QString error;
    if (fm.createDirectory(path, false, &error) ||
        fm.attributes(path).type == Platform::FileAttributes::Type::Directory)
        return path;
    bool isDir = false;
    if (!fm.fileExists(folder, &isDir) || !isDir)
        destinationGone();
    else
        failItem(QStringLiteral("%1: %2").arg(path, error));
    return {};
}

void DoCopyFiles::toCopyFileWithNode(const FileNode *node, const QString &withCopyPath)
{
    if (isCancel() || !node)
        return;
    if (isKeptOut(node, true)) {
        Platform::systemLog(
            QStringLiteral("skipped--%1: it is or holds the copy's destination or another volume").arg(node->path));
        return;
    }
    reportPath(node->path);
    m_iBegin = 0;
    if (!isUsableName(node->name) || withCopyPath.isEmpty()) {
        failItem(QStringLiteral("no name to copy %1 under").arg(node->path));
        return;
    }
    const QString name = createFileWithPath(withCopyPath, node->name, node->name);
    auto &fm = Platform::FileManager::defaultManager();
    bool isDir = false;
    if (!fm.fileExists(withCopyPath, &isDir) || !isDir) {
        destinationGone();
        return;
    }
    QString error;
    if (!fm.copyItem(node->path, join(withCopyPath, name), &error))
        failItem(error);
}

QString DoCopyFiles::createFileWithPath(const QString &path, const QString &withFileNormalName,
                                        const QString &withFileName)
{
    bool ok = false;
    const QStringList names = Platform::FileManager::defaultManager().contentsOfDirectory(path, &ok);
    if (!ok)
        return withFileName;
    const QSet<QString> taken(names.begin(), names.end());
    // The base and extension of the own name: the extension follows the last
    // point that does not begin the name.
    const qsizetype dot = withFileNormalName.lastIndexOf(QLatin1Char('.'));
    const QString base = dot > 0 ? withFileNormalName.left(dot) : withFileNormalName;
    const QString extension = dot > 0 ? withFileNormalName.mid(dot + 1) : QString();
    QString candidate = withFileName;
    while (taken.contains(candidate)) {
        ++m_iBegin;
        const QString number = QString::number(m_iBegin);
        if (!extension.isEmpty() && extension != QLatin1String(" "))
            candidate = QStringLiteral("%1 %2.%3").arg(base, number, extension);
        else
            candidate = QStringLiteral("%1 %2").arg(base, number);
    }
    return candidate;
}

bool DoCopyFiles::isKeptOut(const FileNode *node, bool whole) const
{
    const QStringList forms = pathForms(node->path, false);
    if (whole) {
        for (const QString &kept : m_keptOut)
            for (const QString &p : forms)
                if (within(kept, p))
                    return true;
    }
    if (!m_fenceVolumes)
        return false;
    if (anyWithin(forms, m_volumesFolder)) {
        // A partly checked mount folder itself only gets its folder; what it holds is kept out.
        return whole || !anyEqual(forms, m_volumesFolder);
    }
    return whole && anyWithin(m_volumesFolder, forms);
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
