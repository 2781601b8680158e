// An image is mounted as removable media is: what it holds gains no privilege
// in the world, and the image file keeps what it holds.
#include <gtest/gtest.h>

#include "DiskWorldFixture.h"
#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <functional>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using TestSupport::DiskWorldFixture;
using TestSupport::ToolRun;

namespace {

mode_t modeOf(const QString &path)
{
    struct stat st;
    return lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode : 0;
}

// `tar -tvf` of the image: the line of one member.
QByteArray memberLine(const QString &image, const QByteArray &member)
{
    QProcess p;
    p.start(QStringLiteral("tar"), {QStringLiteral("-tvf"), image});
    p.waitForFinished(60000);
    for (const QByteArray &line : p.readAllStandardOutput().split('\n'))
        if (line.endsWith(" " + member))
            return line;
    return {};
}

} // namespace

TEST(ImageMount, SetIdBitsAndDevicesFromAnImageTakeNoEffectAndTheImageKeepsItsModes)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "making set-uid root files and device nodes needs root";
    DiskWorldFixture f;
    ASSERT_TRUE(f.ok());
    const QString source = f.at(QStringLiteral("/Users/Shared/src"));
    ASSERT_TRUE(TestSupport::writeFile(source + QStringLiteral("/bin/shell"), "#!/bin/sh\n"));
    ASSERT_TRUE(TestSupport::writeFile(source + QStringLiteral("/bin/group"), "#!/bin/sh\n"));
    ASSERT_EQ(chmod(QFile::encodeName(source + "/bin/shell").constData(), 04755), 0);
    ASSERT_EQ(chmod(QFile::encodeName(source + "/bin/group").constData(), 02711), 0);
    const QString image = f.at(QStringLiteral("/Users/Shared/held.dmg"));
    ASSERT_EQ(f.run(QStringLiteral("hdiutil"), {QStringLiteral("create"), image, QStringLiteral("-volname"),
                                                QStringLiteral("Held"), QStringLiteral("-srcfolder"), source})
                  .status,
              0);
    // A device node in the image, as a hostile image would hold it.
    const QString devDir = f.at(QStringLiteral("/Users/Shared/dev"));
    QDir().mkpath(devDir);
    ASSERT_EQ(mknod(QFile::encodeName(devDir + "/mem").constData(), S_IFCHR | 0666, makedev(1, 1)), 0);
    QProcess tar;
    tar.start(QStringLiteral("tar"),
              {QStringLiteral("-rf"), image, QStringLiteral("-C"), devDir, QStringLiteral("mem")});
    ASSERT_TRUE(tar.waitForFinished(60000));
    ASSERT_EQ(tar.exitCode(), 0) << tar.readAllStandardError().toStdString();
    ASSERT_TRUE(memberLine(image, "mem").startsWith('c'));

    const ToolRun mount = f.run(QStringLiteral("hdiutil"), {QStringLiteral("mount"), image});
    ASSERT_EQ(mount.status, 0) << mount.err.toStdString();
    const QString mp = f.mountPoint(QStringLiteral("Held"));
    ASSERT_FALSE(mp.isEmpty());
    EXPECT_EQ(modeOf(mp + "/bin/shell") & 07777, mode_t(0755));
    EXPECT_EQ(modeOf(mp + "/bin/group") & 07777, mode_t(0711));
    // The device node takes no effect: an empty plain file holds its place.
    struct stat st;
    ASSERT_EQ(lstat(QFile::encodeName(mp + "/mem").constData(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_size, 0);

    // Ejected, the image holds the modes it held, so a backup round-trips.
    ASSERT_EQ(f.run(QStringLiteral("hdiutil"), {QStringLiteral("detach"), f.bsdName(QStringLiteral("Held"))}).status,
              0);
    EXPECT_TRUE(memberLine(image, "bin/shell").startsWith("-rwsr-xr-x"))
        << memberLine(image, "bin/shell").toStdString();
    EXPECT_TRUE(memberLine(image, "bin/group").startsWith("-rwx--s--x"))
        << memberLine(image, "bin/group").toStdString();
    EXPECT_TRUE(memberLine(image, "mem").startsWith('c')) << memberLine(image, "mem").toStdString();

    // Mounted again: still no set-id bits; a file the user changed meanwhile keeps the user's mode.
    ASSERT_EQ(f.run(QStringLiteral("hdiutil"), {QStringLiteral("mount"), image}).status, 0);
    const QString again = f.mountPoint(QStringLiteral("Held"));
    EXPECT_EQ(modeOf(again + "/bin/shell") & 07777, mode_t(0755));
    ASSERT_EQ(chmod(QFile::encodeName(again + "/bin/shell").constData(), 0700), 0);
    ASSERT_EQ(f.run(QStringLiteral("hdiutil"), {QStringLiteral("detach"), f.bsdName(QStringLiteral("Held"))}).status,
              0);
    EXPECT_TRUE(memberLine(image, "bin/shell").startsWith("-rwx------"))
        << memberLine(image, "bin/shell").toStdString();
    EXPECT_TRUE(f.problems().isEmpty());
}

// An image whose volume did not change is not written again on eject; any
// change (a file written, added, removed or renamed, a new name) is.
TEST(ImageMount, EjectWritesTheImageOnlyWhenTheVolumeChanged)
{
    DiskWorldFixture f;
    ASSERT_TRUE(f.ok());
    const QString source = f.at(QStringLiteral("/Users/Shared/src"));
    ASSERT_TRUE(TestSupport::writeFile(source + QStringLiteral("/a/one.txt"), "one\n"));
    ASSERT_TRUE(TestSupport::writeFile(source + QStringLiteral("/two.txt"), "two\n"));
    const QString image = f.at(QStringLiteral("/Users/Shared/same.dmg"));
    ASSERT_EQ(f.run(QStringLiteral("hdiutil"), {QStringLiteral("create"), image, QStringLiteral("-volname"),
                                                QStringLiteral("Same"), QStringLiteral("-srcfolder"), source})
                  .status,
              0);
    auto inode = [&] {
        struct stat st;
        return lstat(QFile::encodeName(image).constData(), &st) == 0 ? st.st_ino : 0;
    };
    auto cycle = [&](const std::function<void(const QString &)> &change) {
        EXPECT_EQ(f.run(QStringLiteral("hdiutil"), {QStringLiteral("mount"), image}).status, 0);
        QString volume, name;
        const Platform::DiskWorld::State s = f.state();
        for (const auto &[d, n] : s.volumes())
            if (d->isImage()) {
                volume = n->id;
                name = n->volume->name;
            }
        change(f.mountPoint(name));
        const ino_t before = inode();
        EXPECT_EQ(f.run(QStringLiteral("hdiutil"), {QStringLiteral("detach"), volume}).status, 0);
        return before != inode();
    };
    EXPECT_FALSE(cycle([](const QString &) {}));
    EXPECT_FALSE(cycle([&](const QString &mp) { f.run(QStringLiteral("diskutil"), {"unmount", mp}); }));
    EXPECT_TRUE(cycle([](const QString &mp) { TestSupport::writeFile(mp + "/a/one.txt", "changed\n"); }));
    EXPECT_TRUE(cycle([](const QString &mp) { TestSupport::writeFile(mp + "/a/new.txt", "new\n"); }));
    EXPECT_TRUE(cycle([](const QString &mp) { QFile::remove(mp + "/two.txt"); }));
    EXPECT_TRUE(cycle([](const QString &mp) { QFile::rename(mp + "/a/new.txt", mp + "/a/renamed.txt"); }));
    EXPECT_TRUE(cycle([&](const QString &mp) { f.run(QStringLiteral("diskutil"), {"rename", mp, "Other"}); }));
    EXPECT_FALSE(cycle([](const QString &) {}));

    EXPECT_EQ(f.run(QStringLiteral("hdiutil"), {QStringLiteral("mount"), image}).status, 0);
    const QString mp = f.mountPoint(QStringLiteral("Other"));
    EXPECT_EQ(TestSupport::readFile(mp + "/a/one.txt"), QByteArray("changed\n"));
    EXPECT_TRUE(QFileInfo(mp + "/a/renamed.txt").isFile());
    EXPECT_FALSE(QFileInfo::exists(mp + "/two.txt"));
    EXPECT_TRUE(f.problems().isEmpty());
}
