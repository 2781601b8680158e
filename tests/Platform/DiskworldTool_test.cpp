// The diskworld control tool through its command line.
#include <gtest/gtest.h>

#include "DiskWorldFixture.h"
#include "PropertyList.h"
#include "TestSupport.h"
#include "World.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

// Failure messages show texts as texts.
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

using TestSupport::DiskWorldFixture;
using TestSupport::ToolRun;

namespace {

ToolRun diskworld(const QStringList &args, const QString &root = QString())
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!root.isEmpty())
        env.insert(QStringLiteral("TARNWICK_ROOT"), root);
    p.setProcessEnvironment(env);
    p.start(TestSupport::toolsPath() + QStringLiteral("/diskworld"), args);
    ToolRun r;
    if (!p.waitForFinished(60000))
        return r;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    r.status = p.exitCode();
    return r;
}

} // namespace

TEST(DiskworldTool, InitMakesTheDemoWorldTheRunScriptStarts)
{
    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("demo-world"));
    ToolRun r = diskworld({QStringLiteral("init"), root, QStringLiteral("--demo"), QStringLiteral("--version"),
                           QStringLiteral("14.2"), QStringLiteral("--user"), QStringLiteral("kim")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const Platform::DiskWorld::World w(root);
    EXPECT_TRUE(w.exists());
    EXPECT_TRUE(QFileInfo(root + QStringLiteral("/.diskworld")).isDir());
    EXPECT_TRUE(w.problems().isEmpty()) << w.problems().join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(QFileInfo(root + QStringLiteral("/Users/kim/Library/Safari")).isDir());
    const auto version = Platform::PropertyList::readDictionary(
        root + QStringLiteral("/System/Library/CoreServices/SystemVersion.plist"));
    ASSERT_TRUE(version.has_value());
    EXPECT_EQ(version->value("ProductVersion").toString(), QStringLiteral("14.2"));
    for (const char *name : {"Travel Drive", "BACKUP", "BOOTCAMP", "Macintosh HD"})
        EXPECT_TRUE(QFileInfo::exists(root + QStringLiteral("/Volumes/") + QLatin1String(name))) << name;

    // A second init never replaces the world.
    const QByteArray state = TestSupport::readFile(w.statePath());
    r = diskworld({QStringLiteral("init"), root, QStringLiteral("--demo")});
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(TestSupport::readFile(w.statePath()), state);

    // show and check, with the root from the environment or from --root.
    r = diskworld({QStringLiteral("show")}, root);
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    for (const char *text : {"Macintosh HD", "Travel Drive", "BACKUP", "BOOTCAMP", "read-only", "PCI-Express", "USB"})
        EXPECT_TRUE(r.out.contains(text)) << text;
    EXPECT_EQ(diskworld({QStringLiteral("check"), QStringLiteral("--root"), root}).status, 0);
}

TEST(DiskworldTool, AttachAndDetachPlugDisksInAndOut)
{
    DiskWorldFixture f;
    QTemporaryDir content;
    TestSupport::writeFile(content.filePath(QStringLiteral("photos/one.jpg")), QByteArray(3000, 'p'));
    ToolRun r = f.run(QStringLiteral("diskworld"),
                      {QStringLiteral("attach"), QStringLiteral("--name"), QStringLiteral("Camera Card 2024"),
                       QStringLiteral("--fs"), QStringLiteral("MS-DOS FAT32"), QStringLiteral("--size"),
                       QStringLiteral("8M"), QStringLiteral("--from"), content.path()});
    // FAT32 names have at most 11 characters.
    EXPECT_NE(r.status, 0);
    r = f.run(QStringLiteral("diskworld"),
              {QStringLiteral("attach"), QStringLiteral("--name"), QStringLiteral("CAMERA"), QStringLiteral("--fs"),
               QStringLiteral("MS-DOS FAT32"), QStringLiteral("--size"), QStringLiteral("8M"),
               QStringLiteral("--registry"), QStringLiteral("Card Reader Media"), QStringLiteral("--from"),
               content.path()});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QString disk = QString::fromUtf8(r.out).trimmed();
    EXPECT_EQ(TestSupport::readFile(f.at(QStringLiteral("/Volumes/CAMERA/photos/one.jpg"))), QByteArray(3000, 'p'));
    QVariantMap whole = f.info(QStringLiteral("/dev/") + disk);
    EXPECT_EQ(whole.value("IORegistryEntryName").toString(), QStringLiteral("Card Reader Media"));
    EXPECT_EQ(whole.value("TotalSize").toLongLong(), 8'000'000);
    EXPECT_EQ(whole.value("BusProtocol").toString(), QStringLiteral("USB"));

    r = f.run(QStringLiteral("diskworld"), {QStringLiteral("detach"), QStringLiteral("CAMERA")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(f.at(QStringLiteral("/Volumes/CAMERA"))));
    EXPECT_TRUE(f.info(QStringLiteral("/dev/") + disk).isEmpty());
    r = f.run(QStringLiteral("diskworld"), {QStringLiteral("show")});
    EXPECT_TRUE(r.out.contains("Unplugged")) << r.out.toStdString();

    // Plugged back by its device name, with its content.
    r = f.run(QStringLiteral("diskworld"), {QStringLiteral("attach"), QStringLiteral("Card Reader Media")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(TestSupport::readFile(f.at(QStringLiteral("/Volumes/CAMERA/photos/one.jpg"))), QByteArray(3000, 'p'));

    for (const QStringList &bad :
         {QStringList{QStringLiteral("attach"), QStringLiteral("Nothing Like It")},
          QStringList{QStringLiteral("attach"), QStringLiteral("--fs"), QStringLiteral("ZFS")},
          QStringList{QStringLiteral("attach"), QStringLiteral("--size"), QStringLiteral("lots")},
          QStringList{QStringLiteral("detach"), QStringLiteral("/")},
          QStringList{QStringLiteral("detach"), QStringLiteral("disk42")}, QStringList{QStringLiteral("fly")}}) {
        const QByteArray before = f.stateBytes();
        r = f.run(QStringLiteral("diskworld"), bad);
        EXPECT_NE(r.status, 0) << bad.join(QLatin1Char(' ')).toStdString();
        EXPECT_FALSE(r.err.isEmpty()) << bad.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(f.stateBytes(), before) << bad.join(QLatin1Char(' ')).toStdString();
    }
    EXPECT_TRUE(f.problems().isEmpty()) << f.problems().join(QLatin1Char('\n')).toStdString();
}

TEST(DiskworldTool, ToolsWithoutAWorldSaySoAndDoNothing)
{
    QTemporaryDir empty;
    for (const QString &tool : {QStringLiteral("diskutil"), QStringLiteral("asr"), QStringLiteral("diskworld")}) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TARNWICK_ROOT"), empty.path());
        p.setProcessEnvironment(env);
        const QStringList args =
            tool == QLatin1String("asr")
                ? QStringList{QStringLiteral("restore"),  QStringLiteral("--source"),   QStringLiteral("/"),
                              QStringLiteral("--target"), QStringLiteral("/Volumes/X"), QStringLiteral("--erase")}
            : tool == QLatin1String("diskutil") ? QStringList{QStringLiteral("list"), QStringLiteral("-plist")}
                                                : QStringList{QStringLiteral("show")};
        p.start(TestSupport::toolsPath() + QLatin1Char('/') + tool, args);
        ASSERT_TRUE(p.waitForFinished(30000));
        EXPECT_NE(p.exitCode(), 0) << tool.toStdString();
        EXPECT_TRUE(p.readAllStandardOutput().isEmpty()) << tool.toStdString();
        EXPECT_TRUE(p.readAllStandardError().contains("no disk world")) << tool.toStdString();
    }
    EXPECT_TRUE(QDir(empty.path()).isEmpty());
}
