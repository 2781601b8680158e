// The size sums of the pickers leave out what the jobs leave out.
#include "JobKeepOut.h"

#include "FileNode.h"
#include "GetFilesSize.h"
#include "SelectionKeepOut.h"

#include "Dispatch.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

class Report : public GetFilesSizeDelegate {
public:
    void allCopyFilesSize(qint64 size) override { this->size = size; }
    std::atomic<qint64> size{-1};
};

qint64 sum(const FileNodeArray &arr)
{
    Report report;
    GetFilesSize::create(&report)->getAllFilesSizeWithArr(arr);
    EXPECT_TRUE(TestSupport::waitUntil([&] { return report.size.load() >= 0; }));
    Platform::Dispatch::waitForGlobalQueue();
    return report.size;
}

FileNodePtr folder(const QString &path)
{
    return FileNode::initWithPath(path, path.mid(path.lastIndexOf(QLatin1Char('/')) + 1), true, nullptr);
}

} // namespace

TEST(JobKeepOutForSums, OtherVolumesUnderTheStartupVolumeAreNotCounted)
{
    TestSupport::TempRoot root;
    ASSERT_TRUE(TestSupport::writeFile(root.at(QStringLiteral("/Volumes/USB/big.bin")), QByteArray(1000, 'x')));
    ASSERT_TRUE(TestSupport::writeFile(root.at(QStringLiteral("/Applications/x")), QByteArray(200, 'x')));
    installJobKeepOutForSums();
    // The startup volume's top level with Volumes/ ticked, as the browser lists it.
    EXPECT_EQ(sum({folder(root.at(QStringLiteral("/Volumes"))), folder(root.at(QStringLiteral("/Applications")))}),
              200);
    // A volume mounted there and dropped on the card is itself the choice.
    EXPECT_EQ(sum({folder(root.at(QStringLiteral("/Volumes/USB")))}), 1000);
    SelectionKeepOut::install(nullptr);
}
