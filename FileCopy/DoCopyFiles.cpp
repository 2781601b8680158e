#include "DoCopyFiles.h"

#include "Dispatch.h"
#include "FileManager.h"
#include "SystemLog.h"

#include <QFile>
#include <QSet>

#include <cerrno>
#include <cstring>

namespace {

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
        m_copyFolder =
            std::make_shared<Platform::OpenFolder>(Platform::OpenFolder::open(QFile::encodeName(m_copyPath)));
    m_taken.clear();
    m_walkEnded = false;
    m_keepThrough = 0;
    // One pool for the whole job. A stop ends every copy not yet reported.
    Platform::CopyJob job([this](Platform::CopyJob::Ticket t) { return isCancel() && t > m_keepThrough.load(); });
    m_job = &job;
    // The walk runs ahead of the reports (up to this many queued items), so
    // later items are copied while earlier ones are still being reported.
    constexpr int kAhead = 256;
    std::deque<TopLevel> ahead;
    int queued = 0;
    qsizetype walked = 0;
    const qsizetype n = m_arr.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (isCancel())
            break;
        if (i == 0)
            reportProgress(5.0f);
        while (walked < n && (walked <= i || (queued < kAhead && !m_walkEnded && !isCancel()))) {
            ahead.push_back(walkTopLevel(m_arr[walked].get()));
            queued += ahead.back().queued;
            ++walked;
        }
        TopLevel top = std::move(ahead.front());
        ahead.pop_front();
        queued -= top.queued;
        if (!reportTopLevel(top)) {
            ahead.push_front(std::move(top));
            break;
        }
        if (isCancel())
            break;
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
    settleUnreported(ahead);
    m_job = nullptr;
}

void DoCopyFiles::settleUnreported(std::deque<TopLevel> &tops)
{
    // Items first, so that a folder holds only what was reported when it is looked at.
    for (TopLevel &top : tops) {
        for (qsizetype k = top.reported; k < top.steps.size(); ++k) {
            const Step &step = top.steps.at(k);
            if (step.kind != Step::Kind::Item || step.ticket == 0 || !m_job->wait(step.ticket))
                continue;
            if (step.into && step.into->removeItem(step.given))
                Platform::systemLog(
                    QStringLiteral("stopped--%1 was copied ahead of its report and is taken back").arg(step.path));
        }
    }
    // Then the folders, the last made first, so that a folder's own folders
    // are settled before it. Until then they are root's alone (mode 0700),
    // so nobody else can have put anything into them.
    for (auto top = tops.rbegin(); top != tops.rend(); ++top) {
        for (auto made = top->made.rbegin(); made != top->made.rend(); ++made) {
            bool listed = false;
            const bool empty = made->target->names(&listed).isEmpty() && listed;
            const Platform::FileAttributes there = made->parent->attributes(made->name);
            const bool same = there.type == Platform::FileAttributes::Type::Directory &&
                              there.device == made->target->device() && there.inode == made->target->inode();
            if (empty && same && made->parent->removeItem(made->name))
                continue;
            made->target->copyAttributesFrom(*made->source);
        }
    }
}

DoCopyFiles::TopLevel DoCopyFiles::walkTopLevel(const FileNode *node)
{
    TopLevel top;
    if (!node || node->state == FileNode::Unchecked || m_walkEnded)
        return top;
    m_walking = &top;
    m_keepOut->enterTopLevel(*node);
    // Each top-level item is reached from its own folder (a volume, or the
    // folder of dropped files).
    top.source = std::make_shared<Platform::OpenFolder>(Platform::OpenFolder::openParent(node->pathBytes()));
    const Folders folders{top.source.get(), m_copyFolder.get()};
    if (node->state == FileNode::PartlyChecked)
        walkFolderNode(node, folders, &DoCopyFiles::doCopyFilesWithChiNode);
    else
        toCopyFileWithNode(node, folders);
    m_walking = nullptr;
    return top;
}

bool DoCopyFiles::reportTopLevel(TopLevel &top)
{
    for (; top.reported < top.steps.size(); ++top.reported) {
        const Step &step = top.steps.at(top.reported);
        if (isCancel())
            return false;
        if (step.kind == Step::Kind::Gone || (step.kind == Step::Kind::Folder && !destinationHolds())) {
            destinationGone();
            return false;
        }
        if (step.kind != Step::Kind::Item)
            continue;
        // Whatever the answer to this report, this item is finished.
        if (step.ticket > m_keepThrough)
            m_keepThrough = step.ticket;
        reportPath(step.path);
        if (step.ticket == 0) {
            if (!step.error.isEmpty()) // else the destination's end follows
                failItem(step.error);
            continue;
        }
        QString error;
        const bool copied = m_job->wait(step.ticket, &error);
        if (!destinationHolds()) {
            ++top.reported; // waited for already
            destinationGone();
            return false;
        }
        if (copied)
            ++m_copiedItems;
        else
            failItem(error);
    }
    // Mirrored folders take their source's attributes once their content is
    // in, the deepest first.
    for (auto it = top.made.rbegin(); it != top.made.rend(); ++it)
        it->target->copyAttributesFrom(*it->source);
    return true;
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
        if (isCancel() || m_walkEnded)
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
    if (isCancel() || m_walkEnded || keptOut(node, false))
        return;
    const QByteArray name = node->nameBytes();
    if (!Platform::FileManager::isEntryName(name) || !folders.source || !folders.target) {
        failItem(QStringLiteral("no name to copy %1 under").arg(node->path));
        return;
    }
    const Platform::FileAttributes expected = listed(node);
    auto source = std::make_shared<Platform::OpenFolder>(folders.source->child(name, &expected));
    if (!source->isOpen()) {
        failItem(QStringLiteral("%1: %2").arg(node->path, source->error() == ESTALE
                                                              ? QStringLiteral("changed since it was listed")
                                                              : QString::fromLocal8Bit(strerror(source->error()))));
        return;
    }
    m_walking->steps.append(Step{Step::Kind::Folder, node->path, 0, {}, nullptr, {}});
    if (!destinationHolds()) {
        m_walking->steps.append(Step{Step::Kind::Gone, {}, 0, {}, nullptr, {}});
        m_walkEnded = true;
        return;
    }
    // An existing folder of the name receives the content as it is; one made
    // here is owner-only until its content is in, then takes the source's
    // owner, mode and times.
    bool made = false;
    auto target = std::make_shared<Platform::OpenFolder>(folders.target->makeChild(name, 0700, &made));
    if (!target->isOpen()) {
        failItem(QStringLiteral("%1: %2").arg(QFile::decodeName(target->path()),
                                              QString::fromLocal8Bit(strerror(target->error()))));
        return;
    }
    m_walking->opened.push_back(target);
    if (made)
        m_walking->made.push_back(MadeFolder{target, source, folders.target, name});
    (this->*next)(node->children, Folders{source.get(), target.get()});
}

void DoCopyFiles::toCopyFileWithNode(const FileNode *node, const Folders &withCopyPath)
{
    if (isCancel() || !node || m_walkEnded || !m_walking)
        return;
    ++m_takenItems;
    if (keptOut(node, true))
        return;
    m_iBegin = 0;
    Step step{Step::Kind::Item, node->path, 0, {}, nullptr, {}};
    const QByteArray name = node->nameBytes();
    if (!withCopyPath.target || !withCopyPath.target->isOpen() || !destinationHolds()) {
        // Reported as every item is: its path first, then the failure.
        m_walking->steps.append(step);
        m_walking->steps.append(Step{Step::Kind::Gone, {}, 0, {}, nullptr, {}});
        m_walkEnded = true;
        return;
    }
    if (!Platform::FileManager::isEntryName(name) || !withCopyPath.source) {
        step.error = QStringLiteral("no name to copy %1 under").arg(node->path);
        m_walking->steps.append(step);
        return;
    }
    // What a destination folder holds is listed once per job; the names this
    // job gives are added as it gives them.
    const auto key = qMakePair(withCopyPath.target->device(), withCopyPath.target->inode());
    auto taken = m_taken.find(key);
    if (taken == m_taken.end()) {
        const QList<QByteArray> names = withCopyPath.target->names();
        taken = m_taken.insert(key, QSet<QByteArray>(names.begin(), names.end()));
    }
    const QByteArray target = uniqueName(*taken, name, name);
    taken->insert(target);
    const Platform::FileAttributes expected = listed(node);
    step.ticket = m_job->add(*withCopyPath.source, name, *withCopyPath.target, target, &expected);
    step.into = withCopyPath.target;
    step.given = target;
    m_walking->steps.append(step);
    ++m_walking->queued;
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
    return uniqueName(QSet<QByteArray>(names.begin(), names.end()), withFileNormalName, withFileName);
}

QByteArray DoCopyFiles::uniqueName(const QSet<QByteArray> &taken, const QByteArray &withFileNormalName,
                                   const QByteArray &withFileName)
{
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
