#include <gtest/gtest.h>

#include "DiskTestSupport.h"

#include "GetColor.h"
#include "QoPublicUtilities.h"

#include "SystemInfo.h"
#include "SystemLog.h"

namespace {

class SystemInfoReset {
public:
    ~SystemInfoReset() { Platform::SystemInfo::resetOverrides(); }
};

} // namespace

TEST(QoPublicUtilities, SizeTextsAtTheirBoundaries)
{
    const std::pair<qint64, const char *> cases[] = {
        {-1, "-1 byte"},
        {0, "0 byte"},
        {999, "999 byte"},
        {1000, "1.00 KB"},
        {999999, "1000.00 KB"},
        {1000000, "1.00 MB"},
        {999999999, "1000.00 MB"},
        {1000000000, "1.00 GB"},
        // The quotient held in single precision rounds up to the next thousand.
        {999999999999, "1000.00 GB"},
        {1000000000000, "1.00 TB"},
        {2500000000000, "2.50 TB"},
    };
    for (const auto &[bytes, text] : cases) {
        EXPECT_EQ(QoPublicUtilities::longlongConvertVolSpace(bytes), QString::fromLatin1(text)) << bytes;
        EXPECT_EQ(QoPublicUtilities::longlongDiskSize(bytes), QString::fromLatin1(text)) << bytes;
    }
}

TEST(QoPublicUtilities, FileBrowserSizesStopAtGB)
{
    EXPECT_EQ(QoPublicUtilities::convertVolSpace(999), QStringLiteral("999 byte"));
    EXPECT_EQ(QoPublicUtilities::convertVolSpace(1500), QStringLiteral("1.50 KB"));
    EXPECT_EQ(QoPublicUtilities::convertVolSpace(1000000000), QStringLiteral("1.00 GB"));
    EXPECT_EQ(QoPublicUtilities::convertVolSpace(2000000000000ull), QStringLiteral("2000.00 GB"));
    // Unsigned: the largest count is not a negative one.
    EXPECT_EQ(QoPublicUtilities::convertVolSpace(18446744073709551615ull), QStringLiteral("18446743552.00 GB"));
}

TEST(QoPublicUtilities, VersionNumberIsMajorTimesHundredPlusMinor)
{
    SystemInfoReset reset;
    struct Case {
        int major, minor, bugFix, number;
    };
    for (const Case &c : {Case{10, 9, 5, 1009}, Case{10, 15, 7, 1015}, Case{11, 0, 1, 1100}, Case{11, 1, 0, 1101},
                          Case{12, 0, 0, 1200}, Case{13, 4, 1, 1304}, Case{10, 3, 9, 1003}, Case{10, 2, 8, 1002}}) {
        Platform::SystemInfo::setSystemVersion(Platform::SystemVersion{c.major, c.minor, c.bugFix});
        EXPECT_EQ(QoPublicUtilities::getSystemVersion(), c.number) << c.major << "." << c.minor;
        qint32 major = -1, minor = -1, bugFix = -1;
        QoPublicUtilities::getSystemVersionMajor(&major, &minor, &bugFix);
        EXPECT_EQ(major, c.major);
        EXPECT_EQ(minor, c.minor);
        EXPECT_EQ(bugFix, c.bugFix);
    }
}

TEST(QoPublicUtilities, VersionPartsTakeNullOutPointers)
{
    SystemInfoReset reset;
    Platform::SystemInfo::setSystemVersion(Platform::SystemVersion{14, 2, 1});
    qint32 minor = 0;
    QoPublicUtilities::getSystemVersionMajor(nullptr, &minor, nullptr);
    EXPECT_EQ(minor, 2);
}

TEST(QoPublicUtilities, UnreadableVersionIsLoggedAndTakenAs10_0_0)
{
    SystemInfoReset reset;
    Platform::SystemLogCapture log;
    Platform::SystemInfo::setSystemVersion(std::nullopt);
    EXPECT_EQ(QoPublicUtilities::getSystemVersion(), 1000);
    EXPECT_TRUE(log.contains(QStringLiteral("Unable to obtain system version: -5551")));
}

TEST(QoPublicUtilities, NetworkIsUsableOnlyWhenReachableWithoutAConnection)
{
    SystemInfoReset reset;
    const std::pair<std::optional<quint32>, bool> cases[] = {
        {std::nullopt, false}, {0u, false}, {2u, true}, {4u, false}, {6u, false}, {2u | 8u, true}, {1u, false},
    };
    for (const auto &[flags, usable] : cases) {
        Platform::SystemInfo::setReachabilityFlags(flags);
        EXPECT_EQ(QoPublicUtilities::isCanBeUseNetWork(), usable) << (flags ? int(*flags) : -1);
    }
}

TEST(GetColor, ComponentsOf255AndAlphaAsItIs)
{
    const QColor c = getColor(163, 160, 161, 1);
    EXPECT_EQ(c.red(), 163);
    EXPECT_EQ(c.green(), 160);
    EXPECT_EQ(c.blue(), 161);
    EXPECT_FLOAT_EQ(c.alphaF(), 1.0f);
    const QColor clear = getColor(0, 0, 255, 0.5f);
    EXPECT_FLOAT_EQ(clear.blueF(), 1.0f);
    EXPECT_NEAR(clear.alphaF(), 0.5, 0.002);
}
