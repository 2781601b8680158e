#pragma once
// DiskArbitration's place: which disk a mounted volume sits on, answered from
// the disk world at the system root.
#include <QString>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <optional>

namespace Platform::DiskArbitration {

// Keys of a disk's description, named as the original framework names them.
inline constexpr const char *DescriptionMediaBSDNameKey = "DAMediaBSDName";
inline constexpr const char *DescriptionMediaNameKey = "DAMediaName";
inline constexpr const char *DescriptionMediaSizeKey = "DAMediaSize";
inline constexpr const char *DescriptionMediaEjectableKey = "DAMediaEjectable";
inline constexpr const char *DescriptionMediaRemovableKey = "DAMediaRemovable";
inline constexpr const char *DescriptionMediaWholeKey = "DAMediaWhole";
inline constexpr const char *DescriptionMediaContentKey = "DAMediaContent";
inline constexpr const char *DescriptionMediaUUIDKey = "DAMediaUUID";
inline constexpr const char *DescriptionDeviceProtocolKey = "DADeviceProtocol";
inline constexpr const char *DescriptionDeviceInternalKey = "DADeviceInternal";
inline constexpr const char *DescriptionVolumeNameKey = "DAVolumeName";
inline constexpr const char *DescriptionVolumeKindKey = "DAVolumeKind";
inline constexpr const char *DescriptionVolumePathKey = "DAVolumePath";
inline constexpr const char *DescriptionVolumeUUIDKey = "DAVolumeUUID";

// DADiskRef with DADiskCopyDescription.
class Disk {
public:
    explicit Disk(QVariantMap description) : m_description(std::move(description)) {}
    QVariantMap description() const { return m_description; }
    QString bsdName() const { return m_description.value(QLatin1String(DescriptionMediaBSDNameKey)).toString(); }

private:
    QVariantMap m_description;
};

// DADiskAppearedCallback, DADiskDisappearedCallback.
using DiskCallback = std::function<void(const Disk &disk)>;

class DiskWatcher;

// DASessionRef. A session is bound to the system root it was made under.
// A copy shares the callbacks registered before it was made.
class Session {
public:
    Session();
    explicit Session(const QString &root);
    ~Session();
    Session(const Session &) = default;
    Session &operator=(const Session &) = default;

    // DADiskCreateFromVolumePath: the disk of the volume mounted exactly at
    // `path` (links followed, so "/Volumes/<startup volume>" gives the startup
    // disk); nothing for a path that is no mounted volume.
    std::optional<Disk> diskForVolumePath(const QString &path) const;
    // DADiskCreateFromBSDName.
    std::optional<Disk> diskForBSDName(const QString &bsdName) const;

    QString root() const { return m_root; }

    // DARegisterDiskAppearedCallback and DARegisterDiskDisappearedCallback
    // with the session scheduled on the main run loop: call and deliver on
    // the main thread only. A callback gets the disks whose description holds
    // every key of `match` with an equal value (an empty match takes every
    // disk, partition and volume): an appeared callback first once for each
    // such disk there is now, then once for each that appears; a disappeared
    // callback once for each that goes, with the description it had. Every
    // change of the world is seen, whoever made it (a stand-in tool, `diskworld
    // attach` or `detach`). Returns an identifier for unregisterCallback.
    int registerDiskAppearedCallback(const QVariantMap &match, DiskCallback callback);
    int registerDiskDisappearedCallback(const QVariantMap &match, DiskCallback callback);
    // DAUnregisterCallback: nothing more is delivered to it, also of a change already seen.
    void unregisterCallback(int identifier);

private:
    DiskWatcher &watcher();

    QString m_root;
    std::shared_ptr<DiskWatcher> m_watcher;
};

} // namespace Platform::DiskArbitration
