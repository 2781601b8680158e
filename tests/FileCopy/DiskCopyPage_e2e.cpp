// The Disk Copy page end to end on a demo world, driven through its own
// controls: the cards and the picker's rows, the copy-mode menu, the file
// browser, drops, the confirmation panel and the end views.
#include "DiskCopyPageRig.h"

#include "Controller.h"
#include "DiskListWC.h"
#include "DragView.h"
#include "FileManager.h"
#include "LComboBox.h"
#include "ListFileViewController.h"
#include "NODEAttachedWindow.h"
#include "SelectAllFilePopVC.h"
#include "SortSelectBgView.h"
#include "SystemLog.h"
#include "Workspace.h"

#include <QApplication>
#include <QDateTime>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

using namespace DiskCopyPageRig;
using TestSupport::DiskWorldFixture;

namespace {

class DiskCopyPageE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(world.ok()) << world.error().toStdString();
        source = world.mountPoint(QStringLiteral("Travel Drive"));
        target = world.mountPoint(QStringLiteral("BACKUP"));
        ASSERT_FALSE(source.isEmpty());
        ASSERT_FALSE(target.isEmpty());
        Platform::Workspace::shared().setRecordingOpens(true);
        rig = std::make_unique<PageWindow>();
        page = rig->page;
    }
    void TearDown() override
    {
        rig.reset();
        Platform::Workspace::shared().setRecordingOpens(false);
    }

    // The picker may still be fading out when the next card is pressed, which
    // would only close it; give it the time a user would.
    void pick(qint32 side, const QString &name)
    {
        ASSERT_TRUE(pickThroughCard(page, side, name)) << name.toStdString();
        if (!TestSupport::waitUntil([&] { return !page->popoverController()->popoverIsVisible(); }, 1500))
            page->chengeTabCloseNode();
    }

    // Waits for a new second, so that each job has a dated folder of its own.
    static void nextSecond()
    {
        const QString now = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        TestSupport::waitUntil(
            [&] { return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) != now; }, 3000);
    }

    // Start, confirm, and wait for the end; the new dated folder.
    QString runJob(const QString &shotPrefix = QString())
    {
        const QStringList before = cloneFolders(target);
        EXPECT_TRUE(page->cloneButton()->isButtonUsable());
        QTest::mouseClick(page->cloneButton(), Qt::LeftButton);
        EXPECT_TRUE(TestSupport::waitUntil([&] { return page->makeSureWC() != nullptr; }));
        if (!page->makeSureWC())
            return QString();
        if (!shotPrefix.isEmpty())
            TestSupport::saveScreenshot(page->makeSureWC(), shotPrefix + QStringLiteral("_confirmation"));
        QTest::mouseClick(page->makeSureWC()->doneButton(), Qt::LeftButton);
        if (!shotPrefix.isEmpty())
            TestSupport::saveScreenshot(rig->window.get(), shotPrefix + QStringLiteral("_progress"));
        EXPECT_TRUE(TestSupport::waitUntil([&] { return !page->endView()->isHidden(); }, 30000));
        settle();
        EXPECT_FALSE(page->sussView()->isHidden()) << page->errorLable()->text().toStdString();
        if (!shotPrefix.isEmpty())
            TestSupport::saveScreenshot(rig->window.get(), shotPrefix + QStringLiteral("_success"));
        QStringList after = cloneFolders(target);
        for (const QString &f : before)
            after.removeAll(f);
        EXPECT_EQ(after.size(), 1);
        QTest::mouseClick(page->succCancelButton(), Qt::LeftButton);
        nextSecond();
        return after.isEmpty() ? QString() : target + QLatin1Char('/') + after.first();
    }

    DiskWorldFixture world;
    QString source, target;
    std::unique_ptr<PageWindow> rig;
    DiskCopyViewController *page = nullptr;
};

TEST_F(DiskCopyPageE2E, CopiesAWholeVolumeATickedPartAndDroppedFilesIntoDatedFolders)
{
    const QMap<QString, QByteArray> original = treeOf(source);
    ASSERT_TRUE(original.contains(QStringLiteral("Documents/Budget.csv")));

    // 1. The whole volume.
    pick(1, QStringLiteral("Travel Drive"));
    pick(2, QStringLiteral("BACKUP"));
    EXPECT_EQ(page->selectFromVC()->nameLabel()->text(), QStringLiteral("Travel Drive"));
    EXPECT_EQ(page->selectToVC()->nameLabel()->text(), QStringLiteral("BACKUP"));
    const QString whole = runJob(QStringLiteral("DiskCopyPage_e2e"));
    ASSERT_FALSE(whole.isEmpty());
    EXPECT_EQ(treeOf(whole), original);
    EXPECT_EQ(rig->lock.calls, (QList<bool>{false, true}));
    EXPECT_TRUE(page->fromeVolume() == nullptr && page->toVolume() == nullptr);

    // 2. A ticked part: Photos and Music cleared, and Budget.csv inside Documents.
    pick(1, QStringLiteral("Travel Drive"));
    pick(2, QStringLiteral("BACKUP"));
    QTest::mouseClick(page->lComboBox()->openButton(), Qt::LeftButton);
    ASSERT_TRUE(page->selectAllFileVC());
    SortSelectBgView *partRow = nullptr;
    for (SortSelectBgView *row : {page->selectAllFileVC()->view_1(), page->selectAllFileVC()->view_2()})
        if (row->rowNumber() != 0)
            partRow = row;
    ASSERT_TRUE(partRow);
    QTest::mouseClick(partRow, Qt::LeftButton);
    EXPECT_EQ(page->lComboBox()->strLabel()->text(), LComboBox::partFilesLabel());

    int phase = 0;
    QTimer driver;
    driver.setInterval(30);
    QObject::connect(&driver, &QTimer::timeout, [&] {
        DiskListWC *wc = page->diskListWC();
        ListFileViewController *list = wc ? wc->listFileVC() : nullptr;
        if (!list || list->isScan() || !list->rootNodeArr() || list->rootNodeArr()->isEmpty())
            return;
        auto find = [](const FileNodeList &nodes, const QString &name) -> FileNode * {
            for (const FileNodePtr &n : nodes)
                if (n->name == name)
                    return n.get();
            return nullptr;
        };
        FileNodeArray &top = *list->rootNodeArr();
        if (phase == 0) {
            list->controller()->clickCheckBoxWithNode(find(top, QStringLiteral("Photos")));
            list->controller()->clickCheckBoxWithNode(find(top, QStringLiteral("Music")));
            list->controller()->expandNode(find(top, QStringLiteral("Documents")));
            phase = 1;
        } else if (phase == 1) {
            FileNode *docs = find(top, QStringLiteral("Documents"));
            if (FileNode *budget = docs ? find(docs->children, QStringLiteral("Budget.csv")) : nullptr) {
                list->controller()->clickCheckBoxWithNode(budget);
                phase = 2;
            }
        } else if (phase == 2) {
            QTest::mouseClick(list->doneButton(), Qt::LeftButton);
            phase = 3;
            driver.stop();
        }
    });
    driver.start();
    QTest::mouseClick(page->lComboBox()->searchButton(), Qt::LeftButton); // runs the browser modally
    ASSERT_EQ(phase, 3);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page->selectFilesSize() > 0 && page->copyArr(); }));
    EXPECT_EQ(page->selectFromVC()->nameLabel()->text(), QStringLiteral("2文件/文件夹"));
    const QString part = runJob();
    ASSERT_FALSE(part.isEmpty());
    QMap<QString, QByteArray> expected;
    expected.insert(QStringLiteral("ReadMe.txt"), original.value(QStringLiteral("ReadMe.txt")));
    expected.insert(QStringLiteral("Documents"), "<dir>");
    expected.insert(QStringLiteral("Documents/Trip plan.txt"),
                    original.value(QStringLiteral("Documents/Trip plan.txt")));
    for (auto it = original.begin(); it != original.end(); ++it)
        if (it.key().startsWith(QLatin1Char('.')) && !it.key().contains(QLatin1Char('/')))
            expected.remove(it.key());
    QMap<QString, QByteArray> got = treeOf(part);
    EXPECT_EQ(got, expected);

    // 3. Dropped files, onto the source card's drop area.
    pick(2, QStringLiteral("BACKUP"));
    {
        // Dropped on the source card's drop area, as a file manager's drag does.
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(source + QStringLiteral("/Photos")),
                      QUrl::fromLocalFile(source + QStringLiteral("/Music/playlist.m3u"))});
        DragView *area = page->selectFromVC()->dragVie();
        const QPointF at(area->width() / 2.0, area->height() / 2.0);
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(area, &enter);
        QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(area, &drop);
        EXPECT_TRUE(drop.isAccepted());
    }
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page->selectFilesSize() > 0; }));
    EXPECT_EQ(page->selectFromVC()->nameLabel()->text(), QStringLiteral("添加部分文件"));
    const QString dropped = runJob();
    ASSERT_FALSE(dropped.isEmpty());
    QMap<QString, QByteArray> droppedExpected;
    for (auto it = original.begin(); it != original.end(); ++it)
        if (it.key().startsWith(QStringLiteral("Photos")))
            droppedExpected.insert(it.key(), it.value());
    droppedExpected.insert(QStringLiteral("playlist.m3u"), original.value(QStringLiteral("Music/playlist.m3u")));
    EXPECT_EQ(treeOf(dropped), droppedExpected);

    // The source is as it was.
    EXPECT_EQ(treeOf(source), original);
    EXPECT_TRUE(world.problems().isEmpty()) << world.problems().join(QLatin1Char('\n')).toStdString();
}

TEST_F(DiskCopyPageE2E, RefusesTheSameVolumeAReadOnlyNtfsTargetAndATooSmallTarget)
{
    ASSERT_TRUE(TestSupport::writeFile(source + QStringLiteral("/big.bin"), QByteArray(3'000'000, 'b')));
    ASSERT_FALSE(world.attachUsb(QStringLiteral("TINY"), QStringLiteral("ExFAT"), 2'000'000).isEmpty());
    const QByteArray stateBefore = world.stateBytes();

    pick(1, QStringLiteral("Travel Drive"));
    pick(2, QStringLiteral("Travel Drive"));
    EXPECT_EQ(page->errorBubbleText(), DiskCopyViewController::sameVolumeText());
    EXPECT_FALSE(page->cloneButton()->isButtonUsable());
    TestSupport::saveScreenshot(rig->window.get(), QStringLiteral("DiskCopyPage_e2e_refused"));
    for (QWidget *w : QApplication::topLevelWidgets())
        if (dynamic_cast<NODEAttachedWindow *>(w) && w->isVisible())
            TestSupport::saveScreenshot(w, QStringLiteral("DiskCopyPage_e2e_bubble"));

    pick(2, QStringLiteral("BOOTCAMP"));
    EXPECT_EQ(page->errorBubbleText(), DiskCopyViewController::ntfsText());
    EXPECT_FALSE(page->cloneButton()->isButtonUsable());

    pick(2, QStringLiteral("TINY"));
    EXPECT_EQ(page->errorBubbleText(), DiskCopyViewController::noSpaceText());
    EXPECT_FALSE(page->cloneButton()->isButtonUsable());

    // A press of the disabled start button starts nothing.
    QTest::mouseClick(page->cloneButton(), Qt::LeftButton);
    settle();
    EXPECT_FALSE(page->makeSureWC());
    for (const QString &name : {QStringLiteral("TINY"), QStringLiteral("BOOTCAMP")})
        EXPECT_TRUE(cloneFolders(world.mountPoint(name)).isEmpty()) << name.toStdString();
    EXPECT_EQ(world.stateBytes(), stateBefore);
}

TEST_F(DiskCopyPageE2E, CopyingTheStartupVolumeLeavesOutTheOtherVolumesAndItself)
{
    const QString bootFile = QStringLiteral("System/Library/CoreServices/SystemVersion.plist");
    pick(1, QStringLiteral("Macintosh HD"));
    pick(2, QStringLiteral("BACKUP"));
    ASSERT_TRUE(page->cloneButton()->isButtonUsable()) << page->errorBubbleText().toStdString();
    const QString copy = runJob();
    ASSERT_FALSE(copy.isEmpty());
    const QMap<QString, QByteArray> tree = treeOf(copy);
    EXPECT_EQ(tree.value(bootFile), TestSupport::readFile(world.at(QStringLiteral("/") + bootFile)));
    for (const QString &key : tree.keys()) {
        EXPECT_FALSE(key.contains(QStringLiteral("KestrovaDiskClone("))) << key.toStdString();
        EXPECT_FALSE(key.startsWith(QStringLiteral("Volumes/"))) << key.toStdString();
    }
    EXPECT_TRUE(world.problems().isEmpty()) << world.problems().join(QLatin1Char('\n')).toStdString();
}

TEST_F(DiskCopyPageE2E, AnItemThatFailsEndsOnTheFailureViewAfterTheOthersAreCopied)
{
    Platform::FileManager::setCopyFaultHook(
        [](const QString &file) { return file.endsWith(QStringLiteral("/Budget.csv")); });
    Platform::SystemLogCapture log;
    pick(1, QStringLiteral("Travel Drive"));
    pick(2, QStringLiteral("BACKUP"));
    QTest::mouseClick(page->cloneButton(), Qt::LeftButton);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page->makeSureWC() != nullptr; }));
    QTest::mouseClick(page->makeSureWC()->doneButton(), Qt::LeftButton);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !page->endView()->isHidden(); }, 30000));
    settle();
    Platform::FileManager::setCopyFaultHook(nullptr);
    EXPECT_FALSE(page->failView()->isHidden());
    EXPECT_TRUE(page->sussView()->isHidden());
    EXPECT_EQ(page->errorLable()->text(), DiskCopyViewController::failedText());
    EXPECT_EQ(rig->lock.calls, (QList<bool>{false, true}));
    const QStringList folders = cloneFolders(target);
    ASSERT_EQ(folders.size(), 1);
    const QString copy = target + QLatin1Char('/') + folders.first();
    // The later items are there; the failed one left no half-copied entry.
    EXPECT_TRUE(QFileInfo::exists(copy + QStringLiteral("/Photos/beach.jpg")));
    EXPECT_TRUE(QFileInfo::exists(copy + QStringLiteral("/Music/playlist.m3u")));
    EXPECT_FALSE(QFileInfo::exists(copy + QStringLiteral("/Documents")));
    TestSupport::saveScreenshot(rig->window.get(), QStringLiteral("DiskCopyPage_e2e_failure"));
    QTest::mouseClick(page->failCancelButton(), Qt::LeftButton);
    EXPECT_FALSE(page->selectDiskView()->isHidden());
}

TEST_F(DiskCopyPageE2E, ATargetEjectedBeforeTheStartGetsNoFolderWhereItWasMounted)
{
    Platform::SystemInfo::setConsoleUserName(QStringLiteral("tester"));
    QDir().mkpath(world.at(QStringLiteral("/Users/tester/Desktop")));
    pick(1, QStringLiteral("Travel Drive"));
    pick(2, QStringLiteral("BACKUP"));
    QTest::mouseClick(page->cloneButton(), Qt::LeftButton);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page->makeSureWC() != nullptr; }));
    ASSERT_EQ(
        world.run(QStringLiteral("diskutil"), {QStringLiteral("unmount"), world.bsdName(QStringLiteral("BACKUP"))})
            .status,
        0);
    // What a careless eject can leave behind: an empty folder on the startup disk.
    ASSERT_TRUE(QDir().mkpath(target));
    QTest::mouseClick(page->makeSureWC()->doneButton(), Qt::LeftButton);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !page->endView()->isHidden(); }, 30000));
    settle();
    EXPECT_TRUE(QDir(target).isEmpty());
    QDir().rmdir(target);
    EXPECT_TRUE(page->openUrl().startsWith(world.at(QStringLiteral("/Users/tester/Desktop/KestrovaDiskClone("))));
    EXPECT_EQ(treeOf(page->openUrl()), treeOf(source));
    EXPECT_TRUE(world.problems().isEmpty()) << world.problems().join(QLatin1Char('\n')).toStdString();
    Platform::SystemInfo::resetOverrides();
}

} // namespace
