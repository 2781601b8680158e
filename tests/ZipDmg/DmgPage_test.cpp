// The Disk Image page on a world of its own: its rules, its checks and
// refusals, the format choice, the start timer and the stop, and which size
// the image is made for.
#include "DmgPageRig.h"
#include "MakeDmgTestRig.h"

#include "LComboBox.h"
#include "SetpViewController.h"
#include "WorldLockHolder.h"

#include "QoImage.h"
#include "QoPublicUtilities.h"

#include <QDir>
#include <QPushButton>
#include <QTextDocument>

using DmgPageRig::bubbleText;
using DmgPageRig::PageOnWorld;

namespace {

// What the success label reads, whatever markup colours its link phrase.
QString shownText(const QLabel *label)
{
    QTextDocument doc;
    doc.setHtml(label->text());
    return doc.toPlainText();
}

// The card's button shows the named image.
bool showsImage(QPushButton *button, const QString &name)
{
    const QSize size = button->iconSize();
    const QImage shown = button->icon().pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage wanted = QoImage::named(name).pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
    return !shown.isNull() && shown.scaled(wanted.size()) == wanted;
}

VolumeObjPtr volume(const QString &name, const QString &path, qint64 total, qint64 free)
{
    auto v = std::make_shared<VolumeObj>();
    v->volumeName = name;
    v->volumePath = path;
    v->volumeMountPoint = path;
    v->volumeTotalSizeNum = total;
    v->volumeFreeSizeNum = free;
    v->volumeFreeSize = QStringLiteral("%1 B").arg(free);
    v->bCanEject = true;
    return v;
}

} // namespace

TEST(DmgPageRules, TargetFolderForEachKindOfTarget)
{
    const QString root = Platform::systemRoot();
    struct Case {
        QString path;
        int version;
        QString expected;
    } cases[] = {
        {QStringLiteral("/Volumes/BACKUP"), 1304, QStringLiteral("/Volumes/BACKUP")},
        {QStringLiteral("/"), 1015, QStringLiteral("/Users/anna/Desktop")},
        {QStringLiteral("/"), 1014, QStringLiteral("/")},
        {QStringLiteral("/"), 1013, QStringLiteral("/")},
        {root, 1304, QStringLiteral("/Users/anna/Desktop")},
    };
    for (const Case &c : cases)
        EXPECT_EQ(DmgViewController::targetFolder(c.path, c.version, QStringLiteral("anna")), c.expected)
            << c.path.toStdString() << " " << c.version;
}

TEST(DmgPageRules, StatusLineShowsPlainTextsWholeAndZipOutputByEntry)
{
    struct Case {
        QString text;
        QString expected;
    } cases[] = {
        {QStringLiteral("正在枚举文件..."), QStringLiteral("正在枚举文件...")},
        {QStringLiteral("制作镜像中..."), QStringLiteral("制作镜像中...")},
        {QString(), QString()},
        {QStringLiteral("  adding: /a/b.txt (stored 0%)\n"), QStringLiteral("adding: /a/b.txt (stored 0%)")},
        {QStringLiteral("  adding: /a/ (stored 0%)\n  adding: /a/c.txt (deflated 40%)\n"),
         QStringLiteral("adding: /a/c.txt (deflated 40%)")},
        {QStringLiteral("first\nsecond"), QStringLiteral("first\nsecond")},
    };
    for (const Case &c : cases)
        EXPECT_EQ(DmgViewController::statusLineForText(c.text), c.expected);
}

TEST(DmgPageRules, CheckedPathsAreTakenDepthFirst)
{
    using MakeDmgRig::node;
    const FileNodeArray nodes{
        node(QStringLiteral("/v/A"), FileNode::PartlyChecked,
             {node(QStringLiteral("/v/A/x"), FileNode::Checked), node(QStringLiteral("/v/A/y"), FileNode::Unchecked),
              node(QStringLiteral("/v/A/z"), FileNode::PartlyChecked,
                   {node(QStringLiteral("/v/A/z/1"), FileNode::Checked)})}),
        node(QStringLiteral("/v/B"), FileNode::Unchecked),
        node(QStringLiteral("/v/C"), FileNode::Checked),
    };
    QStringList paths;
    DmgViewController::getZipFilePathArr(nodes, paths);
    EXPECT_EQ(paths, (QStringList{QStringLiteral("/v/A/x"), QStringLiteral("/v/A/z/1"), QStringLiteral("/v/C")}));
}

TEST_F(PageOnWorld, StartsOnTheSelectionScreenWithDmgChosen)
{
    EXPECT_FALSE(page->selectDiskView()->isHidden());
    EXPECT_TRUE(page->copyProgressView()->isHidden());
    EXPECT_TRUE(page->comboBoxView()->isHidden());
    EXPECT_FALSE(page->cloneButton()->isButtonUsable());
    EXPECT_EQ(page->cloneButton()->textField()->text(), QStringLiteral("现在制作"));
    EXPECT_FALSE(page->isMakeZip());
    EXPECT_TRUE(page->makeDmgBut()->isChecked());
    EXPECT_FALSE(page->makeZipBut()->isChecked());
    EXPECT_EQ(page->setpVC()->aIndex(), 1);
    EXPECT_EQ(page->setpVC()->stepImageName(), QStringLiteral("step3-1"));
    EXPECT_EQ(page->failCancelButton()->textField()->text(), QStringLiteral("取消"));
    // Both cards show the "+" image from the first visit on.
    EXPECT_TRUE(showsImage(page->selectFromVC()->selectDiskBut(), QStringLiteral("add")));
    EXPECT_TRUE(showsImage(page->selectToVC()->selectDiskBut(), QStringLiteral("add")));
    TestSupport::saveScreenshot(page.get(), QStringLiteral("dmgpage_start"));

    QTest::mouseClick(page->makeZipBut(), Qt::LeftButton);
    EXPECT_TRUE(page->isMakeZip());
    EXPECT_TRUE(page->makeZipBut()->isChecked());
    QTest::mouseClick(page->makeDmgBut(), Qt::LeftButton);
    EXPECT_FALSE(page->isMakeZip()) << "ZIP, then DMG, makes a DMG";
    EXPECT_FALSE(page->makeZipBut()->isChecked());
}

TEST_F(PageOnWorld, SameVolumeIsRefusedOnTheSideOfTheSecondChoice)
{
    ASSERT_TRUE(pick(1, QStringLiteral("Travel Drive")));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page->fromeVolume() != nullptr; }));
    ASSERT_TRUE(pick(2, QStringLiteral("Travel Drive")));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page->isErrorPopWin(); }));
    EXPECT_EQ(bubbleText(*page), DmgViewController::sameVolumeText());
    EXPECT_FALSE(page->toVolume());
    EXPECT_EQ(page->freeSize(), -1);
    EXPECT_FALSE(page->cloneButton()->isButtonUsable());
    EXPECT_EQ(page->selectToVC()->bgImageName(), QStringLiteral("source_sel_error"));
    TestSupport::saveScreenshot(page.get(), QStringLiteral("dmgpage_bubble"));
    ASSERT_TRUE(page->errorPopWin());
    TestSupport::saveScreenshot(page->errorPopWin(), QStringLiteral("dmgpage_bubble_window"));

    // The other way round: the source is refused and cleared.
    ASSERT_TRUE(pick(2, QStringLiteral("BACKUP")));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page->toVolume() != nullptr; }));
    EXPECT_TRUE(page->cloneButton()->isButtonUsable());
    EXPECT_EQ(page->selectToVC()->sizeLabel()->text(), page->toVolume()->volumeFreeSize + QStringLiteral("空闲"));
    ASSERT_TRUE(pick(1, QStringLiteral("BACKUP")));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !page->fromeVolume(); }));
    EXPECT_EQ(page->usedSize(), -1);
    EXPECT_FALSE(page->cloneButton()->isButtonUsable());
    EXPECT_FALSE(page->comboBoxView()->isHidden()) << "a refused source leaves the combo box where it was";
}

TEST_F(PageOnWorld, SpaceCheckAndDropAndEmptySelection)
{
    page->selectDiskButton(1, page->selectFromVC());
    page->doSelectDiskWithVolume(volume(QStringLiteral("Big"), QStringLiteral("/Volumes/Big"), 1000, 100));
    page->closeErrorWindow();
    page->selectDiskButton(2, page->selectToVC());
    page->doSelectDiskWithVolume(volume(QStringLiteral("Small"), QStringLiteral("/Volumes/Small"), 1000, 899));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page->isErrorPopWin(); }));
    EXPECT_EQ(bubbleText(*page), DmgViewController::noSpaceText());
    EXPECT_FALSE(page->cloneButton()->isButtonUsable());

    // Free space equal to the used size passes.
    page->selectDiskButton(2, page->selectToVC());
    page->doSelectDiskWithVolume(volume(QStringLiteral("Fits"), QStringLiteral("/Volumes/Fits"), 1000, 900));
    EXPECT_TRUE(page->cloneButton()->isButtonUsable());

    // A drop: size 0, its own texts.
    const QString a = world.at(QStringLiteral("/dropped/a.txt"));
    ASSERT_TRUE(TestSupport::writeFile(a, "aaa"));
    page->viewDragAction(SelectValueView::eumeArr({a}));
    EXPECT_TRUE(page->isDragValue());
    EXPECT_EQ(page->selectFilesSize(), 0);
    EXPECT_EQ(page->selectFromVC()->nameLabel()->text(), QStringLiteral("拖动部分文件"));
    EXPECT_EQ(page->selectFromVC()->sizeLabel()->text(), QStringLiteral("1个文件被选择"));

    // Every ticked item unticked again: refused on the right.
    page->closeErrorWindow();
    QTest::qWait(50);
    for (const FileNodePtr &n : *page->filesArr())
        n->state = FileNode::Unchecked;
    QTest::mouseClick(page->cloneButton(), Qt::LeftButton);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page->isErrorPopWin(); }));
    EXPECT_EQ(bubbleText(*page), DmgViewController::noFileText());
    EXPECT_FALSE(page->makeSureWC());
}

TEST_F(PageOnWorld, StopWithinTheStartTimerIsKept)
{
    ASSERT_TRUE(pick(1, QStringLiteral("Travel Drive")));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page->fromeVolume() != nullptr; }));
    ASSERT_TRUE(pick(2, QStringLiteral("BACKUP")));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page->toVolume() != nullptr; }));
    const QString target = world.mountPoint(QStringLiteral("BACKUP"));
    const QStringList before = QDir(target).entryList(QDir::NoDotAndDotDot | QDir::AllEntries);
    ASSERT_TRUE(clickStart());
    ASSERT_TRUE(confirm());
    EXPECT_FALSE(page->copyProgressView()->isHidden());
    EXPECT_EQ(page->pathLabel()->text(), QStringLiteral("制作镜像中..."));
    EXPECT_EQ(tabs.calls, QList<bool>{false});
    ASSERT_TRUE(page->aTimer());
    QTest::mouseClick(page->cancelButton(), Qt::LeftButton);
    EXPECT_EQ(failure(), DmgViewController::stopText());
    EXPECT_EQ(tabs.calls, (QList<bool>{false, true}));
    EXPECT_EQ(page->setpVC_2()->stepImageName(), QStringLiteral("step3-3"));
    TestSupport::saveScreenshot(page.get(), QStringLiteral("dmgpage_stopped"));

    QTest::qWait(700); // past the 0.3 s start timer
    Platform::Dispatch::waitForGlobalQueue();
    EXPECT_EQ(page->lastImageSize(), -1) << "the engine never started";
    EXPECT_EQ(QDir(target).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), before);
    EXPECT_EQ(failure(), DmgViewController::stopText()) << "nothing late turns the stop into success";

    // A size sum or an engine report that lands after the stop does nothing.
    page->allCopyFilesSize(12345);
    page->copyFileToDmgWithFileName(QString(), 100);
    QTest::qWait(50);
    EXPECT_EQ(page->lastImageSize(), -1);
    EXPECT_EQ(failure(), DmgViewController::stopText());
    EXPECT_TRUE(page->sussView()->isHidden());

    // Back to the start screen with both cards cleared.
    QTest::mouseClick(page->failCancelButton(), Qt::LeftButton);
    EXPECT_FALSE(page->selectDiskView()->isHidden());
    EXPECT_FALSE(page->fromeVolume());
    EXPECT_FALSE(page->toVolume());
}

TEST_F(PageOnWorld, TheJobsStartNeverHoldsTheWindowUpForTheDisks)
{
    struct Case {
        const char *what;
        bool zip;
        bool stop; // stopped while the receiving folder is looked up
    };
    const Case cases[] = {{"archive", true, false}, {"image", false, false}, {"image stopped", false, true}};
    const QString target = world.mountPoint(QStringLiteral("BACKUP"));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(pick(1, QStringLiteral("Travel Drive")));
        ASSERT_TRUE(TestSupport::waitUntil([&] { return page->fromeVolume() != nullptr; }));
        ASSERT_TRUE(pick(2, QStringLiteral("BACKUP")));
        ASSERT_TRUE(TestSupport::waitUntil([&] { return page->toVolume() != nullptr; }));
        QTest::mouseClick(c.zip ? page->makeZipBut() : page->makeDmgBut(), Qt::LeftButton);
        const QStringList before = QDir(target).entryList(QDir::NoDotAndDotDot | QDir::AllEntries);
        ASSERT_TRUE(clickStart());
        {
            // The folder that receives the result is the console user's
            // business, which the disks' record tells; an eject holds them.
            TestSupport::WorldLockHolder lock(world.world());
            ASSERT_TRUE(confirm());
            ASSERT_TRUE(TestSupport::waitUntil([&] { return !page->aTimer(); }, 5000)) << "the start timer fired";
            EXPECT_TRUE(TestSupport::eventLoopTurns());
            EXPECT_TRUE(lock.held()) << "the main thread waited for the disks";
            EXPECT_TRUE(page->endView()->isHidden());
            if (c.stop)
                QTest::mouseClick(page->cancelButton(), Qt::LeftButton);
        }
        if (c.stop) {
            QTest::qWait(300);
            Platform::Dispatch::waitForGlobalQueue();
            QCoreApplication::processEvents();
            EXPECT_EQ(failure(), DmgViewController::stopText());
            EXPECT_EQ(QDir(target).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), before)
                << "a job stopped before its engine started makes nothing";
        } else {
            ASSERT_TRUE(waitForEnd());
            EXPECT_TRUE(succeeded()) << failure().toStdString();
            EXPECT_EQ(QDir(target).entryList({c.zip ? QStringLiteral("*.zip") : QStringLiteral("*.dmg")}).size(),
                      before.filter(c.zip ? QStringLiteral(".zip") : QStringLiteral(".dmg")).size() + 1);
        }
        QTest::mouseClick(c.stop ? page->failCancelButton() : page->succCancelButton(), Qt::LeftButton);
        QTest::qWait(1100); // the next result's name gets another second
    }
}

TEST_F(PageOnWorld, WholeVolumeNeverBrowsedIsSizedByItsUsedSize)
{
    ASSERT_TRUE(pick(1, QStringLiteral("Travel Drive")));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page->fromeVolume() != nullptr; }));
    ASSERT_TRUE(pick(2, QStringLiteral("BACKUP")));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page->toVolume() != nullptr; }));
    const qint64 used = page->usedSize();
    ASSERT_TRUE(clickStart());
    ASSERT_TRUE(confirm());
    ASSERT_TRUE(waitForEnd());
    EXPECT_TRUE(succeeded()) << failure().toStdString();
    EXPECT_EQ(page->lastImageSize(), used);
    EXPECT_EQ(MakeDmg::imageSize(page->lastImageSize()), quint64(used) + 50'000'000);
    EXPECT_EQ(page->openUrl(), page->toVolume() ? page->toVolume()->volumePath : page->openUrl());
    TestSupport::saveScreenshot(page.get(), QStringLiteral("dmgpage_success"));
    const QString endText = QStringLiteral("制作已完成，请检查目标盘上的磁盘映像。");
    EXPECT_EQ(shownText(page->openLabel()), endText);
    QTest::mouseClick(page->openButton(), Qt::LeftButton);
    EXPECT_EQ(Platform::Workspace::shared().openedItems(),
              QStringList{Platform::rootPath(world.mountPoint(QStringLiteral("BACKUP")))});

    // Back to the start, and a second job starts at step 2 again.
    QTest::mouseClick(page->succCancelButton(), Qt::LeftButton);
    EXPECT_FALSE(page->selectDiskView()->isHidden());
    EXPECT_TRUE(page->copyProgressView()->isHidden());
    EXPECT_FALSE(page->fromeVolume());
    EXPECT_FALSE(page->toVolume());
    EXPECT_FALSE(page->cloneButton()->isButtonUsable());
    ASSERT_TRUE(pick(1, QStringLiteral("Travel Drive")));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page->fromeVolume() != nullptr; }));
    ASSERT_TRUE(pick(2, QStringLiteral("BACKUP")));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page->toVolume() != nullptr; }));
    QTest::mouseClick(page->makeZipBut(), Qt::LeftButton);
    ASSERT_TRUE(clickStart());
    ASSERT_TRUE(confirm());
    EXPECT_EQ(page->setpVC_2()->stepImageName(), QStringLiteral("step3-2"));
    EXPECT_FALSE(page->progressView()->isHidden());
    EXPECT_TRUE(page->endView()->isHidden());
    ASSERT_TRUE(waitForEnd());
    EXPECT_TRUE(succeeded()) << failure().toStdString();
    EXPECT_EQ(tabs.calls, (QList<bool>{false, true, false, true}));
    // The second end shows the same words, its link phrase coloured once.
    EXPECT_EQ(shownText(page->openLabel()), endText);
    EXPECT_EQ(page->openLabel()->text().count(QStringLiteral("<span")), 1);
    TestSupport::saveScreenshot(page.get(), QStringLiteral("dmgpage_second_success"));
}

TEST(DmgMakeSure, CancelClosesQuietlyAndDoneStartsOnce)
{
    struct Delegate : DMGMakeSureWCDelegate {
        void beginToMakeDMGorZIP() override { ++begins; }
        int begins = 0;
    } delegate;
    {
        DMGMakeSureWC vc;
        vc.setDelegate(&delegate);
        EXPECT_EQ(vc.doneButton()->textField()->text(), QStringLiteral("制作镜像"));
        EXPECT_EQ(vc.cancelButton()->textField()->text(), QStringLiteral("取消"));
        QTest::mouseClick(vc.cancelButton(), Qt::LeftButton);
        EXPECT_EQ(delegate.begins, 0);
        QTest::mouseClick(vc.doneButton(), Qt::LeftButton);
        EXPECT_EQ(delegate.begins, 1);
    }
}

TEST_F(PageOnWorld, DroppedFilesAreSummedForTheImage)
{
    const QString a = world.at(QStringLiteral("/dropped/a.txt"));
    ASSERT_TRUE(TestSupport::writeFile(a, "dropped content\n"));
    ASSERT_TRUE(TestSupport::writeFile(world.at(QStringLiteral("/dropped/folder/b.bin")), QByteArray(3000, 'b')));
    ASSERT_TRUE(TestSupport::writeFile(world.at(QStringLiteral("/dropped/folder/deeper/c.bin")), QByteArray(700, 'c')));
    ASSERT_TRUE(pick(2, QStringLiteral("BACKUP")));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page->toVolume() != nullptr; }));
    page->viewDragAction(SelectValueView::eumeArr({a, world.at(QStringLiteral("/dropped/folder"))}));
    EXPECT_EQ(page->selectFilesSize(), 0) << "the page's checks count a drop as 0";
    // After a drop the start button is usable once a target is chosen.
    ASSERT_TRUE(pick(2, QStringLiteral("BACKUP")));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page->cloneButton()->isButtonUsable(); }));
    ASSERT_TRUE(clickStart());
    ASSERT_TRUE(confirm());
    ASSERT_TRUE(waitForEnd());
    EXPECT_TRUE(succeeded()) << failure().toStdString();
    // The image is made for what was dropped (plus the engine's margin), not
    // for the margin alone.
    EXPECT_EQ(page->lastImageSize(), 16 + 3000 + 700);
    const QString target = world.mountPoint(QStringLiteral("BACKUP"));
    const QStringList images = QDir(target).entryList({QStringLiteral("*.dmg")}, QDir::Files);
    ASSERT_EQ(images.size(), 1);
    const QString mountPoint = MakeDmgRig::mountImage(world, target + QLatin1Char('/') + images.first());
    ASSERT_FALSE(mountPoint.isEmpty());
    QMap<QString, QByteArray> expected{{QStringLiteral("a.txt"), "dropped content\n"},
                                       {QStringLiteral("folder"), "dir"},
                                       {QStringLiteral("folder/b.bin"), QByteArray(3000, 'b')},
                                       {QStringLiteral("folder/deeper"), "dir"},
                                       {QStringLiteral("folder/deeper/c.bin"), QByteArray(700, 'c')}};
    EXPECT_EQ(MakeDmgRig::treeOf(mountPoint), expected);
    EXPECT_EQ(world.run(QStringLiteral("diskutil"), {QStringLiteral("eject"), mountPoint}).status, 0);
}

TEST_F(PageOnWorld, PartModeWithoutBrowsingSumsTheListedFiles)
{
    ASSERT_TRUE(pick(1, QStringLiteral("Travel Drive")));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page->fromeVolume() != nullptr; }));
    ASSERT_TRUE(pick(2, QStringLiteral("BACKUP")));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page->toVolume() != nullptr; }));
    page->selectFormatbyType(1);
    ASSERT_EQ(page->lComboBox()->strLabel()->text(), LComboBox::partFilesLabel());
    ASSERT_TRUE(clickStart());
    ASSERT_TRUE(confirm());
    ASSERT_TRUE(waitForEnd());
    EXPECT_TRUE(succeeded()) << failure().toStdString();
    qint64 expected = 0;
    const QMap<QString, QByteArray> tree = MakeDmgRig::treeOf(world.mountPoint(QStringLiteral("Travel Drive")));
    for (auto it = tree.constBegin(); it != tree.constEnd(); ++it)
        if (it.value() != "dir")
            expected += it.value().size();
    EXPECT_EQ(page->lastImageSize(), expected);
}

TEST_F(PageOnWorld, StartupTargetPutsTheArchiveOnTheConsoleUsersDesktop)
{
    Platform::SystemInfo::setConsoleUserName(QStringLiteral("tester"));
    const QString desktop = world.at(QStringLiteral("/Users/tester/Desktop"));
    ASSERT_TRUE(QDir().mkpath(desktop));
    ASSERT_TRUE(pick(1, QStringLiteral("BACKUP")));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page->fromeVolume() != nullptr; }));
    page->selectDiskButton(2, page->selectToVC());
    ASSERT_TRUE(
        TestSupport::waitUntil([&] { return page->selectDiskVC() && page->selectDiskVC()->isListShown(); }, 30000));
    VolumeObjPtr boot;
    for (const VolumeObjPtr &v : page->selectDiskVC()->allVolumeArr())
        if (Platform::isStartupMountPoint(v->volumeMountPoint))
            boot = v;
    ASSERT_TRUE(boot);
    page->doSelectDiskWithVolume(boot);
    ASSERT_TRUE(page->toVolume());
    QTest::mouseClick(page->makeZipBut(), Qt::LeftButton);
    ASSERT_TRUE(clickStart());
    ASSERT_TRUE(confirm());
    ASSERT_TRUE(waitForEnd());
    EXPECT_TRUE(succeeded()) << failure().toStdString();
    EXPECT_EQ(page->openUrl(), QStringLiteral("/Users/tester/Desktop"));
    const QStringList zips = QDir(desktop).entryList({QStringLiteral("*.zip")});
    ASSERT_EQ(zips.size(), 1);
    EXPECT_TRUE(zips.first().startsWith(QStringLiteral("KestrovaDiskClone(")));
}

TEST_F(PageOnWorld, ANewSourceAndADropAreCheckedWithTheirOwnSize)
{
    auto chooseSide = [&](qint32 side, const VolumeObjPtr &v) {
        page->selectDiskButton(side, side == 1 ? page->selectFromVC() : page->selectToVC());
        page->doSelectDiskWithVolume(v);
    };
    auto closeBubble = [&] {
        page->closeErrorWindow();
        QTest::qWait(50);
        ASSERT_FALSE(page->isErrorPopWin());
    };
    // A start with nothing chosen is refused like an empty selection.
    page->cloneButtonAction();
    EXPECT_EQ(bubbleText(*page), DmgViewController::noFileText());
    closeBubble();

    chooseSide(1, volume(QStringLiteral("Big"), QStringLiteral("/Volumes/Big"), 1000, 100));
    chooseSide(2, volume(QStringLiteral("Small"), QStringLiteral("/Volumes/Small"), 1000, 500));
    EXPECT_EQ(bubbleText(*page), DmgViewController::noSpaceText());
    EXPECT_FALSE(page->cloneButton()->isButtonUsable());
    closeBubble();

    // A smaller source fits: the bigger one chosen before is not checked again.
    chooseSide(1, volume(QStringLiteral("Little"), QStringLiteral("/Volumes/Little"), 1000, 800));
    EXPECT_FALSE(page->isErrorPopWin()) << bubbleText(*page).toStdString();
    EXPECT_TRUE(page->cloneButton()->isButtonUsable());
    EXPECT_EQ(page->lComboBox()->strLabel()->text(), LComboBox::allFilesLabel());

    // Dropped files count 0 in the checks, from the drop on.
    chooseSide(1, volume(QStringLiteral("Big"), QStringLiteral("/Volumes/Big"), 1000, 100));
    EXPECT_EQ(bubbleText(*page), DmgViewController::noSpaceText());
    closeBubble();
    const QString a = world.at(QStringLiteral("/dropped/a.txt"));
    ASSERT_TRUE(TestSupport::writeFile(a, "aaa"));
    page->viewDragAction(SelectValueView::eumeArr({a}));
    EXPECT_FALSE(page->isErrorPopWin()) << bubbleText(*page).toStdString();
    EXPECT_TRUE(page->cloneButton()->isButtonUsable());
    EXPECT_EQ(page->lComboBox()->strLabel()->text(), LComboBox::allFilesLabel());
    EXPECT_FALSE(page->comboBoxView()->isHidden());
}

TEST_F(PageOnWorld, AFileChoiceShowsOnTheCardAndAllFilesDropsIt)
{
    const VolumeObjPtr source = volume(QStringLiteral("Big"), QStringLiteral("/Volumes/Big"), 1000, 100);
    page->selectDiskButton(1, page->selectFromVC());
    page->doSelectDiskWithVolume(source);
    page->selectDiskButton(2, page->selectToVC());
    page->doSelectDiskWithVolume(volume(QStringLiteral("Fits"), QStringLiteral("/Volumes/Fits"), 1000, 950));
    const QString usedText = QoPublicUtilities::longlongDiskSize(900) + QStringLiteral("被选择");
    EXPECT_EQ(page->selectFromVC()->sizeLabel()->text(), usedText);

    auto arr = std::make_shared<FileNodeArray>();
    for (const char *name : {"ReadMe.txt", "Photos"})
        arr->append(FileNode::initWithPath(source->volumePath + QLatin1Char('/') + QLatin1String(name),
                                           QLatin1String(name), false, nullptr));
    auto settle = [] {
        Platform::Dispatch::waitForGlobalQueue();
        QCoreApplication::processEvents();
    };

    // Everything ticked: the card shows the volume as when it was chosen.
    page->selectFormatbyType(1);
    page->closeWindowWithSelect(arr, 300);
    settle();
    EXPECT_EQ(page->filesArr(), arr);
    EXPECT_EQ(page->selectFromVC()->nameLabel()->text(), QStringLiteral("Big"));
    EXPECT_EQ(page->selectFromVC()->sizeLabel()->text(), usedText);

    // A part: the number of items and the size alone.
    arr->last()->state = FileNode::Unchecked;
    page->closeWindowWithSelect(arr, 21);
    settle();
    EXPECT_EQ(page->selectFilesSize(), 21);
    EXPECT_EQ(page->selectFromVC()->nameLabel()->text(), QStringLiteral("1文件/文件夹"));
    EXPECT_EQ(page->selectFromVC()->sizeLabel()->text(), QoPublicUtilities::longlongConvertVolSpace(21));

    // "All files" again: the whole volume, not the part chosen before.
    page->selectFormatbyType(0);
    EXPECT_FALSE(page->filesArr());
    EXPECT_EQ(page->selectFilesSize(), -1);
    EXPECT_EQ(page->selectFromVC()->nameLabel()->text(), QStringLiteral("Big"));
    EXPECT_EQ(page->selectFromVC()->sizeLabel()->text(), usedText);
    EXPECT_EQ(page->lComboBox()->strLabel()->text(), LComboBox::allFilesLabel());
    EXPECT_TRUE(page->cloneButton()->isButtonUsable());
}
