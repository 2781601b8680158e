#include "MakeDmg.h"

#include "CopyKeepOut.h"
#include "DoCopyFiles.h"
#include "RunnerResult.h"
#include "ShellRunners.h"

#include "Platform/Dispatch.h"
#include "Platform/FileManager.h"
#include "Platform/SecureFolder.h"
#include "Platform/SystemLog.h"
#include "Platform/SystemRoot.h"
#include "Platform/Task.h"
#include "Platform/WorkFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QSet>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <deque>
#include <functional>

namespace {

const QString kStatus = QStringLiteral("制作镜像中...");
const QString kVolumeName = QStringLiteral("KestrovaDiskCloneDmg");
const QString kStagingPrefix = QStringLiteral("/tmp/com.kestrova.clone");
const QString kRootFolderName = QStringLiteral("KestrovaDiskClone_dmg");
// The private folder a result is made in, inside the folder that receives it.
const QString kWorkPrefix = QStringLiteral(".KestrovaDiskClone-");
const QString kHdiutil = QStringLiteral("/usr/bin/hdiutil");
constexpr qint64 kImageMargin = 50'000'000;
// The command buffers of the original lines: info with the device, eject with the UUID.
constexpr int kInfoLineBuffer = 128;
constexpr int kEjectLineBuffer = 64;
// How often a worker waiting for `hdiutil create` looks at the stop flag.
constexpr int kStopPollMs = 50;

using Platform::FileAttributes;
using Platform::FileManager;

void logLine(const QString &text) { Platform::systemLog(QStringLiteral("MakeDmg: ") + text); }

// A path with its folders resolved and its own last component kept as it is:
// a link among the items is copied as a link, so it holds nothing.
QString itemLocation(const QString &path)
{
    const QFileInfo info(path);
    const QString parent = QFileInfo(info.absolutePath()).canonicalFilePath();
    if (parent.isEmpty())
        return QDir::cleanPath(info.absoluteFilePath());
    return parent == QLatin1String("/") ? parent + info.fileName() : parent + QLatin1Char('/') + info.fileName();
}

// The staging folder must be the fresh, empty, private folder just made for
// this job: `hdiutil create` puts whatever it holds into the image.
bool stagingIsSafe(const QTemporaryDir &dir)
{
    if (!dir.isValid())
        return false;
    const QFileInfo info(dir.path());
    const Platform::SecureFolder folder =
        Platform::SecureFolder::open(info.absolutePath(), {info.fileName()}, {}, false);
    if (!folder.isOpen())
        return false;
    const FileAttributes a = FileManager::defaultManager().attributes(dir.path());
    if (a.type != FileAttributes::Type::Directory || (a.permissions & 0777) != 0700)
        return false;
    bool ok = false;
    const QStringList names = FileManager::defaultManager().contentsOfDirectory(dir.path(), &ok);
    return ok && names.isEmpty();
}

// The copy engine's rule, with the image's mount point (or the archive's
// folder) as the destination and the folder receiving the image as the target.
CopyKeepOut keepOutRule(const QList<QByteArray> &resultPlaces)
{
    return CopyKeepOut(resultPlaces.value(0), resultPlaces.value(1));
}

// `rule` has entered the node's top-level item.
MakeDmg::KeptOut keptOut(const CopyKeepOut &rule, const FileNode &node)
{
    if (Platform::isPlatformPrivatePath(node.path) || Platform::isPlatformPrivatePath(itemLocation(node.path)))
        return MakeDmg::KeptOut::OtherVolume;
    const CopyKeepOut::Reason reason = rule.reason(node, true);
    if (reason == CopyKeepOut::Reason::OtherVolume)
        return MakeDmg::KeptOut::OtherVolume;
    return CopyKeepOut::isFailure(reason) ? MakeDmg::KeptOut::HoldsResult : MakeDmg::KeptOut::No;
}

// What a checked tree takes, read on the main thread where the tree changes:
// each top-level node with the nodes taken below it (or itself). The nodes'
// paths and kinds are fixed when they are listed, so the rest of the work
// (which asks the file system) may run anywhere.
// How a taken node is reached from its top-level item: the names from the
// top-level item's own down to the node's, each with the device and inode it
// was listed with.
struct ListedPath {
    QByteArray topLevel;
    QList<QByteArray> names;
    QList<FileAttributes> listed;
};

ListedPath listedPath(const FileNode &top, const FileNode &node)
{
    auto listing = [](const FileNode &n) {
        FileAttributes a;
        a.device = n.device;
        a.inode = n.inode;
        return a;
    };
    ListedPath p;
    p.topLevel = top.pathBytes();
    QList<const FileNode *> chain;
    for (const FileNode *n = &node; n; n = n->father) {
        chain.prepend(n);
        if (n == &top)
            break;
    }
    if (chain.first() != &top) // not below its top-level item after all: reached by its own path
        chain = {&node}, p.topLevel = node.pathBytes();
    for (const FileNode *n : chain) {
        p.names << n->nameBytes();
        p.listed << listing(*n);
    }
    return p;
}

struct TakenNode {
    const FileNode *node;
    ListedPath path;
};
using TakenItems = QList<std::pair<FileNodePtr, QList<TakenNode>>>;

TakenItems takenItems(const FileNodeList &nodes)
{
    TakenItems taken;
    for (const FileNodePtr &top : nodes) {
        if (!top)
            continue;
        QList<TakenNode> below;
        FileNode::walkSelection(FileNodeList{top}, [&](FileNode *node) {
            below.append({node, listedPath(*top, *node)});
        });
        taken.append({top, below});
    }
    return taken;
}

MakeDmg::ZipSelection selectionOf(const TakenItems &taken, const QList<QByteArray> &resultPlaces)
{
    MakeDmg::ZipSelection selection;
    CopyKeepOut rule = keepOutRule(resultPlaces);
    for (const auto &[top, below] : taken) {
        rule.enterTopLevel(*top);
        for (const TakenNode &taken : below) {
            const FileNode *node = taken.node;
            switch (keptOut(rule, *node)) {
            case MakeDmg::KeptOut::OtherVolume:
                logLine(
                    QStringLiteral("%1 is left out: another volume or the disk world's own folder").arg(node->path));
                continue;
            case MakeDmg::KeptOut::HoldsResult:
                selection.refused << node->path;
                continue;
            case MakeDmg::KeptOut::No:
                break;
            }
            selection.paths << node->path;
            selection.pathBytes << node->pathBytes();
            selection.items.append({taken.path.topLevel, taken.path.names, taken.path.listed});
            if (node->isDirectory) {
                selection.folders << node->path;
                selection.folderBytes << node->pathBytes();
            } else {
                ++selection.files;
            }
        }
    }
    return selection;
}

} // namespace

struct MakeDmg::Job {
    explicit Job(std::shared_ptr<std::atomic<MakeDmgDelegate *>> d) : delegate(std::move(d)) {}

    std::atomic<bool> cancel{false};
    const std::shared_ptr<std::atomic<MakeDmgDelegate *>> delegate;

    std::mutex mutex;
    std::optional<MountedImage> mounted; // attached by this job, not ejected yet
    bool busy = false;                   // a worker is mounting or copying into the image
    QString imageFolder;                 // the folder that receives the image
    // Where the image is made; it reaches its final name only when the job
    // has ended well. Taken out by whoever finishes or abandons the image.
    std::shared_ptr<Platform::WorkFolder> work;
    QString imageName; // the image's file name ("<name>.dmg")
    // Every disk this job attached, with the file it came from: a job that
    // does not end well detaches each, even once that file has gone.
    QList<std::pair<QString, QString>> attached;

    // Sends a report on the main thread (the worker waits), unless the job
    // has been stopped by the time it is delivered.
    void onMain(const std::function<void(MakeDmgDelegate *)> &send)
    {
        Platform::Dispatch::mainSync([&] {
            if (cancel)
                return;
            if (MakeDmgDelegate *d = delegate->load())
                send(d);
        });
    }
    void fail(const QString &why)
    {
        logLine(why);
        onMain([](MakeDmgDelegate *d) { d->makeDmgFailWithError(0); });
    }
    // The image, taken out so that one eject is made of it, by whoever takes it first.
    std::optional<MountedImage> takeMountedLocked()
    {
        std::optional<MountedImage> image = std::move(mounted);
        mounted.reset();
        return image;
    }
    std::optional<MountedImage> takeMounted()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return takeMountedLocked();
    }
    std::shared_ptr<Platform::WorkFolder> takeWork()
    {
        std::lock_guard<std::mutex> lock(mutex);
        std::shared_ptr<Platform::WorkFolder> w = std::move(work);
        work.reset();
        return w;
    }
    std::shared_ptr<Platform::WorkFolder> workFolder()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return work;
    }
};

namespace {

using Job = MakeDmg::Job;
using JobPtr = std::shared_ptr<Job>;

void mountImage(const JobPtr &job, const QString &imagePath);

// Runs hdiutil on this worker and waits for it; `out` collects its standard
// output. It starts in the job's work folder, held by its descriptor, and is
// given the image by its name there: nobody can lead it elsewhere by moving
// a folder on the way.
int runHdiutil(const JobPtr &job, const Platform::WorkFolder &work, const QStringList &arguments, QByteArray *out,
               bool stopOnCancel)
{
    Platform::Task task;
    task.setLaunchPath(Platform::toolPath(kHdiutil));
    task.setArguments(arguments);
    task.setWorkingFolderDescriptor(work.descriptor());
    task.setStandardInputPipe(true);
    task.setStandardOutputPipe(true);
    task.setMergeStandardError(out == nullptr);
    // The output is read as it comes, so the tool never blocks on a full pipe.
    QObject::connect(&task, &Platform::Task::dataAvailable, [out](const QByteArray &chunk) {
        if (out)
            *out += chunk;
    });
    if (!task.launch())
        return -1;
    task.closeInput();
    bool stopped = false;
    while (!task.waitUntilExit(kStopPollMs)) {
        if (stopOnCancel && job->cancel && !stopped) {
            task.terminate();
            stopped = true;
        }
    }
    return task.terminationStatus();
}

// Whole disks that the world has attached from the file `name` of the work
// folder (a create that was stopped may leave its image attached).
QStringList disksAttachedFrom(const Platform::WorkFolder &work, const QString &name)
{
    QStringList disks;
    const std::optional<QVariantMap> list = MakeDmg::getDisjInfo(
        ToolCommand(QStringLiteral("diskutil"), {QStringLiteral("list"), QStringLiteral("-plist")}));
    if (!list)
        return disks;
    for (const QVariant &whole : list->value(QStringLiteral("WholeDisks")).toList()) {
        const QString id = whole.toString();
        const std::optional<QVariantMap> info = MakeDmg::getDisjInfo(
            ToolCommand(QStringLiteral("diskutil"), {QStringLiteral("info"), QStringLiteral("-plist"), id}));
        const QString image = info ? info->value(QStringLiteral("DiskImagePath")).toString() : QString();
        if (!image.isEmpty() && work.isEntry(image, name))
            disks << id;
    }
    return disks;
}

// The image of a job that did not end well: what is still attached from it
// is ejected, then the file and its work folder are removed, so nothing that
// looks like a whole backup stays behind. Only the work folder this job made
// is touched; a file that was there before is never this job's.
void abandonImage(const JobPtr &job)
{
    QList<std::pair<QString, QString>> attached;
    {
        std::lock_guard<std::mutex> lock(job->mutex);
        attached.swap(job->attached);
    }
    // What this job attached goes, whether or not its file is still there
    // (a target that was unplugged takes the file with it).
    for (const auto &[disk, file] : attached) {
        const std::optional<QVariantMap> info = MakeDmg::getDisjInfo(
            ToolCommand(QStringLiteral("diskutil"), {QStringLiteral("info"), QStringLiteral("-plist"), disk})
                .withBuffer(kInfoLineBuffer));
        if (!info || info->value(QStringLiteral("DiskImagePath")).toString() != file)
            continue;
        const RunnerResult result = ejectExecCommand(
            ToolCommand(QStringLiteral("diskutil"), {QStringLiteral("eject"), disk}).withBuffer(kEjectLineBuffer));
        logLine(QStringLiteral("ejected %1, attached by the unfinished job (%2)").arg(disk, result.path));
    }
    const std::shared_ptr<Platform::WorkFolder> work = job->takeWork();
    if (!work || !work->isValid())
        return;
    for (const QString &disk : disksAttachedFrom(*work, job->imageName)) {
        const RunnerResult result = ejectExecCommand(
            ToolCommand(QStringLiteral("diskutil"), {QStringLiteral("eject"), disk}).withBuffer(kEjectLineBuffer));
        logLine(QStringLiteral("ejected %1, still attached from the unfinished image (%2)").arg(disk, result.path));
    }
    const QStringList removed = work->discard();
    logLine(
        removed.contains(job->imageName)
            ? QStringLiteral("the unfinished image %1 is removed").arg(work->path() + QLatin1Char('/') + job->imageName)
            : QStringLiteral("the work folder %1 is removed").arg(work->path()));
}

// Ends a job that failed: the image goes first, then the failure is reported.
void failImage(const JobPtr &job, const QString &why)
{
    logLine(why);
    abandonImage(job);
    job->onMain([](MakeDmgDelegate *d) { d->makeDmgFailWithError(0); });
}

void createImage(const JobPtr &job, QString folder, const QString &name, qint64 size)
{
    // A folder that is not a full path would leave the image wherever the
    // process happens to be.
    if (!folder.startsWith(QLatin1Char('/')) || name.isEmpty() || name.contains(QLatin1Char('/')))
        return job->fail(QStringLiteral("no usable folder and name for the image: \"%1\", \"%2\"").arg(folder, name));
    QTemporaryDir staging(MakeDmg::stagingFolderPrefix() + QStringLiteral(".XXXXXX"));
    if (!stagingIsSafe(staging))
        return job->fail(QStringLiteral("no fresh staging folder could be made under ") +
                         MakeDmg::stagingFolderPrefix());

    if (Platform::isStartupMountPoint(folder)) {
        // The root volume gets a folder of its own that every user may write
        // to; only the folder itself is opened up, nothing inside it, and it
        // is sticky: nobody removes or renames another's entries there.
        Platform::SecureFolder root =
            Platform::SecureFolder::open(Platform::systemRoot(), {kRootFolderName}, {}, true, 01777);
        if (!root.isOpen() || !root.setMode(01777))
            return job->fail(QStringLiteral("the image folder at the root is unusable: ") + root.errorString());
        folder = Platform::rootPath(MakeDmg::rootImageFolder());
    } else {
        folder = Platform::rootPath(folder);
    }
    const QString imageName = name + QStringLiteral(".dmg");
    // The image is made in a folder of this job's own inside the receiving
    // folder: nobody else can put another file in its place there.
    auto work = std::make_shared<Platform::WorkFolder>(Platform::WorkFolder::create(folder, kWorkPrefix));
    if (!work->isValid())
        return job->fail(QStringLiteral("no work folder for the image in %1: %2").arg(folder, work->errorString()));
    {
        std::lock_guard<std::mutex> lock(job->mutex);
        job->imageFolder = folder;
        job->work = work;
        job->imageName = imageName;
    }
    // An entry that is there already is someone else's and stays as it is.
    if (work->destinationHas(imageName))
        return failImage(job, QStringLiteral("%1/%2 exists already").arg(folder, imageName));
    const QString imagePath = work->path() + QLatin1Char('/') + imageName; // for log lines
    const QString sizeText = QString::number(MakeDmg::imageSize(size));
    if (job->cancel)
        return abandonImage(job);
    const int status =
        runHdiutil(job, *work,
                   {QStringLiteral("create"), imageName, QStringLiteral("-volname"), kVolumeName,
                    QStringLiteral("-size"), sizeText, QStringLiteral("-fs"), QStringLiteral("HFS+"),
                    QStringLiteral("-format"), QStringLiteral("UDRW"), QStringLiteral("-srcfolder"), staging.path()},
                   nullptr, true);
    staging.remove();
    // A stopped job mounts nothing, even when the image got made, and keeps nothing.
    if (job->cancel)
        return abandonImage(job);
    if (status != 0)
        return failImage(job, QStringLiteral("hdiutil create ended with status %1 for %2").arg(status).arg(imagePath));
    // From here on the image is the file just made, known by its descriptor.
    if (!work->holdFile(imageName))
        return failImage(job, work->errorString());
    mountImage(job, imagePath);
}

void mountImage(const JobPtr &job, const QString &imagePath)
{
    const std::shared_ptr<Platform::WorkFolder> work = job->workFolder();
    if (!work || !work->hasHeldFile())
        return job->fail(QStringLiteral("%1 is not an image this job made").arg(imagePath));
    if (!work->pathsAreOurs())
        return failImage(job, QStringLiteral("%1 no longer leads to the image this job made").arg(imagePath));
    {
        std::lock_guard<std::mutex> lock(job->mutex);
        job->busy = true;
    }
    QByteArray out;
    const int status = runHdiutil(job, *work, {QStringLiteral("mount"), job->imageName}, &out, false);

    // Each line names a device; the one with a mount point is the volume.
    MakeDmg::MountedImage image;
    QString attached;
    for (const QString &line : QString::fromUtf8(out).split(QLatin1Char('\n'))) {
        const QStringList fields = line.split(QLatin1Char('\t'));
        const QString device = fields.value(0).trimmed();
        if (!device.startsWith(QLatin1String("/dev/")))
            continue;
        if (attached.isEmpty())
            attached = device;
        if (fields.size() >= 3 && !fields.at(2).trimmed().isEmpty())
            image.device = device;
    }
    // The world says where the volume is, not the volume's name.
    if (!image.device.isEmpty()) {
        const std::optional<QVariantMap> info = MakeDmg::getDisjInfo(
            ToolCommand(QStringLiteral("diskutil"), {QStringLiteral("info"), QStringLiteral("-plist"), image.device})
                .withBuffer(kInfoLineBuffer));
        if (info) {
            const QString mountPoint = info->value(QStringLiteral("MountPoint")).toString();
            image.mountPoint = mountPoint.isEmpty() ? QString() : Platform::rootPath(mountPoint);
            image.volumeUUID = info->value(QStringLiteral("VolumeUUID")).toString();
        }
    }
    // What got attached must be the file this job made, not one put in its place.
    bool ours = false;
    if (!attached.isEmpty()) {
        const std::optional<QVariantMap> whole = MakeDmg::getDisjInfo(
            ToolCommand(QStringLiteral("diskutil"), {QStringLiteral("info"), QStringLiteral("-plist"), attached})
                .withBuffer(kInfoLineBuffer));
        image.wholeDisk = attached;
        image.imagePath = whole ? whole->value(QStringLiteral("DiskImagePath")).toString() : QString();
        ours = whole && work->isHeldFile(image.imagePath);
        std::lock_guard<std::mutex> lock(job->mutex);
        job->attached.append({attached, image.imagePath});
    }
    const bool usable = status == 0 && ours && !image.mountPoint.isEmpty() && QFileInfo(image.mountPoint).isDir() &&
                        !image.volumeUUID.isEmpty();
    {
        std::lock_guard<std::mutex> lock(job->mutex);
        if (image.device.isEmpty())
            image.device = attached;
        if (!image.device.isEmpty())
            job->mounted = image;
        job->busy = false;
    }
    if (job->cancel || !usable) {
        if (const std::optional<MakeDmg::MountedImage> taken = job->takeMounted())
            MakeDmg::unmountDmgWithFullPath(*taken);
        if (job->cancel)
            return abandonImage(job);
        if (!attached.isEmpty() && !ours)
            return failImage(job, QStringLiteral("what %1 attached is not the image this job made").arg(imagePath));
        return failImage(
            job, QStringLiteral("hdiutil mount gave no mount point for %1 (status %2)").arg(imagePath).arg(status));
    }
    logLine(QStringLiteral("the image is mounted at %1 (%2)").arg(image.mountPoint, image.device));
    job->onMain([](MakeDmgDelegate *d) { d->beginToCopyDmg(); });
}

// The end of a job whose image is ejected: the image takes its final name
// beside the work folder, never over an entry that appeared there meanwhile.
bool finishImage(const JobPtr &job, quint64 createdInode, QString *error)
{
    const std::shared_ptr<Platform::WorkFolder> work = job->takeWork();
    // The eject writes the image's file anew, inside the work folder, where
    // nobody but this process writes: that file is the one to keep.
    if (!work || !work->holdFile(job->imageName)) {
        *error = work ? work->errorString() : QStringLiteral("the image this job made is gone");
        if (work)
            work->discard();
        return false;
    }
    // An image that got content is a file the eject wrote, not the empty
    // one `hdiutil create` made (the eject wrote elsewhere: the work
    // folder's path was led away meanwhile).
    if (createdInode != 0 && work->heldInode() == createdInode) {
        *error = QStringLiteral("the eject did not write the image in its work folder");
        work->discard();
        return false;
    }
    const bool moved = work->moveHeldFileOut(job->imageName);
    if (!moved)
        *error = work->errorString();
    work->discard();
    return moved;
}

// Before the job's own eject: the image is still attached as the disk this
// job mounted, from the file it made, at the same mount point, and the work
// folder's path still leads to the folder the job holds (the eject writes the
// image there). Empty when all holds, else why not.
QString attachmentLost(const JobPtr &job, const MakeDmg::MountedImage &image)
{
    const std::shared_ptr<Platform::WorkFolder> work = job->workFolder();
    if (!work)
        return QStringLiteral("the image this job made is gone");
    const std::optional<QVariantMap> whole = MakeDmg::getDisjInfo(
        ToolCommand(QStringLiteral("diskutil"), {QStringLiteral("info"), QStringLiteral("-plist"), image.wholeDisk})
            .withBuffer(kInfoLineBuffer));
    const std::optional<QVariantMap> volume = MakeDmg::getDisjInfo(
        ToolCommand(QStringLiteral("diskutil"), {QStringLiteral("info"), QStringLiteral("-plist"), image.device})
            .withBuffer(kInfoLineBuffer));
    const QString mountPoint = volume ? volume->value(QStringLiteral("MountPoint")).toString() : QString();
    if (!whole || !volume || !work->isHeldFile(whole->value(QStringLiteral("DiskImagePath")).toString()) ||
        volume->value(QStringLiteral("VolumeUUID")).toString() != image.volumeUUID || mountPoint.isEmpty() ||
        Platform::rootPath(mountPoint) != image.mountPoint)
        return QStringLiteral("the image was detached by someone else while items were copied into it");
    if (!work->pathsAreOurs())
        return QStringLiteral("the image's work folder was moved while the image was mounted");
    return {};
}

// The folder that holds a copy item, opened from its top-level item's folder
// down without following a link, each folder checked against its listing.
Platform::OpenFolder openListedFolder(const MakeDmg::CopyItem &item, QString *why)
{
    Platform::OpenFolder folder = Platform::OpenFolder::openParent(item.topLevel);
    for (qsizetype i = 0; folder.isOpen() && i + 1 < item.names.size(); ++i)
        folder = folder.child(item.names.at(i), &item.listed.at(i));
    if (!folder.isOpen())
        *why = folder.error() == ESTALE ? QStringLiteral("a folder on its way changed since it was listed")
                                        : QString::fromLocal8Bit(strerror(folder.error()));
    else if (item.names.isEmpty())
        *why = QStringLiteral("no name"), folder = Platform::OpenFolder();
    return folder;
}

void copyItems(const JobPtr &job, const QList<MakeDmg::CopyItem> &items)
{
    std::optional<MakeDmg::MountedImage> image;
    QString imageFolder;
    {
        std::lock_guard<std::mutex> lock(job->mutex);
        image = job->mounted;
        if (image)
            job->busy = true;
        imageFolder = job->imageFolder;
    }
    if (!image) {
        if (!job->cancel)
            failImage(job, QStringLiteral("there is no mounted image to copy into"));
        return;
    }
    const QString mountPoint = image->mountPoint;
    QList<QByteArray> resultPlaces{QFile::encodeName(mountPoint)};
    if (!imageFolder.isEmpty())
        resultPlaces << QFile::encodeName(imageFolder);
    const CopyKeepOut rule = keepOutRule(resultPlaces);
    DoCopyFiles names;
    // The image's root folder, held by its descriptor for the whole copy.
    const Platform::OpenFolder into = Platform::OpenFolder::open(QFile::encodeName(mountPoint));
    // What the image's root holds, listed once; the names this job gives are
    // added as it gives them, since items still being copied have not taken
    // theirs yet.
    const QList<QByteArray> present = into.isOpen() ? into.names() : QList<QByteArray>();
    QSet<QByteArray> namesTaken(present.begin(), present.end());

    const qint64 n = items.size();
    int copied = 0;
    bool failed = false;
    bool finished = n == 0;
    {
        // One pool for every item: later items are copied while earlier ones
        // are still running, and each item's progress is sent, in order, once
        // that item is in. A stop ends every copy under way.
        Platform::CopyJob copies([job](Platform::CopyJob::Ticket) { return job->cancel.load(); });
        // A disk image cannot hold a socket (the eject would refuse the whole
        // image); pipes stay what they are, as Disk Copy keeps them.
        copies.leaveOutSockets();
        struct Queued {
            Platform::CopyJob::Ticket ticket = 0; // 0: nothing to wait for
            QString path;
            int progress = 0;
            bool reported = true; // false: an item without a name, passed over without a word
        };
        std::deque<Queued> queued;
        // Waits for the oldest item and sends its progress; false once the
        // copy is to end (stopped, or the last item is in).
        auto reportOldest = [&] {
            const Queued q = queued.front();
            queued.pop_front();
            QString error;
            if (q.ticket != 0 && !copies.wait(q.ticket, &error)) {
                Platform::systemLog(QStringLiteral("error--------%1").arg(error.isEmpty() ? q.path : error));
                failed = true;
            } else if (q.ticket != 0) {
                ++copied;
            }
            if (job->cancel)
                return false;
            if (q.progress >= 100) {
                finished = true;
                return false;
            }
            if (q.reported)
                job->onMain([p = q.progress](MakeDmgDelegate *d) { d->copyFileToDmgWithFileName(kStatus, float(p)); });
            return true;
        };
        constexpr size_t kAhead = 256;
        bool going = true;
        for (qint64 j = 0; j < n && going && !job->cancel; ++j) {
            const QString &path = items.at(j).path;
            // Names are bytes: the item keeps its own exactly, valid text or not.
            const QByteArray &bytes = items.at(j).pathBytes;
            const qsizetype slash = bytes.lastIndexOf('/');
            const QByteArray name = bytes.mid(slash + 1);
            Queued q{0, path, MakeDmg::copyProgress(j, n), true};
            if (name.isEmpty() || name == " ") {
                q.reported = false;
            } else {
                if (j == 0)
                    job->onMain([](MakeDmgDelegate *d) { d->copyFileToDmgWithFileName(kStatus, 20.0f); });
                CopyKeepOut itemRule = rule;
                itemRule.enterTopLevel(*FileNode::initWithNativePath(items.at(j).topLevel, false, nullptr));
                const MakeDmg::KeptOut kept = keptOut(itemRule, *FileNode::initWithNativePath(bytes, false, nullptr));
                if (kept == MakeDmg::KeptOut::OtherVolume) {
                    logLine(QStringLiteral("%1 is left out: another volume or the disk world's own folder").arg(path));
                } else if (kept == MakeDmg::KeptOut::HoldsResult) {
                    // What the user chose is not all in the image: no whole backup.
                    Platform::systemLog(QStringLiteral("error--------%1 is left out: it holds the image").arg(path));
                    failed = true;
                } else {
                    // Two items of one name both go in: the second gets the Disk
                    // Copy engine's next free "name N".
                    names.setIBegin(0);
                    const QByteArray chosen = names.uniqueName(namesTaken, name, name);
                    namesTaken.insert(chosen);
                    if (chosen != name)
                        logLine(QStringLiteral("%1 is stored as \"%2\": the name is taken in the image")
                                    .arg(path, QFile::decodeName(chosen)));
                    // The item is reached as Disk Copy reaches it: from its
                    // top-level item's folder down, each folder the one listed.
                    QString why;
                    const Platform::OpenFolder from = openListedFolder(items.at(j), &why);
                    if (!into.isOpen() || !from.isOpen()) {
                        Platform::systemLog(QStringLiteral("error--------%1")
                                                .arg(into.isOpen()
                                                         ? QStringLiteral("%1: %2").arg(path, why)
                                                         : QStringLiteral("the image's volume cannot be opened")));
                        failed = true;
                    } else {
                        q.ticket = copies.add(from, items.at(j).names.last(), into, chosen, &items.at(j).listed.last());
                    }
                }
            }
            queued.push_back(q);
            // Progress goes out as soon as the oldest items are in; the walk
            // runs no further than so many items ahead of it.
            while (going && !queued.empty() &&
                   (queued.size() > kAhead || queued.front().ticket == 0 || copies.isDone(queued.front().ticket)))
                going = reportOldest();
        }
        while (going && !queued.empty() && !job->cancel)
            going = reportOldest();
    }

    {
        std::lock_guard<std::mutex> lock(job->mutex);
        job->busy = false;
    }
    // The image file is whole only once the image is ejected, so the end is
    // reported after the eject, and the image keeps its final name only then.
    const std::optional<MakeDmg::MountedImage> taken = job->takeMounted();
    const QString lost = taken && !job->cancel && finished ? attachmentLost(job, *taken) : QString();
    const std::shared_ptr<Platform::WorkFolder> work = job->workFolder();
    const quint64 createdInode = work && copied > 0 ? work->heldInode() : 0;
    const bool ejected = taken && MakeDmg::unmountDmgWithFullPath(*taken);
    if (job->cancel || !finished)
        return abandonImage(job);
    if (!lost.isEmpty())
        return failImage(job, lost);
    if (!ejected)
        return failImage(job, QStringLiteral("the image at %1 could not be ejected").arg(mountPoint));
    if (failed)
        return failImage(job, QStringLiteral("some items could not be copied into the image"));
    QString error;
    if (!finishImage(job, createdInode, &error))
        return failImage(job, QStringLiteral("the image cannot take its name: ") + error);
    job->onMain([](MakeDmgDelegate *d) { d->copyFileToDmgWithFileName(kStatus, 100.0f); });
}

} // namespace

MakeDmg::MakeDmg(MakeDmgDelegate *delegate, QObject *parent)
    : QObject(parent), m_delegate(std::make_shared<std::atomic<MakeDmgDelegate *>>(delegate)),
      m_job(std::make_shared<Job>(m_delegate))
{
}

MakeDmg::~MakeDmg()
{
    m_delegate->store(nullptr);
    const std::shared_ptr<Job> job = currentJob();
    job->cancel = true;
    std::optional<MountedImage> idle;
    {
        std::lock_guard<std::mutex> lock(job->mutex);
        if (!job->busy)
            idle = job->takeMountedLocked();
    }
    if (idle)
        Platform::Dispatch::globalAsync([job, image = *idle] {
            unmountDmgWithFullPath(image);
            abandonImage(job);
        });
}

std::shared_ptr<MakeDmg::Job> MakeDmg::currentJob() const
{
    std::lock_guard<std::mutex> lock(m_jobMutex);
    return m_job;
}

std::shared_ptr<MakeDmg::Job> MakeDmg::startJob()
{
    auto job = std::make_shared<Job>(m_delegate);
    std::lock_guard<std::mutex> lock(m_jobMutex);
    // Whatever an earlier job still does is silenced; it ejects its own image.
    m_job->cancel = true;
    m_job = job;
    return job;
}

bool MakeDmg::isCancelCopy() const { return currentJob()->cancel; }

void MakeDmg::setIsCancelCopy(bool cancel) { currentJob()->cancel = cancel; }

QString MakeDmg::stagingFolderPrefix() { return kStagingPrefix; }
QString MakeDmg::imageVolumeName() { return kVolumeName; }
QString MakeDmg::rootImageFolder() { return QLatin1Char('/') + kRootFolderName; }
QString MakeDmg::statusText() { return kStatus; }

quint64 MakeDmg::imageSize(qint64 selectionSize) { return quint64(std::max<qint64>(0, selectionSize)) + kImageMargin; }

int MakeDmg::copyProgress(qint64 j, qint64 n)
{
    if (n <= 0)
        return 100;
    const qint64 p = (100 * j + 100) / n;
    return p < 21 ? 20 : int(p);
}

MakeDmg::KeptOut MakeDmg::keepOut(const QByteArray &item, const QByteArray &topLevel,
                                  const QList<QByteArray> &resultPlaces)
{
    CopyKeepOut rule = keepOutRule(resultPlaces);
    const FileNodePtr node = FileNode::initWithNativePath(item, false, nullptr);
    rule.enterTopLevel(topLevel.isEmpty() ? *node : *FileNode::initWithNativePath(topLevel, false, nullptr));
    return keptOut(rule, *node);
}

std::optional<QVariantMap> MakeDmg::getDisjInfo(const ToolCommand &command)
{
    return ejectExecCommand(command).dictionary();
}

bool MakeDmg::unmountDmgWithFullPath(const MountedImage &image)
{
    const QString id = image.volumeUUID.isEmpty() ? image.device : image.volumeUUID;
    if (id.isEmpty())
        return false;
    const RunnerResult result = ejectExecCommand(
        ToolCommand(QStringLiteral("diskutil"), {QStringLiteral("eject"), id}).withBuffer(kEjectLineBuffer));
    Platform::systemLog(result.path);
    // The runner does not tell how the tool ended; the volume's folder does.
    if (image.mountPoint.isEmpty())
        return result.ran;
    return !QFileInfo::exists(image.mountPoint);
}

MakeDmg::ZipSelection MakeDmg::getAllFileCount(const FileNodeList &nodes, const QList<QByteArray> &resultPlaces)
{
    return selectionOf(takenItems(nodes), resultPlaces);
}

quint64 MakeDmg::getAllFileCountWithPath(const QString &path)
{
    return getAllFileCountWithPath(QFile::encodeName(path));
}

quint64 MakeDmg::getAllFileCountWithPath(const QByteArray &path)
{
    QList<QByteArray> entries;
    entriesOnOneFileSystem(path, &entries);
    return quint64(entries.size());
}

namespace {
void collectEntries(const Platform::OpenFolder &folder, const QByteArray &path, quint64 device,
                    QList<QByteArray> *entries, QList<QByteArray> *leftOut)
{
    for (const QByteArray &name : folder.names()) {
        const QByteArray child = path + '/' + name;
        const Platform::FileAttributes a = folder.attributes(name);
        if (a.type == Platform::FileAttributes::Type::Missing)
            continue;
        if (a.device != device) {
            if (leftOut)
                leftOut->append(child);
            continue;
        }
        entries->append(child);
        if (a.type == Platform::FileAttributes::Type::Directory) {
            const Platform::OpenFolder sub = folder.child(name, &a);
            if (sub.isOpen())
                collectEntries(sub, child, device, entries, leftOut);
        }
    }
}
} // namespace

void MakeDmg::entriesOnOneFileSystem(const QByteArray &folder, QList<QByteArray> *entries, QList<QByteArray> *leftOut)
{
    const Platform::OpenFolder top = Platform::OpenFolder::open(folder);
    if (top.isOpen())
        collectEntries(top, folder.endsWith('/') ? folder.chopped(1) : folder, top.device(), entries, leftOut);
}

void MakeDmg::makeTmpDmgWithPath(const QString &path, const QString &withName, qint64 withSize)
{
    const std::shared_ptr<Job> job = startJob();
    if (MakeDmgDelegate *d = m_delegate->load())
        d->copyFileToDmgWithFileName(kStatus, 20.0f);
    Platform::Dispatch::globalAsync([job, path, withName, withSize] { createImage(job, path, withName, withSize); });
}

void MakeDmg::mountDmgWithDmgPath(const QString &dmgPath)
{
    const std::shared_ptr<Job> job = currentJob();
    Platform::Dispatch::globalAsync([job, dmgPath] { mountImage(job, dmgPath); });
}

void MakeDmg::doCopyFilesToDmgWithDmg(const QStringList &paths)
{
    QList<CopyItem> items;
    for (const QString &path : paths) {
        const QByteArray bytes = QFile::encodeName(path);
        items.append({path, bytes, bytes, {bytes.mid(bytes.lastIndexOf('/') + 1)}, {FileAttributes()}});
    }
    const std::shared_ptr<Job> job = currentJob();
    Platform::Dispatch::globalAsync([job, items] { copyItems(job, items); });
}

void MakeDmg::doCopyFilesToDmgWithDmg(const FileNodeArray &nodes)
{
    QList<CopyItem> items;
    for (const FileNodePtr &top : nodes)
        if (top)
            FileNode::walkSelection(FileNodeList{top}, [&](FileNode *node) {
                const ListedPath listed = listedPath(*top, *node);
                items.append({node->path, node->pathBytes(), listed.topLevel, listed.names, listed.listed});
            });
    const std::shared_ptr<Job> job = currentJob();
    Platform::Dispatch::globalAsync([job, items] { copyItems(job, items); });
}

void MakeDmg::stopMakeDmg()
{
    if (!Platform::Dispatch::isMainThread()) {
        Platform::Dispatch::mainSync([this] { stopMakeDmg(); });
        return;
    }
    const std::shared_ptr<Job> job = currentJob();
    job->cancel = true;
    // A running `hdiutil create` or archive is ended by its worker, which
    // sees the flag and removes what it made.
    // An image that no worker holds is ejected now and removed; a worker
    // does the same with its own.
    std::optional<MountedImage> idle;
    {
        std::lock_guard<std::mutex> lock(job->mutex);
        if (!job->busy)
            idle = job->takeMountedLocked();
    }
    if (idle)
        Platform::Dispatch::globalAsync([job, image = *idle] {
            unmountDmgWithFullPath(image);
            abandonImage(job);
        });
}

namespace {

// Reads the finished archive back from its descriptor: it must list exactly
// the entries that were written into it.
bool archiveListsEntries(int fd, quint64 expected, QString *error)
{
    struct archive *a = archive_read_new();
    archive_read_support_format_zip_seekable(a);
    quint64 listed = 0;
    bool ok = ::lseek(fd, 0, SEEK_SET) == 0 && archive_read_open_fd(a, fd, 1 << 16) == ARCHIVE_OK;
    struct archive_entry *entry = nullptr;
    int r = ARCHIVE_OK;
    // A warning is about a name this locale cannot show, not about the archive.
    while (ok && ((r = archive_read_next_header(a, &entry)) == ARCHIVE_OK || r == ARCHIVE_WARN)) {
        ++listed;
        archive_read_data_skip(a);
    }
    if (!ok || r != ARCHIVE_EOF || listed != expected)
        *error = QStringLiteral("the archive lists %1 of its %2 entries (%3)")
                     .arg(listed)
                     .arg(expected)
                     .arg(QString::fromUtf8(archive_error_string(a) ? archive_error_string(a) : "read back"));
    archive_read_free(a);
    return error->isEmpty();
}

} // namespace

// What the worker writing an archive tells the main thread, batched: one
// queued note at a time, read there with the latest count and name.
namespace {
std::mutex g_zipHookMutex;
MakeDmg::ZipEntryHook g_zipHook;

MakeDmg::ZipEntryHook zipEntryHook()
{
    std::lock_guard<std::mutex> lock(g_zipHookMutex);
    return g_zipHook;
}
} // namespace

void MakeDmg::setZipEntryHook(ZipEntryHook hook)
{
    std::lock_guard<std::mutex> lock(g_zipHookMutex);
    g_zipHook = std::move(hook);
}

struct MakeDmg::ZipProgress {
    std::mutex mutex;
    quint64 entries = 0;
    QByteArray lastName;
    bool posted = false;
};

void MakeDmg::doZipWithPath(const QString &path, const FileNodeArray &withZipArr)
{
    if (!Platform::Dispatch::isMainThread()) {
        Platform::Dispatch::mainSync([&] { doZipWithPath(path, withZipArr); });
        return;
    }
    const std::shared_ptr<Job> job = startJob();
    m_zipJob = job;
    m_zipPath = path;
    m_allSelectFileCout = 0;
    m_proValue = 0;
    m_allSelectFileArr.clear();
    // The tree is read here; the rest asks the file system about every item
    // and runs on a worker.
    QPointer<MakeDmg> self(this);
    auto progress = std::make_shared<ZipProgress>();
    Platform::Dispatch::globalAsync([self, job, taken = takenItems(withZipArr), path, progress] {
        // Nothing that holds the archive's folder goes in, and nothing of other volumes.
        const ZipSelection selection = selectionOf(taken, {QFile::encodeName(QFileInfo(path).path())});
        // A taken folder counts what it holds on its own file system, not itself.
        quint64 count = selection.files;
        for (const QByteArray &folder : selection.folderBytes) {
            if (job->cancel)
                return;
            count += getAllFileCountWithPath(folder);
        }
        auto end = [self, job](const QString &why) {
            Platform::Dispatch::mainAsync([self, job, why] {
                if (self)
                    self->zipTaskTerminated(job, why);
            });
        };
        Platform::Dispatch::mainAsync([self, job, selection, count] {
            if (!self || self->m_zipJob != job)
                return;
            self->m_allSelectFileArr = selection.paths;
            self->m_allSelectFileCout = count;
            Platform::systemLog(
                QStringLiteral("MakeDmg: zip items: %1").arg(selection.paths.join(QStringLiteral(", "))));
            Platform::systemLog(QStringLiteral("MakeDmg: zip expects %1 entries").arg(count));
        });
        if (job->cancel)
            return;
        if (!selection.refused.isEmpty())
            return end(QStringLiteral("left out, as they hold the archive's folder: %1")
                           .arg(selection.refused.join(QStringLiteral(", "))));
        if (selection.items.isEmpty())
            return end(QStringLiteral("nothing is selected for the archive"));
        if (!path.startsWith(QLatin1Char('/')))
            return end(QStringLiteral("\"%1\" is not a full path for the archive").arg(path));

        // The archive is written in a folder of this job's own beside its
        // final name, held by its descriptor, and takes that name only once
        // it is whole; an existing entry is never touched.
        const QFileInfo target(path);
        Platform::WorkFolder work = Platform::WorkFolder::create(target.path(), kWorkPrefix);
        if (!work.isValid())
            return end(QStringLiteral("no work folder for the archive: %1").arg(work.errorString()));
        if (work.destinationHas(target.fileName())) {
            work.discard();
            return end(QStringLiteral("%1 exists already").arg(path));
        }
        const int fd = work.createFile(target.fileName(), 0644);
        if (fd < 0) {
            const QString why = work.errorString();
            work.discard();
            return end(QStringLiteral("the archive cannot be made: %1").arg(why));
        }
        QString why;
        quint64 entries = 0;
        {
            ZipArchive zip(
                fd, [job] { return job->cancel.load(); },
                [self, job, progress, hook = zipEntryHook()](const QByteArray &stored) {
                    {
                        std::lock_guard<std::mutex> lock(progress->mutex);
                        ++progress->entries;
                        progress->lastName = stored;
                        if (!std::exchange(progress->posted, true))
                            Platform::Dispatch::mainAsync([self, job, progress] {
                                if (self)
                                    self->dataReady(job, progress);
                            });
                    }
                    if (hook)
                        hook(stored);
                });
            for (const ZipArchive::Item &item : selection.items)
                if (!zip.add(item))
                    break;
            if (zip.finish())
                entries = zip.entries();
            else
                why = zip.errorString();
        }
        if (!why.isEmpty() || job->cancel) {
            ::close(fd);
            work.discard();
            logLine(QStringLiteral("the unfinished archive %1 is removed").arg(path));
            return job->cancel ? void() : end(QStringLiteral("%1; %2 is not made").arg(why, path));
        }
        // Whole, and the file this job made, before it takes its name.
        const bool whole = ::fsync(fd) == 0 && archiveListsEntries(fd, entries, &why);
        ::close(fd);
        if (!whole) {
        } else if (!work.holdFile(target.fileName())) {
            why = work.errorString();
        } else if (job->cancel) {
            why = QStringLiteral("stopped");
        } else if (!work.moveHeldFileOut(target.fileName())) {
            why = QStringLiteral("the archive cannot take its name: ") + work.errorString();
        }
        work.discard();
        end(why.isEmpty() ? QString() : QStringLiteral("%1; %2 is not made").arg(why, path));
    });
}

void MakeDmg::dataReady(const std::shared_ptr<Job> &job, const std::shared_ptr<ZipProgress> &progress)
{
    quint64 entries = 0;
    QByteArray name;
    {
        std::lock_guard<std::mutex> lock(progress->mutex);
        progress->posted = false;
        entries = progress->entries;
        name = progress->lastName;
    }
    if (job != m_zipJob || job->cancel)
        return;
    m_proValue = entries;
    reportZipProgress(QStringLiteral("adding: ") + QFile::decodeName(name));
}

void MakeDmg::reportZipProgress(const QString &text)
{
    quint64 p = m_allSelectFileCout ? m_proValue * 100 / m_allSelectFileCout : 0;
    // The count is only an estimate of what goes in: 100 waits for the end.
    p = std::min<quint64>(p, 99);
    if (MakeDmgDelegate *d = m_delegate->load())
        d->copyFileToDmgWithFileName(text, float(p));
}

void MakeDmg::zipTaskTerminated(const std::shared_ptr<Job> &job, const QString &why)
{
    if (job != m_zipJob || job->cancel)
        return;
    m_zipJob.reset();
    if (!why.isEmpty()) {
        logLine(why);
        if (MakeDmgDelegate *d = m_delegate->load())
            d->makeDmgFailWithError(0);
        return;
    }
    if (MakeDmgDelegate *d = m_delegate->load())
        d->copyFileToDmgWithFileName(QString(), 100.0f);
}
