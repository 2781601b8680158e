#include "QoUSBControl.h"

#include "QoCloneVolume.h"

#include "ShellRunners.h"
#include "ToolCommand.h"

#include "Dispatch.h"

#include <QMutexLocker>

namespace {
const QString kBaseName = QStringLiteral("NewCloneSystem");
const QString kVolumes = QStringLiteral("/Volumes");
// The command lines of the disk listing fit the callers' 64-byte buffer.
constexpr int kLineBuffer = 64;

std::optional<QVariantMap> diskInfo(const QString &bsdName)
{
    return QoExecCommand(ToolCommand(QStringLiteral("diskutil"), {QStringLiteral("info"), QStringLiteral("-plist"),
                                                                  QStringLiteral("/dev/") + bsdName})
                             .withBuffer(kLineBuffer))
        .dictionary();
}

QString lastComponent(const QString &disk) { return disk.mid(disk.lastIndexOf(QLatin1Char('/')) + 1); }

} // namespace

const QString QoUSBControl::kBsdNameKey = QStringLiteral("QoUSBBsdName");
const QString QoUSBControl::kTotalSizeKey = QStringLiteral("QoUSBTotalSize");
const QString QoUSBControl::kMediaNameKey = QStringLiteral("QoUSBMediaName");

QoUSBControl::QoUSBControl()
{
    _usbAllObjs.reserve(4);
    _strMorvexVolumeName.reserve(8);
}

QoUSBControl *QoUSBControl::QoShareInstance()
{
    static QoUSBControl *instance = new QoUSBControl;
    return instance;
}

void QoUSBControl::QoSetDelegateObj(QoBootable *delegate)
{
    QMutexLocker lock(&m_mutex);
    _delegateObj = delegate;
}

QoBootable *QoUSBControl::QoDelegateObj() const
{
    QMutexLocker lock(&m_mutex);
    return _delegateObj;
}

void QoUSBControl::HlbCreateVolumeName()
{
    // Only a folder takes a name: a plain file of that name is no mount point.
    QString name = kBaseName;
    for (int n = 1; QoCheckFolderExist(kVolumes + QLatin1Char('/') + name); ++n)
        name = kBaseName + QString::number(n);
    QMutexLocker lock(&m_mutex);
    _strMorvexVolumeName = name;
}

QString QoUSBControl::QoGetMorvexVolumeName() const
{
    QMutexLocker lock(&m_mutex);
    return _strMorvexVolumeName;
}

QString QoUSBControl::QoGetMorvexVolumePath() const { return kVolumes + QLatin1Char('/') + QoGetMorvexVolumeName(); }

std::optional<QVariantMap> QoUSBControl::usbEntryFromInfo(const QVariantMap &info)
{
    // A whole physical USB disk: an APFS container or a disk image on a USB
    // disk reports the bus too, but is no disk to partition.
    if (!info.value(QStringLiteral("WholeDisk")).toBool())
        return std::nullopt;
    if (info.value(QStringLiteral("BusProtocol")).toString() != QLatin1String("USB"))
        return std::nullopt;
    if (info.value(QStringLiteral("VirtualOrPhysical")).toString() == QLatin1String("Virtual"))
        return std::nullopt;
    const qint64 size = info.value(QStringLiteral("TotalSize")).toLongLong();
    if (size < kMinimumDiskSize)
        return std::nullopt;
    return QVariantMap{{kBsdNameKey, info.value(QStringLiteral("DeviceIdentifier")).toString()},
                       {kTotalSizeKey, size},
                       {kMediaNameKey, info.value(QStringLiteral("MediaName")).toString()}};
}

void QoUSBControl::QoLoadUSBDiskList()
{
    QVariantList found;
    QVariantMap errors;
    const std::optional<QVariantMap> list =
        QoExecCommand(ToolCommand(QStringLiteral("diskutil"), {QStringLiteral("list"), QStringLiteral("-plist")})
                          .withBuffer(kLineBuffer))
            .dictionary();
    if (list) {
        for (const QVariant &entry : list->value(QStringLiteral("WholeDisks")).toList()) {
            const QString disk = lastComponent(entry.toString());
            const std::optional<QVariantMap> info = diskInfo(disk);
            if (!info) {
                errors.insert(disk, QStringLiteral("no description"));
                continue;
            }
            if (const std::optional<QVariantMap> usb = usbEntryFromInfo(*info))
                found.append(*usb);
        }
    }
    QMutexLocker lock(&m_mutex);
    _usbAllObjs = found;
    _dictErrObjs = errors;
}

QVariantList QoUSBControl::QoGetUSBAllObjs() const
{
    QMutexLocker lock(&m_mutex);
    return _usbAllObjs;
}

QVariantMap QoUSBControl::QoGetErrObjs() const
{
    QMutexLocker lock(&m_mutex);
    return _dictErrObjs;
}

void QoUSBControl::setError(const QString &bsdName, const QString &text)
{
    QMutexLocker lock(&m_mutex);
    _dictErrObjs.insert(bsdName, text);
}

bool QoUSBControl::isListed(const QString &bsdName) const
{
    QMutexLocker lock(&m_mutex);
    for (const QVariant &entry : _usbAllObjs)
        if (entry.toMap().value(kBsdNameKey).toString() == bsdName)
            return true;
    return false;
}

void QoUSBControl::QoStartDiskCallbacks()
{
    if (m_session)
        return;
    m_session.emplace();
    const QVariantMap whole{{QLatin1String(Platform::DiskArbitration::DescriptionMediaWholeKey), true}};
    m_appearedId = m_session->registerDiskAppearedCallback(
        whole, [this](const Platform::DiskArbitration::Disk &disk) { QoDiskAppeared(disk.bsdName()); });
    m_disappearedId = m_session->registerDiskDisappearedCallback(
        whole, [this](const Platform::DiskArbitration::Disk &disk) { QoDiskDisappeared(disk.bsdName()); });
}

void QoUSBControl::QoStopDiskCallbacks()
{
    if (!m_session)
        return;
    m_session->unregisterCallback(m_appearedId);
    m_session->unregisterCallback(m_disappearedId);
    m_session.reset();
}

bool QoUSBControl::QoDiskCallbacksRunning() const { return m_session.has_value(); }

void QoUSBControl::QoDiskAppeared(const QString &bsdName)
{
    if (bsdName.isEmpty())
        return;
    const quint64 event = ++m_events[bsdName];
    Platform::Dispatch::globalAsync([this, bsdName, event] {
        const std::optional<QVariantMap> info = diskInfo(bsdName);
        Platform::Dispatch::mainAsync([this, bsdName, event, info] {
            // A later event of the same disk decides, not this description.
            if (m_events.value(bsdName) != event)
                return;
            if (!info) {
                setError(bsdName, QStringLiteral("no description"));
                return;
            }
            const std::optional<QVariantMap> usb = usbEntryFromInfo(*info);
            if (!usb)
                return;
            QMutexLocker lock(&m_mutex);
            for (const QVariant &entry : std::as_const(_usbAllObjs))
                if (entry.toMap().value(kBsdNameKey).toString() == bsdName)
                    return;
            _usbAllObjs.append(*usb);
        });
    });
}

void QoUSBControl::QoDiskDisappeared(const QString &bsdName)
{
    ++m_events[bsdName];
    QMutexLocker lock(&m_mutex);
    _usbAllObjs.removeIf([&](const QVariant &entry) { return entry.toMap().value(kBsdNameKey).toString() == bsdName; });
    _dictErrObjs.remove(bsdName);
}

QString QoUSBControl::sizeArgument(qint64 bytes) { return QString::number(bytes) + QLatin1Char('B'); }

namespace {

QVariantMap diskList(const QString &bsdName)
{
    return QoExecCommand(
               ToolCommand(QStringLiteral("diskutil"), {QStringLiteral("list"), QStringLiteral("-plist"), bsdName})
                   .withBuffer(kLineBuffer))
        .dictionary()
        .value_or(QVariantMap());
}

// The partitions of `bsdName` in its listing.
QVariantList partitionsOf(const QVariantMap &list, const QString &bsdName)
{
    for (const QVariant &d : list.value(QStringLiteral("AllDisksAndPartitions")).toList()) {
        const QVariantMap disk = d.toMap();
        if (disk.value(QStringLiteral("DeviceIdentifier")).toString() == bsdName)
            return disk.value(QStringLiteral("Partitions")).toList();
    }
    return {};
}

} // namespace

QString QoUSBControl::QoCreatePartition(const QString &bsdName, qint64 volumeSize)
{
    // Only a disk of the list: never the startup disk or any other.
    if (!isListed(bsdName)) {
        setError(bsdName, QStringLiteral("not a listed USB disk"));
        return {};
    }
    if (volumeSize <= 0) {
        setError(bsdName, QStringLiteral("no size for the new volume"));
        return {};
    }
    const QVariantList before = partitionsOf(diskList(bsdName), bsdName);
    QString partition;
    qint64 partitionSize = 0;
    QStringList existing;
    for (const QVariant &p : before) {
        const QVariantMap part = p.toMap();
        const qint64 size = part.value(QStringLiteral("Size")).toLongLong();
        existing.append(part.value(QStringLiteral("DeviceIdentifier")).toString());
        if (part.value(QStringLiteral("Content")).toString() != QLatin1String("EFI") && size > partitionSize) {
            partition = part.value(QStringLiteral("DeviceIdentifier")).toString();
            partitionSize = size;
        }
    }
    if (partition.isEmpty()) {
        setError(bsdName, QStringLiteral("no partition to shrink"));
        return {};
    }
    if (partitionSize <= volumeSize) {
        setError(bsdName, QStringLiteral("partition %1 too small").arg(partition));
        return {};
    }
    if (QoGetMorvexVolumeName().isEmpty())
        HlbCreateVolumeName();
    const QString name = QoGetMorvexVolumeName();
    const RunnerResult result =
        QoExecCommand(ToolCommand(QStringLiteral("diskutil"),
                                  {QStringLiteral("resizeVolume"), partition, sizeArgument(partitionSize - volumeSize)})
                          .arg(QStringLiteral("JHFS+"))
                          .quotedArg(name)
                          .arg(sizeArgument(volumeSize)));
    if (!result.ran || result.exitStatus != 0) {
        setError(bsdName, QStringLiteral("resizeVolume %1 failed (status %2)").arg(partition).arg(result.exitStatus));
        return {};
    }

    // The new partition is the one of that name the disk did not have
    // before; where it is mounted is asked of the disk, and the mount point
    // counts only when diskutil names that partition of this disk there. A
    // folder of the name may well be another disk's volume.
    QString mountPoint;
    for (const QVariant &p : partitionsOf(diskList(bsdName), bsdName)) {
        const QVariantMap part = p.toMap();
        const QString id = part.value(QStringLiteral("DeviceIdentifier")).toString();
        if (existing.contains(id) || part.value(QStringLiteral("VolumeName")).toString() != name)
            continue;
        const QString candidate =
            QoCloneVolume::systemMountPoint(part.value(QStringLiteral("MountPoint")).toString());
        if (candidate.isEmpty())
            break;
        const std::optional<QVariantMap> info =
            QoExecCommand(
                ToolCommand(QStringLiteral("diskutil"), {QStringLiteral("info"), QStringLiteral("-plist"), candidate}))
                .dictionary();
        if (info && info->value(QStringLiteral("DeviceIdentifier")).toString() == id &&
            QoCloneVolume::describes(*info, candidate, {bsdName}, name))
            mountPoint = candidate;
        break;
    }
    if (mountPoint.isEmpty()) {
        setError(bsdName, QStringLiteral("the new volume %1 on %2 is not mounted").arg(name, bsdName));
        return {};
    }
    QMutexLocker lock(&m_mutex);
    _dictErrObjs.remove(bsdName);
    return mountPoint;
}
