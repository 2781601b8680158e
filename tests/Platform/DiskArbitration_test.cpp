// DiskArbitration's answers come from the same world as diskutil's.
#include <gtest/gtest.h>

#include "DiskArbitration.h"
#include "DiskWorldFixture.h"
#include "Operations.h"
#include "TestSupport.h"

#include <QDir>

// Failure messages show texts as texts.
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

using namespace Platform::DiskArbitration;
using TestSupport::DiskWorldFixture;

TEST(DiskArbitration, EveryEntryOfVolumesLeadsToTheDiskDiskutilNames)
{
    DiskWorldFixture f;
    const Session session;
    const QStringList names = QDir(f.at(QStringLiteral("/Volumes"))).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    ASSERT_EQ(names.size(), 4);
    for (const QString &name : names) {
        for (const QString &path : {f.at(QStringLiteral("/Volumes/") + name), QStringLiteral("/Volumes/") + name}) {
            const std::optional<Disk> disk = session.diskForVolumePath(path);
            ASSERT_TRUE(disk.has_value()) << path.toStdString();
            const QVariantMap info = f.info(disk->bsdName());
            EXPECT_EQ(disk->description().value(QLatin1String(DescriptionMediaBSDNameKey)).toString(),
                      info.value("DeviceIdentifier").toString());
            // "/Volumes/Macintosh HD" is the startup volume's link: the startup volume it is.
            EXPECT_EQ(info.value("VolumeName").toString(), name) << path.toStdString();
            EXPECT_EQ(disk->description().value(QLatin1String(DescriptionVolumePathKey)).toString(),
                      info.value("MountPoint").toString());
        }
    }
}

TEST(DiskArbitration, APathThatIsNoVolumeGivesNoDisk)
{
    DiskWorldFixture f;
    ASSERT_TRUE(QDir().mkpath(f.at(QStringLiteral("/Volumes/Just A Folder"))));
    const Session session;
    for (const QString &path :
         {f.at(QStringLiteral("/Volumes/Just A Folder")), f.at(QStringLiteral("/Volumes/Travel Drive/Documents")),
          f.at(QStringLiteral("/Volumes/Gone")), f.at(QStringLiteral("/Volumes/.DS_Store")), QString()})
        EXPECT_FALSE(session.diskForVolumePath(path).has_value()) << path.toStdString();

    const QString node = f.bsdName(QStringLiteral("Travel Drive"));
    ASSERT_TRUE(Platform::DiskWorld::Operations::unmountVolume(f.world(), node).ok);
    EXPECT_FALSE(session.diskForVolumePath(f.at(QStringLiteral("/Volumes/Travel Drive"))).has_value());
    // The disk itself is still there, by its BSD name.
    const std::optional<Disk> byName = session.diskForBSDName(node);
    ASSERT_TRUE(byName.has_value());
    EXPECT_EQ(byName->bsdName(), node);
    EXPECT_FALSE(byName->description().contains(QLatin1String(DescriptionVolumePathKey)));
    EXPECT_FALSE(session.diskForBSDName(QStringLiteral("disk42")).has_value());
}
