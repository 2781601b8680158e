#include <gtest/gtest.h>

#include "QoUSBControl.h"

#include "TestSupport.h"

#include <QDir>
#include <QStringList>

#include <ostream>

namespace
{

struct NameCase {
    const char *name;
    QStringList folders; // under /Volumes
    QStringList files;   // plain files under /Volumes
    QString expected;
};

void PrintTo(const NameCase &c, std::ostream *os)
{
    *os << c.name;
}

class QoUSBControlNames : public ::testing::TestWithParam<NameCase>
{
};

TEST_P(QoUSBControlNames, TakeTheFirstNameNoFolderHolds)
{
    const NameCase &c = GetParam();
    TestSupport::TempRoot root;
    QDir().mkpath(root.at(QStringLiteral("/Volumes")));
    for (const QString &f : c.folders)
        ASSERT_TRUE(QDir().mkpath(root.at(QStringLiteral("/Volumes/") + f)));
    for (const QString &f : c.files)
        ASSERT_TRUE(TestSupport::writeFile(root.at(QStringLiteral("/Volumes/") + f), "not a volume"));

    QoUSBControl *usb = QoUSBControl::QoShareInstance();
    usb->HlbCreateVolumeName();
    EXPECT_EQ(usb->QoGetMorvexVolumeName().toStdString(), c.expected.toStdString());
    EXPECT_EQ(usb->QoGetMorvexVolumePath().toStdString(), ("/Volumes/" + c.expected).toStdString());
}

INSTANTIATE_TEST_SUITE_P(
    Gaps, QoUSBControlNames,
    ::testing::Values(
        NameCase{"NoneTaken", {QStringLiteral("Travel Drive")}, {}, QStringLiteral("NewCloneSystem")},
        NameCase{"BaseTaken", {QStringLiteral("NewCloneSystem")}, {}, QStringLiteral("NewCloneSystem1")},
        NameCase{"BaseAndOneTaken",
                 {QStringLiteral("NewCloneSystem"), QStringLiteral("NewCloneSystem1")},
                 {},
                 QStringLiteral("NewCloneSystem2")},
        NameCase{"FirstGapWins",
                 {QStringLiteral("NewCloneSystem"), QStringLiteral("NewCloneSystem2")},
                 {},
                 QStringLiteral("NewCloneSystem1")},
        NameCase{"PlainFileDoesNotBlock", {}, {QStringLiteral("NewCloneSystem")}, QStringLiteral("NewCloneSystem")},
        NameCase{"PlainFileInTheRowDoesNotBlock",
                 {QStringLiteral("NewCloneSystem")},
                 {QStringLiteral("NewCloneSystem1")},
                 QStringLiteral("NewCloneSystem1")},
        // Names that merely begin like ours take nothing.
        NameCase{
            "SimilarNamesDoNotBlock",
            {QStringLiteral("NewCloneSystem 1"), QStringLiteral("NewCloneSystem01"), QStringLiteral("newclonesystem")},
            {},
            QStringLiteral("NewCloneSystem")},
        NameCase{"NoVolumesFolder", {}, {}, QStringLiteral("NewCloneSystem")}),
    [](const ::testing::TestParamInfo<NameCase> &info) { return std::string(info.param.name); });

TEST(QoUSBControl, EachChoiceReplacesTheLast)
{
    TestSupport::TempRoot root;
    QoUSBControl *usb = QoUSBControl::QoShareInstance();
    usb->HlbCreateVolumeName();
    EXPECT_EQ(usb->QoGetMorvexVolumeName(), QStringLiteral("NewCloneSystem"));
    ASSERT_TRUE(QDir().mkpath(root.at(QStringLiteral("/Volumes/NewCloneSystem"))));
    // The stored name stays until the next choice.
    EXPECT_EQ(usb->QoGetMorvexVolumeName(), QStringLiteral("NewCloneSystem"));
    usb->HlbCreateVolumeName();
    EXPECT_EQ(usb->QoGetMorvexVolumeName(), QStringLiteral("NewCloneSystem1"));
    EXPECT_EQ(usb->QoGetMorvexVolumePath(), QStringLiteral("/Volumes/NewCloneSystem1"));
}

} // namespace
