#include <gtest/gtest.h>

#include "Clock.h"
#include "Dispatch.h"
#include "FileManager.h"
#include "NotificationCenter.h"
#include "PlainText.h"
#include "PropertyList.h"
#include "SystemInfo.h"
#include "SystemRoot.h"
#include "Task.h"
#include "TestSupport.h"
#include "WorkFolder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTextDocument>
#include <atomic>
#include <plist/plist.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Platform;

TEST(PropertyList, RoundTripsEveryValueType)
{
    QTemporaryDir dir;
    QVariantMap inner{{QStringLiteral("n"), qint64(-1)}, {QStringLiteral("big"), qint64(4000000000000)}};
    const QVariantMap map{{QStringLiteral("s"), QStringLiteral("名字 \"q\"")},
                          {QStringLiteral("b"), true},
                          {QStringLiteral("r"), 1.5},
                          {QStringLiteral("a"), QVariantList{1, QStringLiteral("x")}},
                          {QStringLiteral("d"), QByteArray("\x00\x01", 2)},
                          {QStringLiteral("inner"), inner}};
    const QString path = dir.filePath(QStringLiteral("p.plist"));
    ASSERT_TRUE(PropertyList::writeFile(path, map));
    auto back = PropertyList::readDictionary(path);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->value("s").toString(), QStringLiteral("名字 \"q\""));
    EXPECT_TRUE(back->value("b").toBool());
    EXPECT_DOUBLE_EQ(back->value("r").toDouble(), 1.5);
    EXPECT_EQ(back->value("a").toList().size(), 2);
    EXPECT_EQ(back->value("d").toByteArray(), QByteArray("\x00\x01", 2));
    EXPECT_EQ(back->value("inner").toMap().value("n").toLongLong(), -1);
    EXPECT_EQ(back->value("inner").toMap().value("big").toLongLong(), 4000000000000);
}

TEST(PropertyList, ReadsBinary)
{
    plist_t dict = plist_new_dict();
    plist_dict_set_item(dict, "TotalSize", plist_new_uint(123456789));
    char *bin = nullptr;
    uint32_t len = 0;
    plist_to_bin(dict, &bin, &len);
    const QVariant v = PropertyList::fromData(QByteArray(bin, len));
    free(bin);
    plist_free(dict);
    EXPECT_EQ(v.toMap().value("TotalSize").toLongLong(), 123456789);
}

TEST(PropertyList, UnreadableFilesGiveNothing)
{
    QTemporaryDir dir;
    const QString empty = dir.filePath("empty"), junk = dir.filePath("junk"), array = dir.filePath("array");
    TestSupport::writeFile(empty, {});
    TestSupport::writeFile(junk, "Started erase on disk2\n");
    PropertyList::writeFile(array, QVariantList{1, 2});
    for (const QString &p : {dir.filePath("missing"), empty, junk, array})
        EXPECT_FALSE(PropertyList::readDictionary(p).has_value()) << p.toStdString();
}

TEST(FileManager, CopyKeepsTreeLinksModesAndNeverOverwrites)
{
    QTemporaryDir dir;
    const QString src = dir.filePath("src");
    TestSupport::writeFile(src + "/a.txt", "hello");
    TestSupport::writeFile(src + "/sub/b.bin", QByteArray(100000, 'x'));
    ASSERT_EQ(symlink("a.txt", QFile::encodeName(src + "/link").constData()), 0);
    chmod(QFile::encodeName(src + "/a.txt").constData(), 0640);
    auto &fm = FileManager::defaultManager();

    ASSERT_TRUE(fm.copyItem(src, dir.filePath("dst")));
    EXPECT_EQ(TestSupport::readFile(dir.filePath("dst/a.txt")), "hello");
    EXPECT_EQ(TestSupport::readFile(dir.filePath("dst/sub/b.bin")).size(), 100000);
    EXPECT_EQ(fm.attributes(dir.filePath("dst/link")).type, FileAttributes::Type::SymbolicLink);
    EXPECT_EQ(fm.attributes(dir.filePath("dst/a.txt")).permissions, 0640u);
    EXPECT_EQ(fm.attributes(dir.filePath("dst/a.txt")).modificationTime,
              fm.attributes(src + "/a.txt").modificationTime);

    TestSupport::writeFile(dir.filePath("existing.txt"), "keep");
    QString error;
    EXPECT_FALSE(fm.copyItem(src + "/a.txt", dir.filePath("existing.txt"), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(TestSupport::readFile(dir.filePath("existing.txt")), "keep");
    // Nothing but the two entries remains: no temporary names left behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 3);
}

TEST(FileManager, FailedCopyLeavesNothingUnderTheName)
{
    QTemporaryDir dir;
    const QString src = dir.filePath("src");
    TestSupport::writeFile(src + "/a.txt", "hello");
    TestSupport::writeFile(src + "/big.bin", QByteArray(5000, 'x'));
    FileManager::setSpaceProvider([](const QString &) { return std::optional<qint64>(100); });
    QString error;
    const bool ok = FileManager::defaultManager().copyItem(src, dir.filePath("dst"), &error);
    FileManager::setSpaceProvider({});
    EXPECT_FALSE(ok);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("dst")));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"src"});
}

TEST(FileManager, ListingAndExistence)
{
    QTemporaryDir dir;
    TestSupport::writeFile(dir.filePath("f"), "1");
    QDir().mkdir(dir.filePath("d"));
    symlink(QFile::encodeName(dir.filePath("d")).constData(), QFile::encodeName(dir.filePath("ld")).constData());
    auto &fm = FileManager::defaultManager();
    bool isDir = true;
    EXPECT_TRUE(fm.fileExists(dir.filePath("f"), &isDir));
    EXPECT_FALSE(isDir);
    EXPECT_TRUE(fm.fileExists(dir.filePath("ld"), &isDir));
    EXPECT_TRUE(isDir) << "the folder test follows links";
    QStringList names = fm.contentsOfDirectory(dir.path());
    names.sort();
    EXPECT_EQ(names, (QStringList{"d", "f", "ld"}));
    bool ok = true;
    EXPECT_TRUE(fm.contentsOfDirectory(dir.filePath("nope"), &ok).isEmpty());
    EXPECT_FALSE(ok);
}

TEST(Dispatch, MainSyncOnTheMainThreadRunsAtOnce)
{
    bool ran = false;
    Dispatch::mainSync([&] { ran = true; });
    EXPECT_TRUE(ran);
}

TEST(Dispatch, GlobalWorkHopsBackToMain)
{
    std::atomic<bool> onMain{false};
    std::atomic<bool> done{false};
    Dispatch::globalAsync([&] {
        Dispatch::mainSync([&] { onMain = Dispatch::isMainThread(); });
        done = true;
    });
    EXPECT_TRUE(TestSupport::waitUntil([&] { return done.load(); }));
    EXPECT_TRUE(onMain.load());
}

TEST(Dispatch, AfterRunsThroughTheScaledClock)
{
    ClockScaleGuard fast(1000);
    bool fired = false;
    Dispatch::after(10, Dispatch::Queue::Main, [&] { fired = true; }); // 10 s at ×1000 → 10 ms
    EXPECT_TRUE(TestSupport::waitUntil([&] { return fired; }, 2000));
}

TEST(NotificationCenter, DeliversByNameAndObject)
{
    NotificationCenter center;
    int any = 0, mine = 0;
    int tag = 0, other = 0;
    center.addObserver(&any, "N", nullptr, [&](const Notification &n) {
        ++any;
        EXPECT_EQ(n.userInfo.value("k").toString(), "v");
    });
    center.addObserver(&mine, "N", &tag, [&](const Notification &) { ++mine; });
    center.post("N", &tag, {{"k", "v"}});
    center.post("N", &other, {{"k", "v"}});
    center.post("M", &tag);
    EXPECT_EQ(any, 2);
    EXPECT_EQ(mine, 1);
    center.removeObserver(&any);
    center.post("N", &tag, {{"k", "v"}});
    EXPECT_EQ(any, 2);
}

TEST(SystemRoot, ResolvesOriginalPathsUnderTheRoot)
{
    TestSupport::TempRoot root;
    EXPECT_EQ(rootPath("/Volumes/X"), root.path() + "/Volumes/X");
    EXPECT_EQ(rootPath("/"), root.path());
    EXPECT_EQ(rootPath(rootPath("/Volumes/X")), root.path() + "/Volumes/X");
    EXPECT_TRUE(isStartupMountPoint(root.path()));
    EXPECT_TRUE(isStartupMountPoint("/"));
    EXPECT_FALSE(isStartupMountPoint(root.path() + "/Volumes/X"));
    EXPECT_TRUE(toolPath("/usr/sbin/diskutil").endsWith("/tools/diskutil"));
    EXPECT_EQ(toolPath("/usr/bin/zip"), "/usr/bin/zip");
}

TEST(MachineID, TheApplicationsIDIsAKeyedHashOfTheMachineID)
{
    using Platform::SystemInfo;
    // HMAC-SHA256(key = machine id, message = application id), first 16
    // bytes, made a version-4 UUID.
    EXPECT_EQ(SystemInfo::applicationSpecificID("0123456789abcdef0123456789abcdef", "936fbcc950c74c0c847fe4611adea56f"),
              "A6E98ECF-FA22-4A13-914A-ADA169E758FB");
    EXPECT_EQ(SystemInfo::applicationSpecificID("00000000000000000000000000000000", "ffffffffffffffffffffffffffffffff"),
              "293531BB-B426-4FD5-9459-15D35FCEEE6E");
    for (const QByteArray &bad : {QByteArray(), QByteArray("0123"), QByteArray("0123456789abcdef0123456789abcdeg")})
        EXPECT_TRUE(SystemInfo::applicationSpecificID(bad, "936fbcc950c74c0c847fe4611adea56f").isEmpty());

    // This machine's answer is stable and is not its machine id.
    QFile f(QStringLiteral("/etc/machine-id"));
    if (!f.open(QIODevice::ReadOnly))
        f.setFileName(QStringLiteral("/var/lib/dbus/machine-id"));
    ASSERT_TRUE(f.isOpen() || f.open(QIODevice::ReadOnly));
    const QString machineId = QString::fromLatin1(f.readAll()).trimmed().toUpper();
    const QString id = SystemInfo::platformUUID();
    ASSERT_EQ(id.size(), 36);
    EXPECT_EQ(id, SystemInfo::platformUUID());
    EXPECT_NE(QString(id).remove(QLatin1Char('-')), machineId);
}

TEST(PlainText, LabelsAndToolTipsShowTheCharactersTheyAreGiven)
{
    const QString texts[] = {QStringLiteral("Backup <b>2024</b>"), QStringLiteral("<img src=\"/etc/hostname\">"),
                             QStringLiteral("a & b &amp; c"), QStringLiteral("two  spaces"),
                             QStringLiteral("two\nlines")};
    for (const QString &text : texts) {
        SCOPED_TRACE(text.toStdString());
        QLabel label;
        Platform::setPlainText(&label, text);
        EXPECT_EQ(label.textFormat(), Qt::PlainText);
        EXPECT_EQ(label.text(), text);
        // A tool tip is read as rich text when it looks like it: the tip must
        // read back as the text itself.
        const QString tip = Platform::plainToolTip(text);
        ASSERT_TRUE(Qt::mightBeRichText(tip));
        QTextDocument doc;
        doc.setHtml(tip);
        EXPECT_EQ(doc.toPlainText(), text);
    }
    EXPECT_TRUE(Platform::plainToolTip(QString()).isEmpty());
}

TEST(Task, StandardErrorComesThroughItsOwnPipeApartFromTheOutput)
{
    Task task;
    task.setLaunchPath(QStringLiteral("/bin/sh"));
    task.setArguments({QStringLiteral("-c"), QStringLiteral("printf out1; printf err1 >&2; sleep 0.1; printf out2; "
                                                            "printf err2 >&2; exit 3")});
    task.setStandardOutputPipe(true);
    task.setStandardErrorPipe(true);
    QByteArray out, err;
    QObject::connect(&task, &Task::dataAvailable, [&](const QByteArray &c) { out += c; });
    QObject::connect(&task, &Task::errorDataAvailable, [&](const QByteArray &c) { err += c; });
    ASSERT_TRUE(task.launch());
    ASSERT_TRUE(task.waitUntilExit(10000));
    EXPECT_EQ(out, "out1out2");
    EXPECT_EQ(err, "err1err2");
    EXPECT_EQ(task.terminationStatus(), 3);
}

// A folder handed to a child by descriptor is the folder that was opened,
// even once its path leads elsewhere; a descriptor not handed over stays
// this process's own.
TEST(Task, AChildReachesAHandedFolderByDescriptorWhereverItsPathNowLeads)
{
    QTemporaryDir dir;
    const QString held = dir.filePath(QStringLiteral("held"));
    ASSERT_TRUE(QDir().mkpath(held));
    TestSupport::writeFile(held + QStringLiteral("/inside"), "x");
    const OpenFolder folder = OpenFolder::open(QFile::encodeName(held));
    ASSERT_TRUE(folder.isOpen());
    ASSERT_TRUE(QDir().rename(held, dir.filePath(QStringLiteral("moved"))));
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("decoy"))));
    TestSupport::writeFile(dir.filePath(QStringLiteral("decoy/planted")), "y");
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("decoy")), held));

    for (const bool handed : {true, false}) {
        SCOPED_TRACE(handed);
        Task task;
        task.setLaunchPath(QStringLiteral("/bin/sh"));
        task.setArguments({QStringLiteral("-c"), QStringLiteral("ls \"$1\" 2>/dev/null"), QStringLiteral("sh"),
                           Task::descriptorPath(folder.descriptor())});
        if (handed)
            task.setInheritedDescriptor(folder.descriptor());
        task.setStandardOutputPipe(true);
        QByteArray out;
        QObject::connect(&task, &Task::dataAvailable, [&](const QByteArray &c) { out += c; });
        ASSERT_TRUE(task.launch());
        ASSERT_TRUE(task.waitUntilExit(10000));
        EXPECT_EQ(out, handed ? QByteArray("inside\n") : QByteArray());
        EXPECT_EQ(task.terminationStatus() == 0, handed);
    }
}

// What root makes in a user's folder, a folder or a finished result, is that
// user's and never set-id.
TEST(UsersFolder, WhatRootMakesThereIsTheFoldersOwners)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root makes things for another user";
    constexpr uid_t kUser = 65534;
    TestSupport::TempRoot root;
    const QString desktop = root.at(QStringLiteral("/Users/nobody/Desktop"));
    ASSERT_TRUE(QDir().mkpath(desktop));
    ASSERT_EQ(::chown(QFile::encodeName(desktop).constData(), kUser, kUser), 0);

    const Platform::OpenFolder home = Platform::OpenFolder::open(QFile::encodeName(desktop));
    ASSERT_TRUE(home.isOpen());
    bool made = false;
    const Platform::OpenFolder dated = home.makeChild("KestrovaDiskClone(1)", 04755, &made);
    ASSERT_TRUE(made && dated.isOpen());
    struct stat st {};
    ASSERT_EQ(::fstat(dated.descriptor(), &st), 0);
    EXPECT_EQ(st.st_uid, kUser);
    EXPECT_EQ(st.st_gid, gid_t(kUser));
    EXPECT_EQ(st.st_mode & 07000, 0u);

    Platform::WorkFolder work = Platform::WorkFolder::create(desktop, QStringLiteral("job"));
    ASSERT_TRUE(work.isValid()) << work.errorString().toStdString();
    const int fd = work.createFile(QStringLiteral("backup.zip"), 0644);
    ASSERT_GE(fd, 0) << work.errorString().toStdString();
    ASSERT_EQ(::fchmod(fd, 06644), 0);
    ::close(fd);
    ASSERT_TRUE(work.holdFile(QStringLiteral("backup.zip"))) << work.errorString().toStdString();
    ASSERT_TRUE(work.moveHeldFileOut(QStringLiteral("backup.zip"))) << work.errorString().toStdString();
    ASSERT_EQ(::stat(QFile::encodeName(desktop + QStringLiteral("/backup.zip")).constData(), &st), 0);
    EXPECT_EQ(st.st_uid, kUser);
    EXPECT_EQ(st.st_gid, gid_t(kUser));
    EXPECT_EQ(st.st_mode & 07777, 0644u);
    work.discard();
}
