#include "WorldBuilder.h"
#include "FileSystemKind.h"
#include "FolderTree.h"
#include "PropertyList.h"
#include "SystemInfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <sys/stat.h>
#include <unistd.h>

namespace Platform::DiskWorld {
namespace {

constexpr qint64 kGptOverhead = 20480;
constexpr qint64 kMbrOverhead = 1 << 20;
const QString kContainerContent = QStringLiteral("EF57347C-0000-11AA-AA11-00306543ECAC");
const QString kApfsVolumeContent = QStringLiteral("41504653-0000-11AA-AA11-00306543ECAC");

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

bool writeFiles(const QString &folder, const QMap<QString, QByteArray> &files, QString *error)
{
    for (auto it = files.constBegin(); it != files.constEnd(); ++it) {
        const QString rel = QDir::cleanPath(it.key());
        if (rel.isEmpty() || rel.startsWith(QLatin1Char('/')) || rel == QLatin1String("..") ||
            rel.startsWith(QLatin1String("../"))) {
            setError(error, QStringLiteral("%1 is not a path inside a volume").arg(it.key()));
            return false;
        }
        const QString path = folder + QLatin1Char('/') + rel;
        if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
            setError(error, QStringLiteral("cannot make the folder of %1").arg(path));
            return false;
        }
        if (it.key().endsWith(QLatin1Char('/'))) {
            QDir().mkpath(path);
            continue;
        }
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::NewOnly) || f.write(it.value()) != it.value().size()) {
            setError(error, QStringLiteral("cannot write %1").arg(path));
            return false;
        }
    }
    return true;
}

// The volumes of one partition: an APFS container's, or the partition's own.
std::vector<const VolumeSpec *> volumesOf(const VolumeSpec &p)
{
    std::vector<const VolumeSpec *> out;
    if (fileSystemNamed(p.fs) && fileSystemNamed(p.fs)->isAPFS() && !p.apfsVolumes.empty()) {
        for (const VolumeSpec &v : p.apfsVolumes)
            out.push_back(&v);
    } else {
        out.push_back(&p);
    }
    return out;
}

bool checkSpec(const DiskSpec &spec, std::vector<qint64> &sizes, qint64 &efi, QString *error)
{
    const bool gpt = spec.scheme == QLatin1String("GUID_partition_scheme");
    if (!gpt && spec.scheme != QLatin1String("FDisk_partition_scheme")) {
        setError(error, QStringLiteral("unknown partition scheme %1").arg(spec.scheme));
        return false;
    }
    if (spec.partitions.empty()) {
        setError(error, QStringLiteral("a disk needs at least one volume"));
        return false;
    }
    efi = gpt ? efiPartitionSize(spec.size) : 0;
    qint64 left = spec.size - efi - (gpt ? kGptOverhead : kMbrOverhead);
    int shares = 0;
    for (const VolumeSpec &p : spec.partitions) {
        const std::optional<FileSystemKind> kind = fileSystemNamed(p.fs);
        if (!kind) {
            setError(error, QStringLiteral("unknown file system %1").arg(p.fs));
            return false;
        }
        if (kind->isAPFS() && !p.apfsVolumes.empty()) {
            for (const VolumeSpec &v : p.apfsVolumes)
                if (!validVolumeName(v.name, *kind, error))
                    return false;
        } else if (!validVolumeName(p.name, *kind, error)) {
            return false;
        }
        if (p.size > 0)
            left -= p.size;
        else
            ++shares;
    }
    if (left < 0 || (shares > 0 && left < shares * 4096)) {
        setError(error, QStringLiteral("the volumes do not fit on a disk of %1 bytes").arg(spec.size));
        return false;
    }
    for (const VolumeSpec &p : spec.partitions)
        sizes.push_back(p.size > 0 ? p.size : (left / shares) & ~qint64(4095));
    return true;
}

QString stagingFolder(const World &w)
{
    return w.storeDir() + QStringLiteral("/.incoming-") + QString::number(QRandomGenerator::global()->generate64(), 36);
}

QMap<QString, QByteArray> demoSystemFiles(const QString &version, const QString &user)
{
    const QByteArray versionPlist =
        PropertyList::toXml(QVariantMap{{QStringLiteral("ProductName"), QStringLiteral("macOS")},
                                        {QStringLiteral("ProductVersion"), version},
                                        {QStringLiteral("ProductBuildVersion"), QStringLiteral("22F66")},
                                        {QStringLiteral("ProductCopyright"), QStringLiteral("1983-2023 Apple Inc.")}});
    auto appInfo = [](const QString &name, const QString &id) {
        return PropertyList::toXml(QVariantMap{{QStringLiteral("CFBundleName"), name},
                                               {QStringLiteral("CFBundleIdentifier"), id},
                                               {QStringLiteral("CFBundleExecutable"), name}});
    };
    const QString home = QStringLiteral("Users/") + user + QLatin1Char('/');
    return {
        {QStringLiteral("System/Library/CoreServices/SystemVersion.plist"), versionPlist},
        {QStringLiteral("System/Library/CoreServices/boot.efi"), QByteArray("EFI boot loader of the demo system\n")},
        {QStringLiteral("System/Library/Kernels/kernel"), QByteArray(4096, '\x7f')},
        {QStringLiteral("System/Library/Fonts/Helvetica.ttc"), QByteArray(2048, 'F')},
        {QStringLiteral("System/Volumes/Preboot/Cryptexes/OS/System/Library/dyld/dyld_shared_cache_x86_64"),
         QByteArray(8192, 'D')},
        {QStringLiteral("System/Volumes/Preboot/Cryptexes/App/System/Applications/Safari.app/Contents/Info.plist"),
         appInfo(QStringLiteral("Safari"), QStringLiteral("com.apple.Safari"))},
        {QStringLiteral("Applications/Safari.app/Contents/Info.plist"),
         appInfo(QStringLiteral("Safari"), QStringLiteral("com.apple.Safari"))},
        {QStringLiteral("Applications/TextEdit.app/Contents/Info.plist"),
         appInfo(QStringLiteral("TextEdit"), QStringLiteral("com.apple.TextEdit"))},
        {QStringLiteral("Applications/TextEdit.app/Contents/MacOS/TextEdit"), QByteArray(1024, 'T')},
        {QStringLiteral("Library/Preferences/.GlobalPreferences.plist"),
         PropertyList::toXml(QVariantMap{{QStringLiteral("AppleLanguages"), QVariantList{QStringLiteral("en-US")}}})},
        {QStringLiteral("private/etc/hosts"), QByteArray("127.0.0.1\tlocalhost\n::1\tlocalhost\n")},
        {QStringLiteral("Users/Shared/.localized"), QByteArray()},
        {home + QStringLiteral("Desktop/.localized"), QByteArray()},
        {home + QStringLiteral("Documents/Welcome.txt"), QByteArray("Welcome to the demo Mac.\n")},
        {home + QStringLiteral("Library/Safari/Bookmarks.plist"),
         PropertyList::toXml(QVariantMap{{QStringLiteral("Title"), QStringLiteral("Bookmarks")}})},
        {home + QStringLiteral("Library/Application Support/.keep"), QByteArray()},
    };
}

} // namespace

qint64 efiPartitionSize(qint64 diskSize) { return std::min<qint64>(209715200, (diskSize / 32) & ~qint64(4095)); }

std::optional<QStringList> attachDisk(const World &w, const DiskSpec &spec, QString *error)
{
    std::vector<qint64> sizes;
    qint64 efi = 0;
    if (!checkSpec(spec, sizes, efi, error))
        return std::nullopt;

    // Content is made before the lock is taken; the change only moves it in.
    std::map<const VolumeSpec *, QString> staging;
    auto cleanUp = [&] {
        for (const auto &[v, folder] : staging)
            FolderTree::remove(folder);
    };
    for (const VolumeSpec &p : spec.partitions)
        for (const VolumeSpec *v : volumesOf(p)) {
            const QString folder = stagingFolder(w);
            staging[v] = folder;
            if (!QDir().mkpath(folder) || !writeFiles(folder, v->files, error) ||
                (!v->sourceFolder.isEmpty() && !FolderTree::copyContents(v->sourceFolder, folder, {}, {}, error))) {
                cleanUp();
                return std::nullopt;
            }
        }

    QStringList ids;
    const bool ok = w.change(
        [&](Change &c) {
            std::map<QString, const VolumeSpec *> specOf; // volume uuid → its description
            Disk d;
            d.id = c.state.freeDiskId();
            d.bus = spec.bus;
            d.registryName = spec.registryName;
            d.mediaName = spec.mediaName.isEmpty() ? spec.registryName : spec.mediaName;
            d.content = spec.scheme;
            d.diskUUID = newUUID();
            d.size = spec.size;
            d.internal = spec.internal;
            d.ejectable = spec.ejectable;
            d.isVirtual = spec.isVirtual;
            d.solidState = spec.solidState;
            d.imagePath = spec.imagePath;
            int index = 1;
            if (efi > 0)
                d.nodes.push_back(Node{
                    d.id + QLatin1Char('s') + QString::number(index++), QStringLiteral("EFI"), newUUID(), efi, {}, {}});
            std::vector<std::pair<size_t, const VolumeSpec *>> apfs; // store node index → partition spec
            for (size_t i = 0; i < spec.partitions.size(); ++i) {
                const VolumeSpec &p = spec.partitions[i];
                const FileSystemKind kind = *fileSystemNamed(p.fs);
                Node n{d.id + QLatin1Char('s') + QString::number(index++),
                       kind.partitionType,
                       newUUID(),
                       sizes[i],
                       {},
                       {}};
                if (kind.isAPFS()) {
                    apfs.emplace_back(d.nodes.size(), &p);
                } else {
                    n.volume = Volume{p.name, kind.name, newUUID(), {}, false, p.writable.value_or(kind.writable),
                                      false,  p.role,    {}};
                    specOf[n.volume->uuid] = &p;
                }
                d.nodes.push_back(n);
            }
            c.state.disks.push_back(d);
            ids << d.id;
            // Containers take the next free numbers after their disk.
            for (const auto &[storeIndex, p] : apfs) {
                Disk container;
                container.id = c.state.freeDiskId();
                Node &store = c.state.disk(ids.first())->nodes[storeIndex];
                store.container = container.id;
                container.bus = spec.bus;
                container.registryName = QStringLiteral("AppleAPFSMedia");
                container.content = kContainerContent;
                container.diskUUID = newUUID();
                container.size = store.size;
                container.internal = spec.internal;
                container.ejectable = spec.ejectable;
                container.solidState = spec.solidState;
                container.physicalStore = store.id;
                int k = 1;
                for (const VolumeSpec *vs : volumesOf(*p)) {
                    Node n{container.id + QLatin1Char('s') + QString::number(k++),
                           kApfsVolumeContent,
                           newUUID(),
                           0,
                           {},
                           {}};
                    n.volume = Volume{vs->name, QStringLiteral("APFS"),      newUUID(), {},
                                      false,    vs->writable.value_or(true), false,     vs->role,
                                      {}};
                    specOf[n.volume->uuid] = vs;
                    container.nodes.push_back(n);
                }
                c.state.disks.push_back(container);
                ids << container.id;
            }
            // Now the folders: mounted volumes appear under Volumes.
            for (const QString &id : ids)
                for (Node &n : c.state.disk(id)->nodes) {
                    if (!n.volume)
                        continue;
                    const VolumeSpec *vs = specOf.at(n.volume->uuid);
                    if (vs->mounted) {
                        n.volume->mountName = c.freeMountName(n.volume->name);
                        n.volume->mounted = true;
                    }
                    // A folder moved in is gone from its staging place; one the
                    // change put back on failure is cleaned up with the others.
                    if (!c.adoptContent(*n.volume, staging[vs]))
                        return false;
                }
            return true;
        },
        error);
    cleanUp();
    if (!ok)
        return std::nullopt;
    return ids;
}

bool createWorld(const QString &root, const WorldOptions &options, QString *error)
{
    if (!QDir().mkpath(root)) {
        setError(error, QStringLiteral("cannot make %1").arg(root));
        return false;
    }
    const World w(root);
    if (w.exists()) {
        setError(error, QStringLiteral("a disk world already exists at ") + w.root());
        return false;
    }
    QString user = options.consoleUser;
    if (user.isEmpty())
        user = SystemInfo::consoleUserName();
    if (user.isEmpty())
        user = SystemInfo::userName();
    if (user.isEmpty())
        user = QStringLiteral("user");

    State s;
    s.consoleUser = user;
    Disk boot;
    boot.id = QStringLiteral("disk0");
    boot.bus = QStringLiteral("PCI-Express");
    boot.registryName = QStringLiteral("APPLE SSD AP0512Q Media");
    boot.mediaName = QStringLiteral("APPLE SSD AP0512Q");
    boot.content = QStringLiteral("GUID_partition_scheme");
    boot.diskUUID = newUUID();
    boot.size = options.bootDiskSize;
    boot.internal = true;
    boot.solidState = true;
    const qint64 efi = efiPartitionSize(boot.size);
    const qint64 ntfs = options.demo ? boot.size / 5 : 0;
    const qint64 apfsSize = (boot.size - efi - kGptOverhead - ntfs) & ~qint64(4095);
    boot.nodes.push_back(Node{QStringLiteral("disk0s1"), QStringLiteral("EFI"), newUUID(), efi, {}, {}});
    boot.nodes.push_back(Node{
        QStringLiteral("disk0s2"), QStringLiteral("Apple_APFS"), newUUID(), apfsSize, QStringLiteral("disk1"), {}});
    if (options.demo) {
        Node n{QStringLiteral("disk0s3"), QStringLiteral("Microsoft Basic Data"), newUUID(), ntfs, {}, {}};
        n.volume = Volume{QStringLiteral("BOOTCAMP"),
                          QStringLiteral("NTFS"),
                          newUUID(),
                          QStringLiteral("BOOTCAMP"),
                          true,
                          false,
                          false,
                          {},
                          {}};
        boot.nodes.push_back(n);
    }
    Disk container;
    container.id = QStringLiteral("disk1");
    container.bus = boot.bus;
    container.registryName = QStringLiteral("AppleAPFSMedia");
    container.content = kContainerContent;
    container.diskUUID = newUUID();
    container.size = apfsSize;
    container.internal = true;
    container.solidState = true;
    container.physicalStore = QStringLiteral("disk0s2");
    auto apfsVolume = [&](const QString &id, const QString &name, const QString &role, bool bootVolume) {
        Node n{id, kApfsVolumeContent, newUUID(), 0, {}, {}};
        n.volume = Volume{
            name, QStringLiteral("APFS"), newUUID(), bootVolume ? name : QString(), bootVolume, true, bootVolume, role,
            {}};
        return n;
    };
    container.nodes.push_back(
        apfsVolume(QStringLiteral("disk1s1"), QStringLiteral("Macintosh HD"), QStringLiteral("System"), true));
    container.nodes.push_back(
        apfsVolume(QStringLiteral("disk1s2"), QStringLiteral("Preboot"), QStringLiteral("Preboot"), false));
    container.nodes.push_back(
        apfsVolume(QStringLiteral("disk1s3"), QStringLiteral("Data"), QStringLiteral("Data"), false));
    s.disks.push_back(boot);
    s.disks.push_back(container);

    // The boot volume's content is the root itself; the others start in the store.
    QMap<QString, QByteArray> system;
    if (options.demo)
        system = demoSystemFiles(options.version, user);
    else
        system = {{QStringLiteral("System/Library/CoreServices/SystemVersion.plist"),
                   demoSystemFiles(options.version, user)
                       .value(QStringLiteral("System/Library/CoreServices/SystemVersion.plist"))}};
    for (auto it = system.begin(); it != system.end();)
        it = QFileInfo::exists(w.root() + QLatin1Char('/') + it.key()) ? system.erase(it) : std::next(it);
    if (!writeFiles(w.root(), system, error))
        return false;
    if (options.demo && !QFileInfo::exists(w.root() + QStringLiteral("/etc")))
        QFile::link(QStringLiteral("private/etc"), w.root() + QStringLiteral("/etc"));

    if (!w.makeVolumeFolders()) {
        setError(error, QStringLiteral("cannot make the world's folders under ") + w.root());
        return false;
    }
    const QString bootLink = w.volumesDir() + QStringLiteral("/Macintosh HD");
    if (!QFileInfo(bootLink).isSymLink() && !QFile::link(QStringLiteral(".."), bootLink)) {
        setError(error, QStringLiteral("cannot make %1").arg(bootLink));
        return false;
    }
    for (const Node &n : s.disks[1].nodes)
        if (!n.volume->boot)
            QDir().mkpath(w.storeDir() + QLatin1Char('/') + n.volume->uuid);
    const Volume &preboot = *s.disks[1].nodes[1].volume;
    writeFiles(w.storeDir() + QLatin1Char('/') + preboot.uuid,
               {{QStringLiteral("System/Library/CoreServices/boot.efi"), QByteArray("preboot loader\n")}}, nullptr);
    if (options.demo) {
        const Volume &bootcamp = *s.disks[0].nodes[2].volume;
        const QString folder = w.volumesDir() + QLatin1Char('/') + bootcamp.mountName;
        QDir().mkpath(folder);
        writeFiles(folder,
                   {{QStringLiteral("Windows/win.ini"), QByteArray("; for 16-bit app support\r\n[fonts]\r\n")},
                    {QStringLiteral("Users/Public/Documents/readme.txt"),
                     QByteArray("A Windows partition, read-only here.\r\n")}},
                   nullptr);
        chmod(QFile::encodeName(folder).constData(), 0555);
    }
    if (!w.create(s, error))
        return false;
    if (options.demo) {
        for (const DiskSpec &spec : {demoTravelDrive(), demoBackupStick()})
            if (!attachDisk(w, spec, error))
                return false;
    }
    return true;
}

DiskSpec demoTravelDrive()
{
    DiskSpec d;
    d.registryName = QStringLiteral("SanDisk Cruzer Blade Media");
    d.mediaName = QStringLiteral("SanDisk Cruzer Blade");
    d.size = 64'000'000;
    VolumeSpec v;
    v.name = QStringLiteral("Travel Drive");
    v.fs = QStringLiteral("ExFAT");
    v.files = {
        {QStringLiteral("ReadMe.txt"), QByteArray("Files to take along.\n")},
        {QStringLiteral("Documents/Trip plan.txt"), QByteArray("Day 1: harbour\nDay 2: hills\nDay 3: home\n")},
        {QStringLiteral("Documents/Budget.csv"), QByteArray("item,cost\ntrain,42\nhotel,180\n")},
        {QStringLiteral("Photos/beach.jpg"), QByteArray("\xff\xd8\xff\xe0", 4) + QByteArray(6000, '\x55')},
        {QStringLiteral("Photos/hills.jpg"), QByteArray("\xff\xd8\xff\xe0", 4) + QByteArray(4000, '\x33')},
        {QStringLiteral("Music/playlist.m3u"), QByteArray("#EXTM3U\nsong one.mp3\nsong two.mp3\n")},
    };
    d.partitions.push_back(v);
    return d;
}

DiskSpec demoBackupStick()
{
    DiskSpec d;
    d.registryName = QStringLiteral("Kingston DataTraveler 3.0 Media");
    d.mediaName = QStringLiteral("Kingston DataTraveler 3.0");
    // Room for a disk image of the image page's smallest size (its margin of 50 MB).
    d.size = 96'000'000;
    d.scheme = QStringLiteral("FDisk_partition_scheme");
    VolumeSpec v;
    v.name = QStringLiteral("BACKUP");
    v.fs = QStringLiteral("MS-DOS FAT32");
    v.files = {{QStringLiteral("old/notes.txt"), QByteArray("notes from last year\n")}};
    d.partitions.push_back(v);
    return d;
}

} // namespace Platform::DiskWorld
