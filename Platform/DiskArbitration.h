#pragma once
// DiskArbitration's place: which disk a mounted volume sits on, answered from
// the disk world at the system root.
#include <QString>
#include <QVariantMap>
#include <optional>

namespace Platform::DiskArbitration
{

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
class Disk
{
public:
    explicit Disk(QVariantMap description) : m_description(std::move(description)) {}
    QVariantMap description() const { return m_description; }
    QString bsdName() const { return m_description.value(QLatin1String(DescriptionMediaBSDNameKey)).toString(); }

private:
    QVariantMap m_description;
};

// DASessionRef. A session is bound to the system root it was made under.
class Session
{
public:
    Session();
    explicit Session(const QString &root);

    // DADiskCreateFromVolumePath: the disk of the volume mounted exactly at
    // `path` (links followed, so "/Volumes/<startup volume>" gives the startup
    // disk); nothing for a path that is no mounted volume.
    std::optional<Disk> diskForVolumePath(const QString &path) const;
    // DADiskCreateFromBSDName.
    std::optional<Disk> diskForBSDName(const QString &bsdName) const;

    QString root() const { return m_root; }

private:
    QString m_root;
};

} // namespace Platform::DiskArbitration
