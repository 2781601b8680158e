// A world volume takes what fits and no more: every chunk a copy writes is
// held to the volume's live use, also when someone else fills it meanwhile.
#include "DiskWorldFixture.h"
#include "DoCopyFiles.h"

#include "FileManager.h"
#include "SpaceProvider.h"
#include "SystemLog.h"
#include "TreeWalker.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>

using Platform::FileManager;
using TestSupport::DiskWorldFixture;

namespace {

class Ends : public DoCopyFilesDelegate {
public:
    void topCopyProgress(float progress) override { events.append(QString::number(double(progress))); }
    void copyFileError() override { events.append(QStringLiteral("error")); }
    QStringList events;
};

class CopyCapacityTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(world.ok()) << world.error().toStdString();
        mount = world.mountPoint(QStringLiteral("BACKUP"));
        ASSERT_FALSE(mount.isEmpty());
        const std::optional<qint64> space = Platform::DiskWorld::spaceFor(mount + QStringLiteral("/x"));
        ASSERT_TRUE(space);
        free = *space;
        used = qint64(Platform::TreeWalker::totalSize(mount));
        ASSERT_GT(free, 4 << 20);
    }
    // Files of `each` bytes in a folder of the test's own.
    QString source(int count, qint64 each)
    {
        const QString dir = m_dir.filePath(QStringLiteral("src"));
        for (int i = 0; i < count; ++i)
            EXPECT_TRUE(TestSupport::writeFile(dir + QStringLiteral("/f%1").arg(i), QByteArray(each, 'x')));
        return dir;
    }
    qint64 added() const { return qint64(Platform::TreeWalker::totalSize(mount)) - used; }

    DiskWorldFixture world;
    QString mount;
    qint64 free = 0;
    qint64 used = 0;
    QTemporaryDir m_dir;
};

} // namespace

TEST_F(CopyCapacityTest, AnotherWriterFillingTheVolumeMidCopyMakesTheCopyFailWithinCapacity)
{
    // The copy fits when it starts; then another writer takes most of what is left.
    const QString src = source(8, free / 16);
    const int parallelism = FileManager::copyParallelism();
    std::atomic<bool> filled{false};
    FileManager::setCopyFaultHook([&](const QString &) {
        if (!filled.exchange(true))
            TestSupport::writeFile(mount + QStringLiteral("/filler.bin"), QByteArray(free - free / 8, 'f'));
        return false;
    });
    for (int workers : {1, 4}) {
        SCOPED_TRACE(workers);
        filled = false;
        QFile::remove(mount + QStringLiteral("/filler.bin"));
        FileManager::setCopyParallelism(workers);
        QString error;
        EXPECT_FALSE(FileManager::defaultManager().copyItem(src, mount + QStringLiteral("/copy"), &error));
        EXPECT_TRUE(filled.load());
        EXPECT_TRUE(error.contains(QString::fromLocal8Bit(strerror(ENOSPC)))) << error.toStdString();
        EXPECT_LE(added(), free) << "the volume holds no more than its capacity";
        EXPECT_FALSE(QFileInfo::exists(mount + QStringLiteral("/copy")));
    }
    FileManager::setCopyFaultHook({});
    FileManager::setCopyParallelism(parallelism);
}

TEST_F(CopyCapacityTest, ACopyJobThatDoesNotFitEndsInFailureNotAt100)
{
    // Items that fit one by one but not all together.
    const QString src = source(3, free / 2 + 4096);
    FileNodeArray arr;
    for (const QString &name : QDir(src).entryList(QDir::Files, QDir::Name))
        arr.append(FileNode::initWithPath(src + QLatin1Char('/') + name, name, false, nullptr));
    const QString dest = mount + QStringLiteral("/KestrovaDiskClone(2026-12-10 10:00:00)");
    ASSERT_TRUE(QDir().mkpath(dest));
    Platform::SystemLogCapture log;
    Ends ends;
    DoCopyFiles engine(&ends);
    engine.doCopyFilesWithArr(arr, dest, mount);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !engine.isRunning(); }, 60000));
    EXPECT_EQ(ends.events.last(), QStringLiteral("error"));
    EXPECT_FALSE(ends.events.contains(QStringLiteral("100")));
    EXPECT_LE(added(), free);
    EXPECT_EQ(engine.failedItemCount(), 2);
}
