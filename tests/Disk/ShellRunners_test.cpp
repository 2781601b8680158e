#include <gtest/gtest.h>

#include "DiskTestSupport.h"
#include "ShellRunners.h"

#include "Dispatch.h"
#include "PropertyList.h"
#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <atomic>
#include <sys/stat.h>
#include <cstdlib>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace DiskTest;

namespace {

using Runner = RunnerResult (*)(const ToolCommand &);

struct Member {
    const char *name;
    Runner run;
    const char *file;
};

const Member kMembers[] = {
    {"QoExecCommand", QoExecCommand, "QoTemp.plist"},
    {"AexecCommand", AexecCommand, "AKestrovaTemp.plist"},
    {"eraserDiskCommand", eraserDiskCommand, "eraserDiskTemp.plist"},
    {"execCommand", execCommand, "KestrovaTemp.plist"},
    {"eraserExecCommand", eraserExecCommand, "eraserVolumeTemp.plist"},
    {"aepairExecCommand", aepairExecCommand, "VastrelRepairTemp.plist"},
    {"changeNameExecCommand", changeNameExecCommand, "VastrelChangeNameTemp.plist"},
    {"ejectExecCommand", ejectExecCommand, "ejectExecCommandTemp.plist"},
};

class ShellRunners : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_runnerDir.isValid());
        QoSetRunnerDirectory(m_runnerDir.path());
    }
    void TearDown() override { QoSetRunnerDirectory({}); }

    QString runnerFile(const char *name) const { return m_runnerDir.filePath(QString::fromLatin1(name)); }

    FakeTools m_tools;
    QTemporaryDir m_runnerDir;
};

ToolCommand info(const QString &name) { return ToolCommand(QStringLiteral("diskutil"), {"info", "-plist", name}); }

// A command whose runner line "<line> > <path>" is exactly `length` bytes.
ToolCommand commandWithLineLength(int length, const QString &outputPath)
{
    ToolCommand probe(QStringLiteral("diskutil"), {QStringLiteral("args"), QString()});
    const int fixed = int(probe.shellLine().size() + 3 + outputPath.toUtf8().size());
    return ToolCommand(QStringLiteral("diskutil"), {QStringLiteral("args"), QString(length - fixed, QLatin1Char('x'))});
}

// "VolumeName" of the dictionary in a file (null when unreadable).
QString volumeNameIn(const QString &path)
{
    return Platform::PropertyList::readDictionary(path).value_or(QVariantMap()).value("VolumeName").toString();
}

} // namespace

TEST_F(ShellRunners, EveryMemberWritesItsOwnFileAndReturnsItsPath)
{
    for (const Member &m : kMembers) {
        SCOPED_TRACE(m.name);
        const RunnerResult r = m.run(info(QString::fromLatin1(m.name)));
        EXPECT_EQ(r.path, runnerFile(m.file));
        EXPECT_TRUE(r.ran);
        // Both the caller's own output and the file under the fixed name read back.
        EXPECT_EQ(r.dictionary().value_or(QVariantMap()).value("VolumeName").toString(), QString::fromLatin1(m.name));
        EXPECT_EQ(volumeNameIn(r.path), QString::fromLatin1(m.name));
    }
    // Each member keeps its own file: all eight outputs are still there.
    EXPECT_EQ(QDir(m_runnerDir.path()).entryList(QDir::Files).size(), 8);
}

TEST_F(ShellRunners, NamesReachTheToolAsOneArgumentEachAndNoShellReadsThem)
{
    const QString marker = m_runnerDir.filePath(QStringLiteral("pwned"));
    const QStringList names = {
        QStringLiteral("My \"Quoted\" Disk"),         QStringLiteral("$(touch %1)").arg(marker),
        QStringLiteral("`touch %1`").arg(marker),     QStringLiteral("a; touch %1").arg(marker),
        QStringLiteral("a & touch %1 &").arg(marker), QStringLiteral("two\nlines"),
        QStringLiteral("  spaces  around  "),         QStringLiteral("> %1").arg(marker),
        QStringLiteral("名字 'single' \\ back"),      QString(),
    };
    ToolCommand command(QStringLiteral("diskutil"), {QStringLiteral("args")});
    for (const QString &n : names)
        command.quotedArg(n);
    const RunnerResult r = aepairExecCommand(command);
    ASSERT_TRUE(r.ran);
    EXPECT_EQ(splitArguments(r.output), names);
    EXPECT_FALSE(QFileInfo::exists(marker));
}

TEST_F(ShellRunners, ShellLineKeepsTheOldQuotingForItsLength)
{
    ToolCommand erase(QStringLiteral("diskutil"), {QStringLiteral("eraseVolume")});
    erase.quotedArg(QStringLiteral("JHFS+")).quotedArg(QStringLiteral("名")).quotedArg(QStringLiteral("/dev/disk3s1"));
    EXPECT_EQ(erase.shellLine(), QByteArray("diskutil eraseVolume \"JHFS+\" \"\xE5\x90\x8D\" \"/dev/disk3s1\""));
    const ToolCommand rename = ToolCommand(QStringLiteral("diskutil"), {"rename", "UUID"}).quotedArg("New");
    EXPECT_EQ(rename.shellLine(), QByteArray("diskutil rename UUID \"New\""));
}

TEST_F(ShellRunners, StandInToolsResolveBareAndByTheirOriginalPath)
{
    const QString expected = m_tools.path() + QStringLiteral("/diskutil");
    EXPECT_EQ(ToolCommand(QStringLiteral("diskutil")).executablePath(), expected);
    EXPECT_EQ(ToolCommand(QStringLiteral("/usr/sbin/diskutil")).executablePath(), expected);
    EXPECT_EQ(ToolCommand(QStringLiteral("/bin/cp")).executablePath(), QStringLiteral("/bin/cp"));
    const RunnerResult r = execCommand(ToolCommand(QStringLiteral("/usr/sbin/diskutil"), {"args", "x"}));
    EXPECT_EQ(splitArguments(r.output), QStringList{QStringLiteral("x")});
}

TEST_F(ShellRunners, NullCommandRunsNothingAndLeavesTheOldOutput)
{
    TestSupport::writeFile(runnerFile("KestrovaTemp.plist"), "old");
    const RunnerResult r = execCommand(ToolCommand());
    EXPECT_TRUE(r.isNull());
    EXPECT_FALSE(r.ran);
    EXPECT_EQ(TestSupport::readFile(runnerFile("KestrovaTemp.plist")), "old");

    QTemporaryDir dir;
    const QString out = dir.filePath("given.plist");
    TestSupport::writeFile(out, "old");
    EXPECT_TRUE(ZZDoCommand(ToolCommand(), out).isNull());
    EXPECT_TRUE(ZZDoCommand(info("x"), QString()).isNull());
    EXPECT_EQ(TestSupport::readFile(out), "old");
}

TEST_F(ShellRunners, LineLongerThanItsBufferIsNotRunButTheOldOutputGoes)
{
    struct Case {
        const char *what;
        int lineBytes;
        bool runs;
    };
    const QString path = runnerFile("KestrovaTemp.plist");
    for (const Case &c : {Case{"2047 bytes fit", 2047, true}, Case{"2048 bytes do not", 2048, false},
                          Case{"far too long", 10000, false}}) {
        SCOPED_TRACE(c.what);
        TestSupport::writeFile(path, "old output");
        const ToolCommand command = commandWithLineLength(c.lineBytes, path);
        ASSERT_EQ(command.shellLine().size() + 3 + path.toUtf8().size(), c.lineBytes);
        const RunnerResult r = execCommand(command);
        EXPECT_EQ(r.path, path);
        EXPECT_EQ(r.ran, c.runs);
        EXPECT_EQ(QFileInfo::exists(path), c.runs);
        EXPECT_EQ(r.output.isEmpty(), !c.runs);
        EXPECT_FALSE(r.dictionary().has_value());
    }
}

TEST_F(ShellRunners, ZZDoCommandTakesTheCallersPathAndA4096ByteBuffer)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("KestrovaDiskCloneDataTemp.plist"));
    const RunnerResult r = ZZDoCommand(info(QStringLiteral("Macintosh HD")), path);
    EXPECT_EQ(r.path, path);
    EXPECT_EQ(volumeNameIn(path), QStringLiteral("Macintosh HD"));

    EXPECT_TRUE(ZZDoCommand(commandWithLineLength(4095, path), path).ran);
    TestSupport::writeFile(path, "old output");
    EXPECT_FALSE(ZZDoCommand(commandWithLineLength(4096, path), path).ran);
    EXPECT_FALSE(QFileInfo::exists(path));
    // What fits ZZDoCommand is too long for the other members.
    EXPECT_FALSE(execCommand(commandWithLineLength(3000, runnerFile("KestrovaTemp.plist"))).ran);
}

TEST_F(ShellRunners, CallersBufferLimitsTheirOwnLine)
{
    // "diskutil info -plist " is 21 bytes: a 42-byte name makes a 63-byte line.
    struct Case {
        int buffer;
        int nameLength;
        bool runs;
    };
    for (const Case &c : {Case{64, 42, true}, Case{64, 43, false}, Case{128, 106, true}, Case{128, 107, false}}) {
        SCOPED_TRACE(testing::Message() << c.buffer << " / " << c.nameLength);
        const ToolCommand command = info(QString(c.nameLength, QLatin1Char('n'))).withBuffer(c.buffer);
        EXPECT_EQ(command.fitsCallerBuffer(), c.runs);
        TestSupport::writeFile(runnerFile("VastrelRepairTemp.plist"), "old output");
        const RunnerResult r = aepairExecCommand(command);
        EXPECT_EQ(r.ran, c.runs);
        EXPECT_EQ(r.dictionary().has_value(), c.runs);
        EXPECT_EQ(QFileInfo::exists(r.path), c.runs);
    }
}

TEST_F(ShellRunners, ToolThatWritesNothingOrIsMissingLeavesNoDictionary)
{
    const QString path = runnerFile("ejectExecCommandTemp.plist");
    TestSupport::writeFile(path, "<plist><dict/></plist>");
    RunnerResult r = ejectExecCommand(ToolCommand(QStringLiteral("diskutil"), {"silent"}));
    EXPECT_TRUE(r.ran);
    EXPECT_EQ(r.path, path);
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_FALSE(r.dictionary().has_value());

    TestSupport::writeFile(path, "<plist><dict/></plist>");
    r = ejectExecCommand(ToolCommand(m_tools.path() + QStringLiteral("/no-such-tool"), {"info"}));
    EXPECT_EQ(r.path, path);
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_FALSE(r.dictionary().has_value());
    // Nothing of the run is left beside the fixed name either.
    EXPECT_TRUE(QDir(m_runnerDir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST_F(ShellRunners, PlantedLinkOrStrangersFileIsReplacedNotWrittenThrough)
{
    // The runner folder is shared like /tmp.
    ASSERT_EQ(chmod(encoded(m_runnerDir.path()).constData(), 01777), 0);
    QTemporaryDir elsewhere;
    const QString victim = elsewhere.filePath(QStringLiteral("victim"));
    TestSupport::writeFile(victim, "precious");

    const QString linkPath = runnerFile("KestrovaTemp.plist");
    ASSERT_EQ(symlink(encoded(victim).constData(), encoded(linkPath).constData()), 0);
    ASSERT_EQ(lchown(encoded(linkPath).constData(), kOtherUser, kOtherUser), 0);
    RunnerResult r = execCommand(info(QStringLiteral("Data")));
    EXPECT_EQ(TestSupport::readFile(victim), "precious");
    EXPECT_FALSE(QFileInfo(linkPath).isSymLink());
    EXPECT_EQ(volumeNameIn(linkPath), QStringLiteral("Data"));

    // A dangling link to where a file would be created.
    const QString target = elsewhere.filePath(QStringLiteral("created-by-root"));
    const QString dangling = runnerFile("VastrelRepairTemp.plist");
    ASSERT_EQ(symlink(encoded(target).constData(), encoded(dangling).constData()), 0);
    aepairExecCommand(info(QStringLiteral("Data")));
    EXPECT_FALSE(QFileInfo::exists(target));

    // A file another user left under the name.
    const QString planted = runnerFile("AKestrovaTemp.plist");
    TestSupport::writeFile(planted, "planted");
    ASSERT_EQ(chown(encoded(planted).constData(), kOtherUser, kOtherUser), 0);
    r = AexecCommand(info(QStringLiteral("Data")));
    struct stat st;
    ASSERT_EQ(lstat(encoded(planted).constData(), &st), 0);
    EXPECT_EQ(st.st_uid, geteuid());
    EXPECT_TRUE(r.dictionary().has_value());

    // The same for the caller-given path.
    const QString zz = runnerFile("rootVeyDataTemp.plist");
    ASSERT_EQ(symlink(encoded(victim).constData(), encoded(zz).constData()), 0);
    ZZDoCommand(info(QStringLiteral("Data")), zz);
    EXPECT_EQ(TestSupport::readFile(victim), "precious");
}

TEST_F(ShellRunners, ConcurrentRunsOfOneMemberEachReadTheirOwnOutput)
{
    // Two pickers and the Disk Manager's scan and rename share members; the
    // slower run must not read the faster one's output, nor the reverse.
    constexpr int kRuns = 8;
    std::vector<std::optional<QVariantMap>> results(kRuns);
    std::vector<std::thread> threads;
    for (int i = 0; i < kRuns; ++i)
        threads.emplace_back([i, &results] {
            const QString delay = QString::number(0.05 * ((i * 3) % kRuns));
            const RunnerResult r = execCommand(
                ToolCommand(QStringLiteral("diskutil"), {"slowinfo", delay, QStringLiteral("volume-%1").arg(i)}));
            results[size_t(i)] = r.dictionary();
        });
    for (auto &t : threads)
        t.join();
    for (int i = 0; i < kRuns; ++i) {
        ASSERT_TRUE(results[size_t(i)].has_value()) << i;
        EXPECT_EQ(results[size_t(i)]->value("VolumeName").toString(), QStringLiteral("volume-%1").arg(i));
    }
    // The fixed name holds one whole output, no leftovers of the others.
    const auto last = Platform::PropertyList::readDictionary(runnerFile("KestrovaTemp.plist"));
    ASSERT_TRUE(last.has_value());
    EXPECT_TRUE(last->value("VolumeName").toString().startsWith(QStringLiteral("volume-")));
    EXPECT_EQ(QDir(m_runnerDir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

// True when some process has this one as its parent.
static bool aChildRuns()
{
    const QByteArray me = QByteArray::number(getpid());
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile status(QStringLiteral("/proc/%1/status").arg(pid));
        if (!status.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("PPid:") && line.mid(5).trimmed() == me)
                return true;
    }
    return false;
}

TEST_F(ShellRunners, AProgramThatEndsWhileAToolWritesLeavesNoOutputBehind)
{
    // The page measures the startup volume in the background; a quit at that
    // moment must not leave the run's own output file in the folder.
    // Both orderly ends: std::exit, and std::quick_exit, which the program
    // takes so as not to destroy what running workers use.
    GTEST_FLAG_SET(death_test_style, "fast");
    const QString folder = m_runnerDir.path();
    for (void (*end)(int) : {&std::exit, &std::quick_exit}) {
        EXPECT_EXIT(
            {
                std::thread([] {
                    execCommand(ToolCommand(QStringLiteral("diskutil"), {"slowinfo", "1", "late"}));
                }).detach();
                // Ends once the tool runs and the thread waits for it: the file
                // is made and a child of this process exists.
                for (int i = 0;
                     i < 500 && (QDir(folder).entryList(QDir::Files | QDir::Hidden).isEmpty() || !aChildRuns()); ++i)
                    usleep(10000);
                usleep(100000);
                end(QDir(folder).entryList(QDir::Files | QDir::Hidden).size() == 1 ? 0 : 3);
                std::_Exit(4);
            },
            ::testing::ExitedWithCode(0), "");
        EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList());
    }
}

TEST(QoCheckFolderExist, FolderYesFileMissingAndNullNo)
{
    TestSupport::TempRoot root;
    QDir().mkpath(root.at(QStringLiteral("/Volumes/NewCloneSystem")));
    TestSupport::writeFile(root.at(QStringLiteral("/Volumes/file")), "x");
    EXPECT_TRUE(QoCheckFolderExist(QStringLiteral("/Volumes/NewCloneSystem")));
    EXPECT_TRUE(QoCheckFolderExist(root.at(QStringLiteral("/Volumes/NewCloneSystem"))));
    EXPECT_FALSE(QoCheckFolderExist(QStringLiteral("/Volumes/file")));
    EXPECT_FALSE(QoCheckFolderExist(QStringLiteral("/Volumes/NewCloneSystem1")));
    EXPECT_FALSE(QoCheckFolderExist(QString()));
}
