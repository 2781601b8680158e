#pragma once
#include "DiskArbitration.h"

#include <QHash>
#include <QMutex>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

class QoBootable;

// Chooses the name the erased clone disk's new volume gets: "NewCloneSystem",
// or the first of "NewCloneSystem1", "NewCloneSystem2", … that no folder in
// /Volumes holds yet, so the engine can tell its own new volume by its mount
// point. One instance per process; the clone engine is its delegate.
//
// It also keeps a list of the USB disks big enough to hold a system, which
// the disk callbacks keep current, and makes room on such a disk for a new
// Journaled HFS+ volume of the chosen name. The clone flow uses neither: it
// erases the whole disk.
class QoUSBControl {
public:
    // Keys of one entry of the USB disk list.
    static const QString kBsdNameKey;   // "QoUSBBsdName": the whole disk's BSD name ("disk4")
    static const QString kTotalSizeKey; // "QoUSBTotalSize": its size in bytes (qint64)
    static const QString kMediaNameKey; // "QoUSBMediaName": the device's media name
    // Smallest disk the list takes, in bytes.
    static constexpr qint64 kMinimumDiskSize = 2'500'000'000;

    static QoUSBControl *QoShareInstance();

    // The clone engine, not owned.
    void QoSetDelegateObj(QoBootable *delegate);
    QoBootable *QoDelegateObj() const;

    // Chooses the name for the next clone and keeps it until the next choice.
    void HlbCreateVolumeName();
    // The name chosen last; empty before the first choice.
    QString QoGetMorvexVolumeName() const;
    // "/Volumes/<name>": where the erased volume is expected to be mounted.
    QString QoGetMorvexVolumePath() const;

    // Builds the USB disk list afresh from `diskutil list -plist` and
    // `diskutil info -plist /dev/<disk>` of each whole disk: physical USB
    // disks of at least kMinimumDiskSize bytes, in the listing's order; the
    // errors start afresh with it. Blocks
    // while the tools run: call it off the main thread.
    void QoLoadUSBDiskList();
    // The list (_usbAllObjs): one dictionary per disk, keys above.
    QVariantList QoGetUSBAllObjs() const;
    // What went wrong per whole disk (_dictErrObjs): BSD name → text. A disk
    // whose description could not be read, a partition that could not be made.
    QVariantMap QoGetErrObjs() const;

    // Keeps the list current from the disk appeared and disappeared callbacks
    // (main thread): a whole disk that appears is looked at (its description
    // read on the global queue) and added when it qualifies; one that goes is
    // removed at once. The appeared callback also announces the disks there
    // are already. Stopping unregisters both callbacks.
    void QoStartDiskCallbacks();
    void QoStopDiskCallbacks();
    bool QoDiskCallbacksRunning() const;
    // The callbacks' work, for a whole disk of that BSD name.
    void QoDiskAppeared(const QString &bsdName);
    void QoDiskDisappeared(const QString &bsdName);

    // Makes room on the listed USB disk `bsdName` for a Journaled HFS+ volume
    // of `volumeSize` bytes named by the chosen name (HlbCreateVolumeName is
    // called first when none is chosen yet): the disk's largest partition
    // (EFI left aside) is shrunk by that much through
    //   diskutil resizeVolume <partition> <new size> JHFS+ <name> <volumeSize>
    // each size in bytes ("…B"). Gives the new partition's mount point (a
    // system path), as diskutil names that partition of this disk there:
    // under another name than "/Volumes/<name>" when another volume holds
    // that folder. Empty, with the reason in _dictErrObjs, when the disk is
    // not listed, no partition can give the room, the tool refuses, or the
    // new partition is not found mounted on the disk; nothing is run then but
    // the tool itself. Blocks while the tools run: call it off the main thread.
    QString QoCreatePartition(const QString &bsdName, qint64 volumeSize);

    // The size argument of the tool's command line.
    static QString sizeArgument(qint64 bytes);
    // Whether a `diskutil info -plist` dictionary is a disk for the list;
    // then its entry.
    static std::optional<QVariantMap> usbEntryFromInfo(const QVariantMap &info);

    QoUSBControl(const QoUSBControl &) = delete;
    QoUSBControl &operator=(const QoUSBControl &) = delete;

private:
    QoUSBControl();
    void setError(const QString &bsdName, const QString &text);
    bool isListed(const QString &bsdName) const;

    mutable QMutex m_mutex;
    QVariantList _usbAllObjs;
    QString _strMorvexVolumeName;
    QVariantMap _dictErrObjs;
    QoBootable *_delegateObj = nullptr;

    // Main thread only: the callbacks' session and registrations, and a count
    // of events per disk so a late description never undoes a later event.
    std::optional<Platform::DiskArbitration::Session> m_session;
    int m_appearedId = 0;
    int m_disappearedId = 0;
    QHash<QString, quint64> m_events;
};
