#include <gtest/gtest.h>

#include "DiskTestSupport.h"
#include "QoLog.h"

#include "SecureFile.h"
#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimeZone>

#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace DiskTest;

namespace {

// The log lies in a folder shared like /tmp.
class LogFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(chmod(encoded(m_dir.path()).constData(), 01777), 0);
        m_path = m_dir.filePath(QStringLiteral("Talberow.txt"));
        QoUninitLog();
        QoSetLogPath(m_path);
    }
    void TearDown() override
    {
        QoUninitLog();
        QoSetLogPath({});
        QoSetLogClock({});
    }
    QStringList lines() const
    {
        return QString::fromUtf8(TestSupport::readFile(m_path)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    QTemporaryDir m_dir;
    QString m_path;
};

} // namespace

TEST(QoLogPath, DefaultsToTalberowInTmp)
{
    QoSetLogPath({});
    EXPECT_EQ(QoLogPath(), QStringLiteral("/tmp/Talberow.txt"));
}

TEST_F(LogFile, LineBeginsWithTheLocalTimeAndTwoSpaces)
{
    QoSetLogClock([] { return QDateTime(QDate(2024, 3, 2), QTime(9, 5, 3)); });
    EXPECT_EQ(QoLog("erase %s: %d", "disk4", -3), 0);
    EXPECT_EQ(QoLog("plain"), 0);
    EXPECT_EQ(TestSupport::readFile(m_path), QByteArray("2024-03-02 09:05:03  erase disk4: -3\n"
                                                        "2024-03-02 09:05:03  plain\n"));
}

TEST_F(LogFile, RealClockLineFormat)
{
    ASSERT_EQ(QoLog("%s", "名字"), 0);
    const QStringList l = lines();
    ASSERT_EQ(l.size(), 1);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}  名字$"))
                    .match(l.first())
                    .hasMatch())
        << l.first().toStdString();
}

TEST_F(LogFile, AppendsAcrossCloseAndReopen)
{
    TestSupport::writeFile(m_path, "earlier line\n");
    EXPECT_EQ(QoInitLog(), 0);
    EXPECT_EQ(QoInitLog(), 0);
    QoLog("one");
    EXPECT_EQ(QoUninitLog(), 0);
    QoLog("two");
    const QStringList l = lines();
    ASSERT_EQ(l.size(), 3);
    EXPECT_EQ(l[0], QStringLiteral("earlier line"));
    EXPECT_TRUE(l[1].endsWith(QStringLiteral("  one")));
    EXPECT_TRUE(l[2].endsWith(QStringLiteral("  two")));
}

TEST_F(LogFile, NullFormatWritesNothing)
{
    EXPECT_EQ(QoLog(nullptr), -1);
    EXPECT_EQ(QoLog("after"), 0);
    EXPECT_EQ(lines().size(), 1);
}

TEST_F(LogFile, UnopenableFileFailsEveryCall)
{
    QoSetLogPath(m_dir.filePath(QStringLiteral("missing-folder/Talberow.txt")));
    EXPECT_EQ(QoInitLog(), -1);
    EXPECT_EQ(QoLog("lost"), -1);
    EXPECT_EQ(QoLog("lost again"), -1);
    // A folder standing under the name is not taken away.
    QDir().mkpath(m_path);
    QoSetLogPath(m_path);
    EXPECT_EQ(QoInitLog(), -1);
    EXPECT_TRUE(QFileInfo(m_path).isDir());
}

TEST_F(LogFile, PlantedEntriesAreReplacedNeverWrittenThrough)
{
    QTemporaryDir elsewhere;
    const QString victim = elsewhere.filePath(QStringLiteral("victim"));
    struct Plant {
        const char *what;
        std::function<void()> plant;
    };
    const Plant plants[] = {
        {"link to a file",
         [&] {
             ASSERT_EQ(symlink(encoded(victim).constData(), encoded(m_path).constData()), 0);
             ASSERT_EQ(lchown(encoded(m_path).constData(), kOtherUser, kOtherUser), 0);
         }},
        {"dangling link",
         [&] { ASSERT_EQ(symlink(encoded(elsewhere.filePath("new")).constData(), encoded(m_path).constData()), 0); }},
        {"file of another user",
         [&] {
             TestSupport::writeFile(m_path, "planted\n");
             ASSERT_EQ(chown(encoded(m_path).constData(), kOtherUser, kOtherUser), 0);
         }},
        {"hard link to root's file",
         [&] { ASSERT_EQ(link(encoded(victim).constData(), encoded(m_path).constData()), 0); }},
        {"fifo", [&] { ASSERT_EQ(mkfifo(encoded(m_path).constData(), 0666), 0); }},
    };
    for (const Plant &p : plants) {
        SCOPED_TRACE(p.what);
        QoUninitLog();
        QFile::remove(m_path);
        TestSupport::writeFile(victim, "precious\n");
        p.plant();
        ASSERT_EQ(QoLog("entry"), 0);
        EXPECT_EQ(TestSupport::readFile(victim), "precious\n");
        EXPECT_FALSE(QFileInfo::exists(elsewhere.filePath("new")));
        struct stat st;
        ASSERT_EQ(lstat(encoded(m_path).constData(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode));
        EXPECT_EQ(st.st_uid, geteuid());
        EXPECT_EQ(st.st_nlink, 1u);
        ASSERT_EQ(lines().size(), 1);
        EXPECT_TRUE(lines().first().endsWith(QStringLiteral("  entry")));
    }
}

TEST_F(LogFile, ConcurrentLinesAreWrittenWhole)
{
    constexpr int kThreads = 8, kLines = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i)
                QoLog("thread %d line %d %s", t, i, "padding padding padding padding padding");
        });
    for (auto &th : threads)
        th.join();
    const QStringList l = lines();
    ASSERT_EQ(l.size(), kThreads * kLines);
    const QRegularExpression whole(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d  thread \\d line \\d+ "
                                                  "padding padding padding padding padding$"));
    for (const QString &line : l)
        ASSERT_TRUE(whole.match(line).hasMatch()) << line.toStdString();
}

TEST(SecureFile, TruncateKeepsOwnFileAndEmptiesIt)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("f"));
    TestSupport::writeFile(path, "old contents");
    struct stat before;
    ASSERT_EQ(lstat(encoded(path).constData(), &before), 0);
    Platform::SecureFile f = Platform::SecureFile::openForWriting(path, Platform::SecureFile::Mode::Truncate);
    ASSERT_TRUE(f.isOpen());
    EXPECT_TRUE(f.write("new"));
    f.close();
    struct stat after;
    ASSERT_EQ(lstat(encoded(path).constData(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(TestSupport::readFile(path), "new");
}
