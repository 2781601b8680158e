// The diskutil in the tools folder answers the listing calls without Qt; the
// full program in tools/libexec answers everything else. Both must say the same.
#include <gtest/gtest.h>

#include "DiskWorldFixture.h"
#include "TestSupport.h"

#include "WorldPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

using TestSupport::DiskWorldFixture;
using TestSupport::ToolRun;
namespace DW = Platform::DiskWorld;

namespace {

const QString kFront = QStringLiteral("diskutil");
const QString kFull = QStringLiteral("libexec/diskutil");

QStringList args(std::initializer_list<const char *> words)
{
    QStringList out;
    for (const char *w : words)
        out << QString::fromUtf8(w);
    return out;
}

// Runs the front and the full program alike and expects the same status,
// output and error text.
void expectSameAnswer(const DiskWorldFixture &f, const QStringList &arguments)
{
    SCOPED_TRACE(arguments.join(QLatin1Char(' ')).toStdString());
    const ToolRun front = f.run(kFront, arguments);
    const ToolRun full = f.run(kFull, arguments);
    EXPECT_EQ(front.status, full.status);
    EXPECT_EQ(front.out.toStdString(), full.out.toStdString());
    EXPECT_EQ(front.err.toStdString(), full.err.toStdString());
}

// Every way the world's entries can be named: BSD names, device nodes (raw
// too), mount points, UUIDs (in either case) and volume names.
QStringList identifiersOf(const DiskWorldFixture &f)
{
    QStringList out;
    const DW::World w = f.world();
    const DW::State s = f.state();
    for (const DW::Disk &d : s.disks) {
        out << d.id << QStringLiteral("/dev/") + d.id << QStringLiteral("/dev/r") + d.id << d.diskUUID.toLower();
        for (const DW::Node &n : d.nodes) {
            out << n.id << QStringLiteral("/dev/") + n.id << n.diskUUID;
            if (!n.volume)
                continue;
            out << n.volume->name << n.volume->uuid << n.volume->uuid.toLower();
            if (n.volume->mounted)
                out << w.mountPoint(*n.volume);
        }
    }
    out.removeAll(QString());
    return out;
}

// A world with every kind of entry: the demo's disks (an internal APFS
// container, a read-only NTFS volume, an unmounted volume), an external APFS
// disk and an attached disk image.
void addImageAndApfsDisk(DiskWorldFixture &f)
{
    ASSERT_FALSE(f.attachUsb(QStringLiteral("Fotos Ünïcode"), QStringLiteral("APFS")).isEmpty());
    const QString source = f.at(QStringLiteral("/Users/Shared/source"));
    ASSERT_TRUE(TestSupport::writeFile(source + QStringLiteral("/a.txt"), QByteArray(3000, 'a')));
    const QString image = f.at(QStringLiteral("/Users/Shared/pictures.dmg"));
    const ToolRun made =
        f.run(QStringLiteral("hdiutil"),
              {QStringLiteral("create"), image, QStringLiteral("-volname"), QStringLiteral("Pictures"),
               QStringLiteral("-size"), QStringLiteral("4m"), QStringLiteral("-fs"), QStringLiteral("ExFAT"),
               QStringLiteral("-format"), QStringLiteral("UDRW"), QStringLiteral("-srcfolder"), source});
    ASSERT_EQ(made.status, 0) << made.err.toStdString();
    const ToolRun mounted = f.run(QStringLiteral("hdiutil"), {QStringLiteral("mount"), image});
    ASSERT_EQ(mounted.status, 0) << mounted.err.toStdString();
}

} // namespace

TEST(DiskutilFront, AnswersEveryListingCallByteForByteAsTheFullProgram)
{
    DiskWorldFixture f;
    ASSERT_TRUE(f.ok()) << f.error().toStdString();
    addImageAndApfsDisk(f);
    ASSERT_FALSE(HasFatalFailure());
    const DW::State s = f.state();
    bool sawImage = false, sawContainer = false;
    for (const DW::Disk &d : s.disks) {
        sawImage = sawImage || d.isImage();
        sawContainer = sawContainer || (d.isContainer() && !d.nodes.empty());
    }
    ASSERT_TRUE(sawImage && sawContainer);

    expectSameAnswer(f, args({"list", "-plist"}));
    for (const QString &id : identifiersOf(f)) {
        expectSameAnswer(f, {QStringLiteral("info"), QStringLiteral("-plist"), id});
        expectSameAnswer(f, {QStringLiteral("list"), QStringLiteral("-plist"), id});
    }
    // The verb in any case, the options in any order and number.
    expectSameAnswer(f, args({"INFO", "-all", "-plist", "/"}));
    expectSameAnswer(f, args({"information", "-plist", "-plist", "/Volumes/Travel Drive"}));
    expectSameAnswer(f, args({"List", "-plist", "-all"}));
}

TEST(DiskutilFront, UnknownIdentifiersAndOtherCallsGetTheFullProgramsStatusAndText)
{
    DiskWorldFixture f;
    ASSERT_TRUE(f.ok()) << f.error().toStdString();
    for (const char *id : {"disk42", "/dev/disk42s1", "/dev/rdisk9", "/Volumes/Gone", "no such volume", "",
                           "/Volumes/Travel Drive/Documents"}) {
        expectSameAnswer(f, args({"info", "-plist", id}));
        expectSameAnswer(f, args({"list", "-plist", id}));
    }
    const ToolRun unknown = f.run(kFront, args({"info", "-plist", "disk42"}));
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.err.toStdString(), "Could not find disk: disk42\n");
    EXPECT_TRUE(unknown.out.isEmpty());

    // Calls the front hands over: text forms, usage, other verbs.
    for (const QStringList &call :
         {args({"info", "disk0"}), args({"list"}), args({"info", "-plist"}), args({"info", "-plist", "a", "b"}),
          args({"list", "-plist", "a", "b"}), args({}), args({"bogus"}), args({"unmountDisk", "disk42"})})
        expectSameAnswer(f, call);

    // No world at all.
    QTemporaryDir empty;
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TARNWICK_ROOT"), empty.path());
    p.setProcessEnvironment(env);
    p.start(TestSupport::toolsPath() + QStringLiteral("/diskutil"), args({"list", "-plist"}));
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_EQ(p.readAllStandardError().toStdString(),
              "diskutil: there is no disk world at " + empty.path().toStdString() + "\n");
}

TEST(DiskutilFront, AnswersTheListingCallsItselfAndHandsTheRestToLibexec)
{
    DiskWorldFixture f;
    ASSERT_TRUE(f.ok()) << f.error().toStdString();
    // The front alone, without the full program beside it: what it answers
    // itself still works, what it hands over cannot start.
    QTemporaryDir alone;
    const QString front = alone.path() + QStringLiteral("/diskutil");
    ASSERT_TRUE(QFile::copy(TestSupport::toolsPath() + QStringLiteral("/diskutil"), front));
    ASSERT_TRUE(QFile::setPermissions(front, QFile::permissions(front) | QFile::ExeOwner));
    auto runAlone = [&](const QStringList &arguments) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TARNWICK_ROOT"), f.root());
        p.setProcessEnvironment(env);
        p.start(front, arguments);
        p.waitForFinished(60000);
        ToolRun r;
        r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = p.readAllStandardOutput();
        r.err = p.readAllStandardError();
        return r;
    };
    const QString travel = f.bsdName(QStringLiteral("Travel Drive"));
    for (const QStringList &call :
         {args({"list", "-plist"}), QStringList{QStringLiteral("info"), QStringLiteral("-plist"), travel},
          args({"info", "-plist", "/"}), args({"info", "-plist", "disk42"})}) {
        SCOPED_TRACE(call.join(QLatin1Char(' ')).toStdString());
        const ToolRun r = runAlone(call);
        const ToolRun full = f.run(kFull, call);
        EXPECT_EQ(r.status, full.status);
        EXPECT_EQ(r.out.toStdString(), full.out.toStdString());
        EXPECT_EQ(r.err.toStdString(), full.err.toStdString());
    }
    for (const QStringList &call : {args({"list"}), QStringList{QStringLiteral("unmount"), travel}}) {
        SCOPED_TRACE(call.join(QLatin1Char(' ')).toStdString());
        const ToolRun r = runAlone(call);
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.err.contains("libexec/diskutil")) << r.err.toStdString();
    }
    EXPECT_FALSE(f.mountPoint(QStringLiteral("Travel Drive")).isEmpty());

    // In the bundle, a handed-over call reaches the full program with its
    // arguments untouched, even a name a shell would read.
    const QString odd = QStringLiteral("Odd $(name) `x`; \"q\" 'a'");
    const ToolRun renamed = f.run(kFront, {QStringLiteral("rename"), travel, odd});
    EXPECT_EQ(renamed.status, 0) << renamed.err.toStdString();
    EXPECT_EQ(f.info(travel).value(QStringLiteral("VolumeName")).toString(), odd);
}

TEST(DiskutilFront, AChangeCutShortIsSetRightByTheFullProgramBeforeTheAnswer)
{
    DiskWorldFixture f;
    ASSERT_TRUE(f.ok()) << f.error().toStdString();
    const QString travel = f.bsdName(QStringLiteral("Travel Drive"));
    const QString mountPoint = f.mountPoint(QStringLiteral("Travel Drive"));
    ASSERT_TRUE(TestSupport::writeFile(mountPoint + QStringLiteral("/kept.txt"), QByteArray(5000, 'k')));
    const QByteArray expected = f.run(kFull, {QStringLiteral("info"), QStringLiteral("-plist"), travel}).out;

    // An unmount killed once its folder has moved to the store, before the state says so.
    qputenv("TARNWICK_DISKWORLD_STOP_AT", "2");
    const ToolRun killed = f.run(kFront, {QStringLiteral("unmount"), travel});
    qunsetenv("TARNWICK_DISKWORLD_STOP_AT");
    ASSERT_EQ(killed.status, -1);
    ASSERT_TRUE(QFileInfo::exists(f.world().intentPath()));
    ASSERT_FALSE(QFileInfo::exists(mountPoint));

    const ToolRun answered = f.run(kFront, {QStringLiteral("info"), QStringLiteral("-plist"), travel});
    EXPECT_EQ(answered.status, 0) << answered.err.toStdString();
    EXPECT_EQ(answered.out.toStdString(), expected.toStdString());
    EXPECT_FALSE(QFileInfo::exists(f.world().intentPath()));
    EXPECT_TRUE(QFileInfo(mountPoint + QStringLiteral("/kept.txt")).isFile());
    EXPECT_TRUE(f.problems().isEmpty()) << f.problems().join(QLatin1Char('\n')).toStdString();
}

TEST(DiskutilFront, LoadsNoQtLibrary)
{
    QProcess p;
    p.start(QStringLiteral("readelf"), {QStringLiteral("-d"), TestSupport::toolsPath() + QStringLiteral("/diskutil")});
    ASSERT_TRUE(p.waitForFinished(60000));
    ASSERT_EQ(p.exitCode(), 0);
    QStringList needed;
    for (const QByteArray &line : p.readAllStandardOutput().split('\n'))
        if (line.contains("(NEEDED)"))
            needed << QString::fromUtf8(line.mid(line.indexOf('[') + 1).chopped(1));
    EXPECT_TRUE(needed.contains(QStringLiteral("libplist-2.0.so.3"))) << needed.join(QLatin1Char(' ')).toStdString();
    for (const QString &lib : needed)
        EXPECT_FALSE(lib.startsWith(QStringLiteral("libQt"), Qt::CaseInsensitive)) << lib.toStdString();
}

TEST(DiskutilFront, PathsAreCleanedAsTheApplicationCleansThem)
{
    for (const char *path : {"/", "//", "/a/b/", "/a//b/./c/../d", "/..", "/../a", "/a/../..", "a/../..", "./a", "a/.",
                             "", ".", "..", "/Volumes/../Volumes/X/", "/a/b/../../../c", "a//b"}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(DW::Core::cleanPath(path), QDir::cleanPath(QString::fromUtf8(path)).toStdString());
    }
}
