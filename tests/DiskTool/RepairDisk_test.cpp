// The Disk Manager page without disks: size texts, names, the usage bar, the
// grouped model and its row views, built from records the test makes.
#include "DiskManagerHost.h"

#include "CustomTableView.h"
#include "FormatEndViewController.h"
#include "FormatTypeViewController.h"
#include "MakeSureFormatViewController.h"
#include "RepairDiskTableCellView.h"
#include "RepairDiskViewController.h"
#include "WipeDiskProView.h"

#include "SortSelectBgView.h"
#include "TextImageButton.h"

#include "Clock.h"
#include "Dispatch.h"
#include "QoLinkUrl.h"
#include "SystemRoot.h"
#include "Workspace.h"

#include "TestSupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTextDocument>
#include <gtest/gtest.h>

using DiskToolTest::DiskManagerHost;
using Result = FormatEndViewController::Result;

namespace {

VolumeObjPtr record(const QString &name, bool ejectable, const QString &type = QStringLiteral("ExFAT"),
                    qint64 total = 64'000'000, qint64 free = 16'000'000, const QString &mount = {})
{
    auto v = std::make_shared<VolumeObj>();
    v->volumeName = name;
    v->bCanEject = ejectable;
    v->diskType = type;
    v->volumeTotalSizeNum = total;
    v->volumeFreeSizeNum = free;
    v->volumeTotalSize = RepairDiskViewController::byteToSizeWithByte(quint64(total));
    v->volumeFreeSize = RepairDiskViewController::byteToSizeWithByte(quint64(free));
    v->volumeMountPoint = mount.isNull() ? QStringLiteral("/Volumes/") + name : mount;
    v->diskUUID = QStringLiteral("UUID-") + name;
    return v;
}

using TestSupport::shownText;
using TestSupport::shownToolTip;

// A page on an empty root: its own first scan finds nothing.
class PageTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(host.waitForIdle()); }

    TestSupport::TempRoot root;
    DiskManagerHost host;
    RepairDiskViewController &page = *host.page;
};

} // namespace

TEST(DiskManagerTexts, SizeTextsStepInThousands)
{
    struct Row {
        quint64 bytes;
        const char *text;
    };
    const Row rows[] = {{0, "0 byte"},
                        {999, "999 byte"},
                        {1000, "1.00 KB"},
                        {999'999, "1000.00 KB"},
                        {1'000'000, "1.00 MB"},
                        {999'999'999'999ull, "1000.00 GB"},
                        {1'000'000'000'000ull, "1.00 TB"}};
    for (const Row &r : rows) {
        SCOPED_TRACE(r.bytes);
        EXPECT_EQ(RepairDiskViewController::byteToSizeWithByte(r.bytes), QString::fromLatin1(r.text));
    }
}

TEST(DiskManagerTexts, ChineseTestCountsOnlyTheInnerRange)
{
    struct Row {
        QString text;
        bool chinese;
    };
    const Row rows[] = {{QString(), false},
                        {QStringLiteral("Backup 2024"), false},
                        {QString(QChar(0x4E00)), false},
                        {QString(QChar(0x4E01)), true},
                        {QString(QChar(0x9FFE)), true},
                        {QString(QChar(0x9FFF)), false},
                        {QStringLiteral("备份"), true},
                        {QStringLiteral("USB 盘"), true},
                        {QStringLiteral("ディスク"), false}};
    for (const Row &r : rows) {
        SCOPED_TRACE(r.text.toStdString());
        EXPECT_EQ(RepairDiskViewController::containsChinese(r.text), r.chinese);
    }
}

TEST(DiskManagerTexts, Fat32AndEraseNames)
{
    EXPECT_EQ(RepairDiskViewController::fat32Name(QStringLiteral("my backup disk")), QStringLiteral("MY BACKUP D"));
    EXPECT_EQ(RepairDiskViewController::fat32Name(QStringLiteral("short")), QStringLiteral("SHORT"));
    EXPECT_EQ(RepairDiskViewController::fat32Name(QStringLiteral("exactly 11c")), QStringLiteral("EXACTLY 11C"));
    EXPECT_EQ(RepairDiskViewController::fat32Name(QStringLiteral("备份盘")), QStringLiteral("NEW"));
    EXPECT_EQ(RepairDiskViewController::fat32Name(QStringLiteral("my 备份")), QStringLiteral("NEW"));
    // A character of two UTF-16 units at the cut is left out whole.
    const QString emoji = QStringLiteral("abcdefghij") + QString::fromUcs4(U"\U0001F4BE") + QStringLiteral("z");
    EXPECT_EQ(RepairDiskViewController::fat32Name(emoji), QStringLiteral("ABCDEFGHIJ"));
    // The cut is made on the upper-case text, which may be the longer one.
    EXPECT_EQ(RepairDiskViewController::fat32Name(QStringLiteral("großstraße")), QStringLiteral("GROSSSTRASS"));
    EXPECT_EQ(RepairDiskViewController::fat32Name(QStringLiteral("ﬃ ﬃ ﬃ ﬃ")), QStringLiteral("FFI FFI FFI"));

    struct Row {
        QString typed;
        QString type;
        QString name;
    };
    const Row rows[] = {
        {QString(), QStringLiteral("ExFAT"), QStringLiteral("NEW")},
        {QStringLiteral(" "), QStringLiteral("Journaled HFS+"), QStringLiteral("NEW")},
        {QStringLiteral("  "), QStringLiteral("ExFAT"), QStringLiteral("  ")},
        {QStringLiteral("my backup disk"), QStringLiteral("ExFAT"), QStringLiteral("my backup disk")},
        {QStringLiteral("my backup disk"), QStringLiteral("MS-DOS FAT32"), QStringLiteral("MY BACKUP D")},
        {QStringLiteral("großstraße"), QStringLiteral("MS-DOS FAT32"), QStringLiteral("GROSSSTRASS")},
        {QString(), QStringLiteral("MS-DOS FAT32"), QStringLiteral("NEW")},
        {QStringLiteral("备份"), QStringLiteral("MS-DOS FAT32"), QStringLiteral("NEW")},
        {QStringLiteral("备份"), QStringLiteral("APFS"), QStringLiteral("备份")},
        // Only the exact type text takes the FAT32 rule.
        {QStringLiteral("lower"), QStringLiteral("FAT32"), QStringLiteral("lower")},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE((r.typed + QLatin1Char('/') + r.type).toStdString());
        EXPECT_EQ(RepairDiskViewController::eraseName(r.typed, r.type), r.name);
    }
}

TEST(DiskManagerTexts, UsageBarNeverDividesByZero)
{
    EXPECT_EQ(RepairDiskViewController::usedPercent(*record(QStringLiteral("a"), false, {}, 0, 0)), 0);
    EXPECT_EQ(RepairDiskViewController::usedPercent(*record(QStringLiteral("a"), false, {}, 0, 5)), 0);
    EXPECT_EQ(RepairDiskViewController::usedPercent(*record(QStringLiteral("a"), false, {}, 100, 25)), 75);
    EXPECT_EQ(RepairDiskViewController::usedPercent(*record(QStringLiteral("a"), false, {}, 100, 100)), 0);
    EXPECT_EQ(RepairDiskViewController::usedPercent(*record(QStringLiteral("a"), false, {}, 100, 0)), 100);
    // Free space above the size (an APFS container's) shows an empty bar.
    EXPECT_EQ(RepairDiskViewController::usedPercent(*record(QStringLiteral("a"), false, {}, 100, 300)), 0);
    // Not rounded to whole percents.
    EXPECT_DOUBLE_EQ(RepairDiskViewController::usedPercent(*record(QStringLiteral("a"), false, {}, 1000, 4)), 99.6);
    EXPECT_DOUBLE_EQ(RepairDiskViewController::usedPercent(
                         *record(QStringLiteral("a"), false, {}, 8'000'000'000'000, 1'000'000'000)),
                     99.9875);

    WipeDiskProView bar;
    bar.resize(340, 4);
    struct Row {
        float percent;
        float value;
    };
    for (const Row &r : {Row{0, 0}, Row{50, 170}, Row{99.8f, 340}, Row{100, 340}, Row{150, 340}, Row{-20, 0}}) {
        SCOPED_TRACE(r.percent);
        bar.changeProgressValue(r.percent);
        EXPECT_FLOAT_EQ(bar.value(), r.value);
    }
}

TEST_F(PageTest, OnlyInternalVolumes)
{
    const auto a =
        record(QStringLiteral("Macintosh HD"), false, QStringLiteral("APFS"), 500, 100, Platform::systemRoot());
    const auto b = record(QStringLiteral("Data"), false);
    page.scanDidEnd({a, b});
    EXPECT_EQ(host.rowTexts(),
              (QStringList{QStringLiteral("Internal"), QStringLiteral("Macintosh HD"), QStringLiteral("Data")}));
    EXPECT_EQ(page.inRowCount(), 2);
    EXPECT_EQ(page.selectIndex(), 1);
    EXPECT_EQ(page.selectVolume(), a);
    EXPECT_EQ(host.table()->rowCount(), 3);
    EXPECT_EQ(host.table()->rowHeight(0), 40);
    EXPECT_EQ(host.table()->rowHeight(1), 84);
    EXPECT_EQ(host.table()->rowHeight(2), 84);
}

TEST_F(PageTest, OnlyExternalVolumesSelectNothing)
{
    const auto x = record(QStringLiteral("Stick"), true);
    page.scanDidEnd({x});
    EXPECT_EQ(host.rowTexts(),
              (QStringList{QStringLiteral("Internal"), QStringLiteral("External"), QStringLiteral("Stick")}));
    EXPECT_EQ(page.inRowCount(), 0);
    EXPECT_EQ(page.selectIndex(), 1);
    EXPECT_EQ(page.selectVolume(), nullptr);
    EXPECT_EQ(host.table()->rowHeight(0), 40);
    EXPECT_EQ(host.table()->rowHeight(1), 40);
    EXPECT_EQ(host.table()->rowHeight(2), 84);
    // Row 1 is a heading: no row shows a button.
    for (const char *button : {"rename", "save", "format", "eject"})
        EXPECT_FALSE(host.isShown(2, QLatin1String(button))) << button;

    // Nothing to act on.
    page.formatButtonAction();
    EXPECT_TRUE(page.formatend());
    EXPECT_EQ(page.makeSureFormatVC(), nullptr);
}

TEST_F(PageTest, NoVolumeAtAll)
{
    page.scanDidEnd({});
    EXPECT_EQ(host.rowTexts(), QStringList{QStringLiteral("Internal")});
    EXPECT_EQ(page.selectVolume(), nullptr);
    EXPECT_EQ(host.table()->rowCount(), 1);
}

TEST_F(PageTest, MixedVolumesKeepScanOrderWithinTheirGroup)
{
    const auto x = record(QStringLiteral("Stick"), true);
    const auto a =
        record(QStringLiteral("Macintosh HD"), false, QStringLiteral("APFS"), 500, 100, Platform::systemRoot());
    const auto y = record(QStringLiteral("Camera"), true, QStringLiteral("MS-DOS FAT32"));
    const auto b = record(QStringLiteral("BOOTCAMP"), false, QStringLiteral("NTFS"));
    page.scanDidEnd({x, a, y, b});
    EXPECT_EQ(host.rowTexts(),
              (QStringList{QStringLiteral("Internal"), QStringLiteral("Macintosh HD"), QStringLiteral("BOOTCAMP"),
                           QStringLiteral("External"), QStringLiteral("Stick"), QStringLiteral("Camera")}));
    EXPECT_EQ(page.inRowCount(), 2);
    const int heights[] = {40, 84, 84, 40, 84, 84};
    for (int row = 0; row < 6; ++row)
        EXPECT_EQ(host.table()->rowHeight(row), heights[row]) << row;

    // Headings cannot be picked; any other row can.
    EXPECT_FALSE(page.shouldSelectRow(host.table(), 0));
    EXPECT_FALSE(page.shouldSelectRow(host.table(), 3));
    EXPECT_EQ(page.selectVolume(), a);
    host.clickRow(4);
    EXPECT_EQ(page.selectIndex(), 4);
    EXPECT_EQ(page.selectVolume(), x);
    EXPECT_EQ(host.table()->rowNum(), 4);
    host.clickRow(3);
    EXPECT_EQ(page.selectIndex(), 4);

    // Shown again: row 1 is selected once more.
    page.normalSelectCell();
    EXPECT_EQ(page.selectIndex(), 1);
    EXPECT_EQ(page.selectVolume(), a);
}

TEST_F(PageTest, ButtonsFollowTheSelectedRowAndItsVolume)
{
    const auto boot =
        record(QStringLiteral("Macintosh HD"), false, QStringLiteral("APFS"), 500, 100, Platform::systemRoot());
    const auto data = record(QStringLiteral("BOOTCAMP"), false, QStringLiteral("NTFS"));
    const auto stick = record(QStringLiteral("Stick"), true);
    page.scanDidEnd({boot, data, stick});

    struct Expect {
        int row;
        bool rename, format, eject;
    };
    auto check = [&](const Expect &e) {
        SCOPED_TRACE(e.row);
        for (int row = 1; row < host.table()->rowCount(); ++row) {
            if (row == 3)
                continue;
            const bool selected = row == e.row;
            EXPECT_EQ(host.isShown(row, QStringLiteral("rename")), selected && e.rename) << row;
            EXPECT_EQ(host.isShown(row, QStringLiteral("format")), selected && e.format) << row;
            EXPECT_EQ(host.isShown(row, QStringLiteral("eject")), selected && e.eject) << row;
            EXPECT_FALSE(host.isShown(row, QStringLiteral("save"))) << row;
            EXPECT_FALSE(host.isShown(row, QStringLiteral("editname"))) << row;
            EXPECT_TRUE(host.isShown(row, QStringLiteral("name"))) << row;
            EXPECT_FALSE(host.isShown(row, QStringLiteral("Tip"))) << row;
            const auto *cell = qobject_cast<RepairDiskTableCellView *>(host.cell(row));
            ASSERT_TRUE(cell);
            EXPECT_EQ(cell->isSelect(), selected);
            EXPECT_FALSE(cell->isStr());
        }
    };
    // The startup volume has no Format, an internal one no Eject.
    check({1, true, false, false});
    host.clickRow(2);
    check({2, true, true, false});
    host.clickRow(4);
    check({4, true, true, true});

    // Rename mode: the field and Save instead of the name and the other buttons.
    ASSERT_TRUE(host.clickButton(4, QStringLiteral("rename")));
    EXPECT_TRUE(page.isRenameEdit());
    EXPECT_TRUE(page.editStr().isNull());
    EXPECT_TRUE(host.isShown(4, QStringLiteral("save")));
    EXPECT_TRUE(host.isShown(4, QStringLiteral("editname")));
    EXPECT_FALSE(host.isShown(4, QStringLiteral("name")));
    for (const char *button : {"rename", "format", "eject"})
        EXPECT_FALSE(host.isShown(4, QLatin1String(button))) << button;
    auto *field = host.subview(4, QStringLiteral("editname"))->findChild<QLineEdit *>();
    ASSERT_TRUE(field);
    EXPECT_EQ(field->text(), QStringLiteral("Stick"));
    // Another row ends rename mode.
    host.clickRow(2);
    EXPECT_FALSE(page.isRenameEdit());
    check({2, true, true, false});
}

TEST_F(PageTest, RowViewsShowTheRecordAndHeadingsOnlyTheirText)
{
    const auto stick =
        record(QStringLiteral("Stick"), true, QStringLiteral("MS-DOS FAT32"), 2'000'000'000, 500'000'000);
    stick->volumeTotalSize = QStringLiteral("2.00 GB");
    page.scanDidEnd({stick});
    const int row = 2;
    EXPECT_EQ(host.subview<QLabel>(row, QStringLiteral("name"))->text(), QStringLiteral("Stick"));
    EXPECT_EQ(shownToolTip(host.subview<QLabel>(row, QStringLiteral("name"))), QStringLiteral("Stick"));
    EXPECT_EQ(host.subview<QLabel>(row, QStringLiteral("type"))->text(), QStringLiteral("MS-DOS FAT32"));
    EXPECT_EQ(host.subview<QLabel>(row, QStringLiteral("size"))->text(), QStringLiteral("1.50 GB/2.00 GB"));
    auto *pro = host.subview<WipeDiskProView>(row, QStringLiteral("pro"));
    ASSERT_TRUE(pro);
    EXPECT_FLOAT_EQ(pro->value(), pro->width() * 0.75f);
    // As wide as the table's superview less 10.
    EXPECT_EQ(host.cell(row)->width(), host.table()->parentWidget()->width() - 10);

    for (int heading : {0, 1}) {
        SCOPED_TRACE(heading);
        auto *cell = qobject_cast<RepairDiskTableCellView *>(host.cell(heading));
        ASSERT_TRUE(cell);
        EXPECT_TRUE(cell->isStr());
        for (QWidget *sub : cell->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            EXPECT_EQ(sub->isHidden(), sub->objectName() != QLatin1String("Tip")) << sub->objectName().toStdString();
    }
    EXPECT_EQ(host.subview<QLabel>(0, QStringLiteral("Tip"))->text(), QStringLiteral("Internal"));
    EXPECT_EQ(host.subview<QLabel>(1, QStringLiteral("Tip"))->text(), QStringLiteral("External"));
    EXPECT_FALSE(page.objectValueForTableColumn(host.table(), QStringLiteral("Name"), 2).isValid());
    EXPECT_FALSE(page.shouldEditTableColumn(host.table(), QStringLiteral("Name"), 2));
    EXPECT_FALSE(page.shouldSelectTableColumn(host.table(), QStringLiteral("Name")));
}

TEST_F(PageTest, NearlyFullVolumesBarShowsItsShareNotAWholePercent)
{
    struct Row {
        qint64 total;
        qint64 free;
        float share; // of the bar's width; 1 where the bar fills up
    };
    // 99.6 % of 340 points is 338.64, more than a point short of full; 99.8 %
    // is 339.32, within a point of it, so the bar is drawn full.
    const Row rows[] = {
        {1'000'000'000, 4'000'000, 0.996f}, {1'000'000'000, 2'000'000, 1.0f}, {2'000'000'000, 1'010'000'000, 0.495f}};
    for (const Row &r : rows) {
        SCOPED_TRACE(r.free);
        page.scanDidEnd({record(QStringLiteral("Stick"), true, QStringLiteral("ExFAT"), r.total, r.free)});
        auto *pro = host.subview<WipeDiskProView>(2, QStringLiteral("pro"));
        ASSERT_TRUE(pro);
        ASSERT_EQ(pro->width(), 340);
        EXPECT_NEAR(pro->value(), pro->width() * r.share, 0.01);
    }
}

TEST_F(PageTest, SaveWithAnEmptyOrSpaceNameRenamesNothing)
{
    const auto stick = record(QStringLiteral("Stick"), true);
    page.scanDidEnd({stick});
    host.clickRow(2);
    for (const QString &typed : {QString(), QStringLiteral(""), QStringLiteral(" ")}) {
        SCOPED_TRACE(typed.toStdString());
        ASSERT_TRUE(host.clickButton(2, QStringLiteral("rename")));
        if (!typed.isNull())
            page.controlTextDidChange(typed);
        ASSERT_TRUE(host.clickButton(2, QStringLiteral("save")));
        EXPECT_FALSE(page.isRenameEdit());
        EXPECT_TRUE(page.editStr().isNull());
        EXPECT_EQ(stick->volumeName, QStringLiteral("Stick"));
        EXPECT_TRUE(host.isShown(2, QStringLiteral("rename")));
        // Nothing was asked for, so nothing was refused.
        EXPECT_FALSE(page.renameEndVC());
    }
}

TEST_F(PageTest, TypingIsKeptAsTheEditText)
{
    page.scanDidEnd({record(QStringLiteral("Stick"), true)});
    host.clickRow(2);
    ASSERT_TRUE(host.clickButton(2, QStringLiteral("rename")));
    auto *field = host.subview(2, QStringLiteral("editname"))->findChild<QLineEdit *>();
    ASSERT_TRUE(field);
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("Trip"));
    EXPECT_EQ(page.editStr(), QStringLiteral("Trip"));
}

TEST_F(PageTest, ConfirmationIsFilledFromTheRecordAndItsMenuSetsTheType)
{
    Platform::ClockScaleGuard fast(30);
    const auto stick = record(QStringLiteral("Stick"), true, QStringLiteral("ExFAT"));
    page.scanDidEnd({stick});
    host.clickRow(2);
    ASSERT_TRUE(host.clickButton(2, QStringLiteral("format")));
    MakeSureFormatViewController *confirm = page.makeSureFormatVC();
    ASSERT_TRUE(confirm);
    EXPECT_FALSE(page.formatend());
    EXPECT_EQ(confirm->nameLabel()->text(), QStringLiteral("格式化 'Stick'?"));
    EXPECT_EQ(confirm->nodeLabel()->text(),
              QStringLiteral("格式化后，“Stick”上的所有数据都将被删除，您要进行格式化吗？"));
    EXPECT_EQ(confirm->nameTextFiled()->text(), QStringLiteral("Stick"));
    EXPECT_TRUE(TestSupport::waitUntil([&] { return !confirm->nameTextFiled()->isReadOnly(); }));
    EXPECT_EQ(confirm->typeLabel()->text(), QStringLiteral("ExFAT"));
    EXPECT_EQ(confirm->typeLabel()->palette().color(QPalette::WindowText), QColor(58, 58, 58));
    EXPECT_TRUE(confirm->typeSelectBut()->isEnabled());
    EXPECT_FALSE(confirm->openImageV()->isHidden());
    EXPECT_EQ(confirm->okButton()->textField()->text(), QStringLiteral("继续"));
    EXPECT_EQ(confirm->noButton()->textField()->text(), QStringLiteral("取消"));

    // Left alone, the menu closes after its 3 seconds.
    QTest::mouseClick(confirm->typeSelectBut(), Qt::LeftButton);
    ASSERT_TRUE(confirm->sortAttachedWindow());
    EXPECT_TRUE(confirm->isPopSortWin());
    EXPECT_TRUE(TestSupport::waitUntil([&] { return !confirm->sortAttachedWindow(); }, 5000));

    // With the pointer in it, it stays until the pointer leaves.
    QTest::mouseClick(confirm->typeSelectBut(), Qt::LeftButton);
    FormatTypeViewController *menu = confirm->formatTypeVC();
    ASSERT_TRUE(menu);
    menu->mouseEntered();
    EXPECT_FALSE(confirm->isPopSortWin());
    QTest::qWait(Platform::Clock::realMs(4));
    EXPECT_TRUE(confirm->sortAttachedWindow());
    // Hover turns one label white; leaving any row turns them all back.
    menu->mouseInView(true, 2);
    EXPECT_EQ(menu->rowLabel(2)->palette().color(QPalette::WindowText), QColor(255, 255, 255));
    menu->mouseInView(false, 2);
    EXPECT_EQ(menu->rowLabel(2)->palette().color(QPalette::WindowText), QColor(58, 58, 58));
    // An index outside the table changes nothing; a row click sets its type and closes.
    confirm->selectFormatbyType(7);
    EXPECT_EQ(confirm->typeLabel()->text(), QStringLiteral("ExFAT"));
    QTest::mouseClick(menu->rowView(2), Qt::LeftButton);
    EXPECT_EQ(confirm->typeLabel()->text(), QStringLiteral("Journaled HFS+"));
    EXPECT_TRUE(TestSupport::waitUntil([&] { return !confirm->sortAttachedWindow(); }));

    QPointer<MakeSureFormatViewController> guard = confirm;
    QTest::mouseClick(confirm->noButton(), Qt::LeftButton);
    EXPECT_TRUE(page.formatend());
    EXPECT_TRUE(TestSupport::waitUntil([&] { return guard.isNull(); }));
}

TEST_F(PageTest, ApfsVolumeKeepsItsTypeInTheConfirmation)
{
    page.scanDidEnd({record(QStringLiteral("Fast"), true, QStringLiteral("APFS"))});
    host.clickRow(2);
    ASSERT_TRUE(host.clickButton(2, QStringLiteral("format")));
    MakeSureFormatViewController *confirm = page.makeSureFormatVC();
    ASSERT_TRUE(confirm);
    EXPECT_EQ(confirm->typeLabel()->text(), QStringLiteral("APFS"));
    EXPECT_EQ(confirm->typeLabel()->palette().color(QPalette::WindowText), QColor(218, 220, 224));
    EXPECT_FALSE(confirm->typeSelectBut()->isEnabled());
    EXPECT_TRUE(confirm->openImageV()->isHidden());
    QTest::mouseClick(confirm->noButton(), Qt::LeftButton);
}

TEST_F(PageTest, DonePanelTellsSuccessFromFailure)
{
    QStringList texts;
    for (Result r : {Result::Succeeded, Result::Failed, Result::VolumeChanged, Result::NameKept}) {
        page.showFormatEndWindow(r);
        ASSERT_TRUE(page.formatEndVC());
        EXPECT_EQ(page.formatEndVC()->result(), r);
        texts << page.formatEndVC()->endLabel()->text();
    }
    EXPECT_EQ(QSet<QString>(texts.begin(), texts.end()).size(), 4);
    EXPECT_EQ(texts.first(), QStringLiteral("格式化完成。"));
    QPointer<FormatEndViewController> done = page.formatEndVC();
    QTest::mouseClick(done->closeButton(), Qt::LeftButton);
    EXPECT_TRUE(TestSupport::waitUntil([&] { return done.isNull(); }));
}

TEST_F(PageTest, HelpOpensTheSupportTeamLink)
{
    Platform::Workspace &workspace = Platform::Workspace::shared();
    workspace.setRecordingOpens(true);
    workspace.clearOpenedItems();
    QTest::mouseClick(page.helpButton(), Qt::LeftButton);
    const QString url = QoLinkUrl::GetUrl(QStringLiteral("SupportTeam"));
    ASSERT_FALSE(url.isEmpty());
    EXPECT_EQ(workspace.openedItems(), QStringList{url});
    workspace.clearOpenedItems();
    workspace.setRecordingOpens(false);
}

TEST_F(PageTest, RescansAskedForDuringAScanRunOneAfterTheOther)
{
    const int scans = page.scanCount();
    page.getallVolumes();
    page.getallVolumes();
    page.getallVolumes();
    ASSERT_TRUE(host.waitForScanAfter(scans + 1));
    // The three requests made one scan and one more after it, never two at once.
    Platform::Dispatch::waitForGlobalQueue();
    QCoreApplication::processEvents();
    EXPECT_EQ(page.scanCount(), scans + 2);
    EXPECT_FALSE(page.isScanV());
}

TEST_F(PageTest, NamesAndTypesFromTheDiskAreShownAsTheyAre)
{
    Platform::ClockScaleGuard fast(30);
    const QString name = QStringLiteral("Backup <b>2024</b> <img src=\"/etc/hostname\">");
    const QString type = QStringLiteral("<i>ExFAT</i>");
    page.scanDidEnd({record(name, true, type)});
    const int row = 2;
    for (const char *id : {"name", "type", "size"}) {
        SCOPED_TRACE(id);
        QLabel *label = host.subview<QLabel>(row, QString::fromLatin1(id));
        ASSERT_TRUE(label);
        EXPECT_EQ(shownText(label), label->text());
        EXPECT_EQ(shownToolTip(label), label->text());
    }
    EXPECT_EQ(host.subview<QLabel>(row, QStringLiteral("name"))->text(), name);
    EXPECT_EQ(host.subview<QLabel>(row, QStringLiteral("type"))->text(), type);

    host.clickRow(row);
    ASSERT_TRUE(host.clickButton(row, QStringLiteral("format")));
    MakeSureFormatViewController *confirm = page.makeSureFormatVC();
    ASSERT_TRUE(confirm);
    EXPECT_EQ(shownText(confirm->nameLabel()), QStringLiteral("格式化 '%1'?").arg(name));
    EXPECT_EQ(shownText(confirm->nodeLabel()),
              QStringLiteral("格式化后，“%1”上的所有数据都将被删除，您要进行格式化吗？").arg(name));
    EXPECT_EQ(shownText(confirm->typeLabel()), type);
    confirm->noButtonAction();
}
