#include "DiskImage.h"
#include "FileSystemKind.h"
#include "FolderTree.h"
#include "PropertyList.h"
#include "TarArchive.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTextStream>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform::DiskWorld::DiskImage {
namespace {

const QString kHeaderName = QStringLiteral(".TarnwickImage.plist");
const QString kFormat = QStringLiteral("TarnwickDiskImage");

QByteArray enc(const QString &p) { return QFile::encodeName(p); }

Outcome failed(const QString &error) { return Outcome{false, {}, error}; }

QByteArray headerData(const Header &h)
{
    return PropertyList::toXml(QVariantMap{{QStringLiteral("Format"), kFormat},
                                           {QStringLiteral("Version"), 1},
                                           {QStringLiteral("VolumeName"), h.volumeName},
                                           {QStringLiteral("FilesystemName"), h.fs},
                                           {QStringLiteral("Capacity"), h.capacity},
                                           {QStringLiteral("VolumeUUID"), h.volumeUUID}});
}

// Writes the image as a file without a name in its folder and gives it its
// name only when it is whole: a reader never finds half an image, and a writer
// killed on the way leaves nothing behind.
bool writeImage(const QString &path, const Header &h, const QString &content, bool replace, QString *error,
                const TarArchive::HeldModes &held = {})
{
    const QFileInfo info(path);
    const QByteArray dir = enc(info.absolutePath());
    auto failErrno = [&](const QString &what) {
        if (error)
            *error = what + QStringLiteral(": ") + QString::fromLocal8Bit(strerror(errno));
        return false;
    };
    int fd = open(dir.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644);
    if (fd < 0)
        return failErrno(path);
    fchmod(fd, 0644);
    bool ok = TarArchive::write(fd, {{kHeaderName, headerData(h)}}, content, error, held);
    stopPoint();
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    if (ok && !replace) {
        // Never over an existing file: linkat refuses one.
        if (linkat(AT_FDCWD, self.constData(), AT_FDCWD, enc(path).constData(), AT_SYMLINK_FOLLOW) != 0)
            ok = failErrno(path);
    } else if (ok) {
        const QByteArray temp =
            enc(info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".tw-") +
                QString::number(QRandomGenerator::global()->generate64(), 36));
        // The new image takes the old one's place by an exchange, after
        // which the old one goes: a rename over an existing file would make
        // the file system write the whole new image out before it returns.
        if (linkat(AT_FDCWD, self.constData(), AT_FDCWD, temp.constData(), AT_SYMLINK_FOLLOW) != 0) {
            ok = failErrno(path);
        } else if (renameat2(AT_FDCWD, temp.constData(), AT_FDCWD, enc(path).constData(), RENAME_EXCHANGE) == 0) {
            unlink(temp.constData());
        } else if (rename(temp.constData(), enc(path).constData()) != 0) {
            ok = failErrno(path);
            unlink(temp.constData());
        }
    }
    if (close(fd) != 0 && ok)
        ok = failErrno(path);
    return ok;
}

QString identityOf(const struct stat &st)
{
    return QStringLiteral("%1:%2:%3:%4.%5")
        .arg(st.st_dev)
        .arg(st.st_ino)
        .arg(st.st_size)
        .arg(st.st_mtim.tv_sec)
        .arg(st.st_mtim.tv_nsec);
}

qint64 nanoseconds(const struct timespec &t) { return qint64(t.tv_sec) * 1000000000 + t.tv_nsec; }

// The file system's own clock, as it stamps a change, read off a new file.
qint64 fileSystemNow(const QString &folder)
{
    int fd = open(enc(folder).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    struct stat st;
    const bool ok = fd >= 0 && fstat(fd, &st) == 0;
    if (fd >= 0)
        close(fd);
    return ok ? nanoseconds(st.st_ctim) : 0;
}

// True when nothing below `dirFd` changed since `since`: every entry's status
// (which no one can set back) is older. The folder's own status changes when
// it is moved, so of it only the modification time counts.
bool unchangedSince(int dirFd, qint64 since)
{
    DIR *d = fdopendir(dup(dirFd));
    if (!d)
        return false;
    bool same = true;
    while (same) {
        const dirent *de = readdir(d);
        if (!de)
            break;
        if (!strcmp(de->d_name, ".") || !strcmp(de->d_name, ".."))
            continue;
        struct stat st;
        if (fstatat(dirFd, de->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || nanoseconds(st.st_ctim) >= since) {
            same = false;
            break;
        }
        if (S_ISDIR(st.st_mode)) {
            const int sub = openat(dirFd, de->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            same = sub >= 0 && unchangedSince(sub, since);
            if (sub >= 0)
                close(sub);
        }
    }
    closedir(d);
    return same;
}

// The image file still is what was attached and already holds exactly this
// volume: writing it again would only copy the same bytes.
bool imageUpToDate(const Disk &d, const Header &h, const QString &content)
{
    struct stat st;
    if (d.imageIdentity.isEmpty() || d.imageSince <= 0 || lstat(enc(d.imagePath).constData(), &st) != 0 ||
        identityOf(st) != d.imageIdentity)
        return false;
    const std::optional<Header> now = readHeader(d.imagePath);
    if (!now || now->volumeName != h.volumeName || now->fs != h.fs || now->capacity != h.capacity ||
        now->volumeUUID != h.volumeUUID)
        return false;
    const int fd = open(enc(content).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool same = fstat(fd, &st) == 0 && nanoseconds(st.st_mtim) < d.imageSince && unchangedSince(fd, d.imageSince);
    close(fd);
    return same;
}

} // namespace

std::optional<Header> readHeader(const QString &path, QString *error)
{
    QString err;
    const std::optional<QByteArray> data = TarArchive::readFirst(path, kHeaderName, &err);
    if (!data) {
        if (error)
            *error = err.isEmpty() ? QStringLiteral("%1 is not a disk image").arg(path) : err;
        return std::nullopt;
    }
    const QVariantMap m = PropertyList::fromData(*data).toMap();
    if (m.value(QStringLiteral("Format")).toString() != kFormat || m.value(QStringLiteral("Version")).toInt() != 1 ||
        m.value(QStringLiteral("VolumeName")).toString().isEmpty()) {
        if (error)
            *error = QStringLiteral("%1 is not a disk image this tool can read").arg(path);
        return std::nullopt;
    }
    Header h;
    h.volumeName = m.value(QStringLiteral("VolumeName")).toString();
    h.fs = m.value(QStringLiteral("FilesystemName")).toString();
    h.capacity = m.value(QStringLiteral("Capacity")).toLongLong();
    h.volumeUUID = m.value(QStringLiteral("VolumeUUID")).toString();
    return h;
}

Outcome create(const World &w, const CreateOptions &o)
{
    if (o.path.isEmpty())
        return failed(QStringLiteral("create: no image path given"));
    struct stat st;
    if (lstat(enc(o.path).constData(), &st) == 0)
        return failed(QStringLiteral("create failed - File exists"));
    if (!QFileInfo(QFileInfo(o.path).absolutePath()).isDir())
        return failed(QStringLiteral("create failed - No such file or directory"));
    if (o.format.compare(QLatin1String("UDRW"), Qt::CaseInsensitive) != 0)
        return failed(
            QStringLiteral("create failed - only read/write images (UDRW) are made here, not %1").arg(o.format));
    const std::optional<FileSystemKind> kind = fileSystemNamed(o.fs);
    if (!kind || kind->isAPFS())
        return failed(QStringLiteral("create failed - %1 is not a file system for an image here").arg(o.fs));
    const QString name = o.volumeName.isEmpty() ? QStringLiteral("untitled") : o.volumeName;
    QString err;
    if (!validVolumeName(name, *kind, &err))
        return failed(QStringLiteral("create failed - ") + err);
    if (!o.sourceFolder.isEmpty() && !QFileInfo(o.sourceFolder).isDir())
        return failed(QStringLiteral("create failed - %1 is not a folder").arg(o.sourceFolder));

    const qint64 content = o.sourceFolder.isEmpty() ? 0 : FolderTree::bytes(o.sourceFolder);
    const qint64 capacity = o.size >= 0 ? o.size : content + (1 << 20);
    if (capacity <= 0)
        return failed(QStringLiteral("create failed - the size must be more than 0"));
    if (content > capacity)
        return failed(QStringLiteral("create failed - the source folder does not fit in %1 bytes").arg(capacity));
    // An image kept on a world volume takes that volume's space.
    if (w.exists()) {
        QString refusal;
        w.inspect([&](const State &s) {
            if (const std::optional<Ref> r = w.volumeHolding(s, o.path)) {
                const Disk *d = s.disk(r->disk);
                const Node *n = s.node(r->node);
                const qint64 entries = o.sourceFolder.isEmpty() ? 0 : FolderTree::entries(o.sourceFolder);
                const qint64 need = content + 512 * (2 * entries + 8);
                if (!n->volume->writable)
                    refusal = QStringLiteral("Read-only file system");
                else if (w.freeBytes(s, *d, *n) < need)
                    refusal = QStringLiteral("No space left on device");
            }
        });
        if (!refusal.isEmpty())
            return failed(QStringLiteral("create failed - ") + refusal);
    }
    Header h{name, kind->name, capacity, newUUID()};
    QString empty;
    QString source = o.sourceFolder;
    if (source.isEmpty()) {
        empty = QDir::tempPath() + QStringLiteral("/tw-empty-") +
                QString::number(QRandomGenerator::global()->generate64(), 36);
        if (mkdir(enc(empty).constData(), 0700) != 0)
            return failed(QStringLiteral("create failed - ") + QString::fromLocal8Bit(strerror(errno)));
        source = empty;
    }
    const bool ok = writeImage(o.path, h, source, false, &err);
    if (!empty.isEmpty())
        rmdir(enc(empty).constData());
    if (!ok)
        return failed(QStringLiteral("create failed - ") + err);
    return Outcome{true, QStringLiteral("created: %1\n").arg(o.path), {}};
}

Outcome attach(const World &w, const QString &imagePath)
{
    const QString path = QFileInfo(imagePath).canonicalFilePath();
    if (path.isEmpty())
        return failed(QStringLiteral("attach failed - No such file or directory"));
    QString err;
    const std::optional<Header> h = readHeader(path, &err);
    if (!h)
        return failed(QStringLiteral("attach failed - image not recognized: ") + err);
    const std::optional<FileSystemKind> kind = fileSystemNamed(h->fs);
    if (!kind || kind->isAPFS())
        return failed(QStringLiteral("attach failed - image not recognized: unknown file system %1").arg(h->fs));
    if (!w.exists())
        return failed(QStringLiteral("attach failed - there is no disk world at ") + w.root());

    // The content comes out before the lock is taken; attaching only moves it in.
    const QString staging =
        w.storeDir() + QStringLiteral("/.incoming-") + QString::number(QRandomGenerator::global()->generate64(), 36);
    if (!w.makeVolumeFolders() || !QDir().mkpath(staging))
        return failed(QStringLiteral("attach failed - cannot make ") + staging);
    struct stat before;
    if (lstat(enc(path).constData(), &before) != 0)
        return failed(QStringLiteral("attach failed - ") + QString::fromLocal8Bit(strerror(errno)));
    TarArchive::HeldModes held;
    if (!TarArchive::extract(path, staging, {QStringLiteral(".TarnwickImage.plist")}, &err, &held)) {
        FolderTree::remove(staging);
        return failed(QStringLiteral("attach failed - image not recognized: ") + err);
    }
    // Whatever the extraction stamped is older than `since`; the stamps are
    // coarse, so wait for the file system's clock to move on once.
    const qint64 extracted = fileSystemNow(staging);
    qint64 since = extracted;
    for (int i = 0; i < 200 && since <= extracted && extracted > 0; ++i) {
        usleep(1000);
        since = fileSystemNow(staging);
    }
    QString output;
    const bool ok = w.change(
        [&](Change &c) {
            for (const Disk &d : c.state.disks)
                if (d.imagePath == path)
                    return c.fail(QStringLiteral("attach failed - the image is attached already as %1").arg(d.id));
            Disk d;
            d.id = c.state.freeDiskId();
            d.bus = QStringLiteral("Disk Image");
            d.registryName = QStringLiteral("Apple Disk Image Media");
            d.mediaName = QStringLiteral("Apple Disk Image");
            d.content = QStringLiteral("GUID_partition_scheme");
            d.diskUUID = newUUID();
            d.size = h->capacity;
            d.ejectable = true;
            d.isVirtual = true;
            d.imagePath = path;
            d.imageIdentity = identityOf(before);
            d.imageSince = since;
            QString uuid = h->volumeUUID.isEmpty() ? newUUID() : h->volumeUUID;
            for (const auto &[disk, node] : c.state.volumes())
                if (node->volume->uuid.compare(uuid, Qt::CaseInsensitive) == 0)
                    uuid = newUUID(); // a copy of an image that is attached already
            Node n{d.id + QStringLiteral("s1"), kind->partitionType, newUUID(), h->capacity, {}, {}};
            n.volume = Volume{h->volumeName, kind->name, uuid, c.freeMountName(h->volumeName), true, kind->writable,
                              false,         {},         held};
            d.nodes.push_back(n);
            c.state.disks.push_back(d);
            if (!c.adoptContent(*c.state.disks.back().nodes.back().volume, staging))
                return false;
            QTextStream t(&output);
            t << "/dev/" << d.id << "\t" << d.content << "\t\n"
              << "/dev/" << n.id << "\t" << n.content << "\t" << c.world.mountPoint(*n.volume) << "\n";
            return true;
        },
        &err);
    if (!ok) {
        FolderTree::remove(staging);
        return failed(err);
    }
    return Outcome{true, output, {}};
}

bool writeBack(const World &w, const Disk &d, QString *error)
{
    if (!d.isImage())
        return true;
    for (const Node &n : d.nodes)
        if (n.volume) {
            const Header h{n.volume->name, n.volume->fs, n.size, n.volume->uuid};
            if (imageUpToDate(d, h, w.contentPath(*n.volume)))
                return true;
            return writeImage(d.imagePath, h, w.contentPath(*n.volume), true, error, n.volume->heldModes);
        }
    return true;
}

} // namespace Platform::DiskWorld::DiskImage
