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

// The folder an image file lies in, held open, and the file's name in it:
// the image is read, written and renamed only through the held folder, so a
// link put in place of a folder on its path later changes nothing.
class ImageFolder {
public:
    ImageFolder() = default;
    ImageFolder(const ImageFolder &) = delete;
    ImageFolder &operator=(const ImageFolder &) = delete;
    ~ImageFolder()
    {
        if (fd >= 0)
            close(fd);
    }
    // The folder of `path` as the process finds it (a relative path from the
    // working folder).
    bool open(const QString &path, QString *error)
    {
        const QFileInfo info(path);
        name = enc(info.fileName());
        shown = path;
        fd = ::open(enc(info.path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0 && error)
            *error = QString::fromLocal8Bit(strerror(errno));
        return fd >= 0 && !name.isEmpty();
    }
    // The folder of the absolute `path` opened from "/" one name at a time,
    // none through a link; `gone` tells a folder that is not there any more
    // from one that is not what it was.
    bool openExact(const QString &path, bool *gone, QString *error)
    {
        const QFileInfo info(path);
        name = enc(info.fileName());
        shown = path;
        *gone = false;
        fd = ::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        for (const QByteArray &part : enc(info.path()).split('/')) {
            if (part.isEmpty() || fd < 0)
                continue;
            const int next = openat(fd, part.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            const int err = errno;
            close(fd);
            fd = next;
            if (fd < 0) {
                *gone = err == ENOENT;
                if (error)
                    *error = QString::fromLocal8Bit(strerror(err));
            }
        }
        return fd >= 0;
    }
    QString identity() const
    {
        struct stat st;
        if (fd < 0 || fstat(fd, &st) != 0)
            return {};
        return QStringLiteral("%1:%2").arg(st.st_dev).arg(st.st_ino);
    }
    int fd = -1;
    QByteArray name;
    QString shown;
};

// Writes the image as a file without a name in its folder and gives it its
// name only when it is whole and on the disk: a reader never finds half an
// image, a writer killed on the way leaves nothing behind, and the old image
// goes only once the new one would survive a power cut. A new image larger
// than `limit` bytes is refused before a byte is written.
bool writeImage(const ImageFolder &place, const Header &h, const QString &content, bool replace, QString *error,
                const TarArchive::HeldModes &held = {}, qint64 limit = -1, const TarArchive::Earlier &earlier = {})
{
    auto failErrno = [&](const QString &what) {
        if (error)
            *error = what + QStringLiteral(": ") + QString::fromLocal8Bit(strerror(errno));
        return false;
    };
    int fd = openat(place.fd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644);
    if (fd < 0)
        return failErrno(place.shown);
    fchmod(fd, 0644);
    bool ok = TarArchive::write(fd, {{kHeaderName, headerData(h)}}, content, error, held, limit, earlier);
    if (ok && fsync(fd) != 0)
        ok = failErrno(place.shown);
    stopPoint();
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    if (ok && !replace) {
        // Never over an existing file: linkat refuses one.
        if (linkat(AT_FDCWD, self.constData(), place.fd, place.name.constData(), AT_SYMLINK_FOLLOW) != 0)
            ok = failErrno(place.shown);
        else if (fsync(place.fd) != 0)
            ok = failErrno(place.shown);
    } else if (ok) {
        const QByteArray temp =
            "." + place.name + ".tw-" + QByteArray::number(QRandomGenerator::global()->generate64(), 36);
        // The new image takes the old one's place by an exchange, after
        // which the old one goes: a rename over an existing file would make
        // the file system write the whole new image out before it returns.
        if (linkat(AT_FDCWD, self.constData(), place.fd, temp.constData(), AT_SYMLINK_FOLLOW) != 0) {
            ok = failErrno(place.shown);
        } else if (renameat2(place.fd, temp.constData(), place.fd, place.name.constData(), RENAME_EXCHANGE) == 0) {
            if (fsync(place.fd) != 0)
                ok = failErrno(place.shown);
            else
                unlinkat(place.fd, temp.constData(), 0);
        } else if (renameat(place.fd, temp.constData(), place.fd, place.name.constData()) != 0 ||
                   fsync(place.fd) != 0) {
            ok = failErrno(place.shown);
            unlinkat(place.fd, temp.constData(), 0);
        }
    }
    if (close(fd) != 0 && ok)
        ok = failErrno(place.shown);
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

using TarArchive::nanoseconds;

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
bool imageUpToDate(const Disk &d, const ImageFolder &place, const Header &h, const QString &content)
{
    struct stat st;
    if (d.imageIdentity.isEmpty() || d.imageSince <= 0 ||
        fstatat(place.fd, place.name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0 || identityOf(st) != d.imageIdentity)
        return false;
    const int image = openat(place.fd, place.name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    const std::optional<Header> now = image >= 0 ? readHeader(image) : std::nullopt;
    if (image >= 0)
        close(image);
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

std::optional<Header> headerFrom(const std::optional<QByteArray> &data, const QString &path, const QString &err,
                                 QString *error)
{
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

} // namespace

std::optional<Header> readHeader(const QString &path, QString *error)
{
    QString err;
    return headerFrom(TarArchive::readFirst(path, kHeaderName, &err), path, err, error);
}

std::optional<Header> readHeader(int fd, QString *error)
{
    QString err;
    return headerFrom(TarArchive::readFirst(fd, kHeaderName, &err), QStringLiteral("the file"), err, error);
}

Outcome create(const World &w, const CreateOptions &o)
{
    if (o.path.isEmpty())
        return failed(QStringLiteral("create: no image path given"));
    ImageFolder place;
    if (!place.open(o.path, nullptr))
        return failed(QStringLiteral("create failed - No such file or directory"));
    struct stat st;
    if (fstatat(place.fd, place.name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0)
        return failed(QStringLiteral("create failed - File exists"));
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
    // An image kept on a world volume takes that volume's space: as a
    // read/write image of its size would, it must fit whole.
    if (w.exists()) {
        QString refusal;
        w.inspect([&](const State &s) {
            if (const std::optional<Ref> r = w.volumeHolding(s, QFileInfo(o.path).absoluteFilePath())) {
                const Disk *d = s.disk(r->disk);
                const Node *n = s.node(r->node);
                const qint64 entries = o.sourceFolder.isEmpty() ? 0 : FolderTree::entries(o.sourceFolder);
                const qint64 need = std::max(capacity, content + 512 * (2 * entries + 8));
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
    const bool ok = writeImage(place, h, source, false, &err);
    if (!empty.isEmpty())
        rmdir(enc(empty).constData());
    if (!ok)
        return failed(QStringLiteral("create failed - ") + err);
    return Outcome{true, QStringLiteral("created: %1\n").arg(o.path), {}};
}

Outcome attach(const World &w, const QString &imagePath)
{
    const QString path = QFileInfo(imagePath).canonicalFilePath();
    ImageFolder place;
    bool gone = false;
    QString err;
    if (path.isEmpty() || !place.openExact(path, &gone, &err))
        return failed(QStringLiteral("attach failed - No such file or directory"));
    // The file is read through its folder as held, and checked to be the one found there.
    const int image = openat(place.fd, place.name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    struct stat before;
    if (image < 0 || fstat(image, &before) != 0 || !S_ISREG(before.st_mode)) {
        if (image >= 0)
            close(image);
        return failed(QStringLiteral("attach failed - image not recognized: not a file"));
    }
    struct Closer {
        int fd;
        ~Closer() { close(fd); }
    } closer{image};
    const std::optional<Header> h = readHeader(image, &err);
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
    TarArchive::HeldModes held;
    if (!TarArchive::extract(image, staging, {QStringLiteral(".TarnwickImage.plist")}, &err, &held)) {
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
            d.imageFolder = place.identity();
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

WriteBack writeBack(const World &w, const Disk &d, qint64 room, QString *error)
{
    if (!d.isImage())
        return WriteBack::Written;
    // The folder the image was attached from, by the same names and none
    // through a link; a folder that is not there any more took the image
    // with it (its disk was unplugged, or it was deleted).
    ImageFolder place;
    bool gone = false;
    QString why;
    if (!place.openExact(d.imagePath, &gone, &why)) {
        if (gone)
            return WriteBack::Gone;
        if (error)
            *error = why;
        return WriteBack::Failed;
    }
    if (!d.imageFolder.isEmpty() && place.identity() != d.imageFolder) {
        if (error)
            *error = QStringLiteral("the folder of the image is not the one it was attached from");
        return WriteBack::Failed;
    }
    struct stat st;
    if (fstatat(place.fd, place.name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? WriteBack::Gone : WriteBack::Failed;
    if (!S_ISREG(st.st_mode)) {
        if (error)
            *error = QStringLiteral("the image is no longer a file");
        return WriteBack::Failed;
    }
    for (const Node &n : d.nodes)
        if (n.volume) {
            const Header h{n.volume->name, n.volume->fs, n.size, n.volume->uuid};
            if (imageUpToDate(d, place, h, w.contentPath(*n.volume)))
                return WriteBack::Written;
            const qint64 limit = room < 0 ? -1 : qint64(st.st_size) + room;
            // What the image stored for the members nobody changed is kept,
            // read from the image itself while it still is the one attached.
            TarArchive::Earlier earlier;
            const int old = identityOf(st) == d.imageIdentity
                                ? openat(place.fd, place.name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC)
                                : -1;
            if (old >= 0)
                earlier = {old, d.imageSince};
            const bool ok =
                writeImage(place, h, w.contentPath(*n.volume), true, error, n.volume->heldModes, limit, earlier);
            if (old >= 0)
                close(old);
            return ok ? WriteBack::Written : WriteBack::Failed;
        }
    return WriteBack::Written;
}

} // namespace Platform::DiskWorld::DiskImage
