// The Disk Image page end to end on the demo world, driven through its own
// controls: a ZIP of a whole USB volume read back with unzip, and a DMG of a
// part ticked in the file browser, attached again and compared byte for byte.
#include "DmgPageRig.h"
#include "MakeDmgTestRig.h"

#include "Controller.h"
#include "DiskListWC.h"
#include "LComboBox.h"
#include "ListFileViewController.h"
#include "SelectAllFilePopVC.h"
#include "SortSelectBgView.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

using DmgPageRig::PageOnWorld;

namespace {

class ImagePageOnDemoWorld : public PageOnWorld {
protected:
    void SetUp() override
    {
        PageOnWorld::SetUp();
        if (HasFatalFailure())
            return;
        source = world.mountPoint(QStringLiteral("Travel Drive"));
        target = world.mountPoint(QStringLiteral("BACKUP"));
        ASSERT_FALSE(source.isEmpty());
        ASSERT_FALSE(target.isEmpty());
        ASSERT_TRUE(TestSupport::writeFile(source + QStringLiteral("/Documents/old/2023/summary.txt"), "last year\n"));
        before = MakeDmgRig::treeOf(source);
    }
    QStringList newFiles(const QString &pattern) const { return QDir(target).entryList({pattern}, QDir::Files); }

    QString source, target;
    QMap<QString, QByteArray> before;
};

} // namespace

TEST_F(ImagePageOnDemoWorld, ZipOfAWholeUsbVolume)
{
    TestSupport::saveScreenshot(page.get(), QStringLiteral("dmgpage_e2e_start"));
    ASSERT_TRUE(pick(1, QStringLiteral("Travel Drive")));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page->fromeVolume() != nullptr; }));
    ASSERT_TRUE(pick(2, QStringLiteral("BACKUP")));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page->toVolume() != nullptr; }));
    QTest::mouseClick(page->makeZipBut(), Qt::LeftButton);
    TestSupport::saveScreenshot(page.get(), QStringLiteral("dmgpage_e2e_chosen"));

    ASSERT_TRUE(clickStart());
    ASSERT_TRUE(confirm(QStringLiteral("dmgpage_e2e_confirmation")));
    TestSupport::saveScreenshot(page.get(), QStringLiteral("dmgpage_e2e_progress"));
    ASSERT_TRUE(waitForEnd());
    ASSERT_TRUE(succeeded()) << failure().toStdString();
    TestSupport::saveScreenshot(page.get(), QStringLiteral("dmgpage_e2e_zip_success"));
    EXPECT_EQ(tabs.calls, (QList<bool>{false, true}));

    const QStringList zips = newFiles(QStringLiteral("*.zip"));
    ASSERT_EQ(zips.size(), 1);
    const QString archive = target + QLatin1Char('/') + zips.first();
    QStringList expected;
    for (auto it = before.constBegin(); it != before.constEnd(); ++it)
        expected << QStringLiteral("Volumes/Travel Drive/") + it.key() +
                        (it.value() == "dir" ? QStringLiteral("/") : QString());
    expected.sort();
    EXPECT_EQ(MakeDmgRig::archiveNames(archive), expected);
    EXPECT_EQ(MakeDmgRig::treeOf(source), before) << "the source is unchanged";
    EXPECT_TRUE(world.problems().isEmpty()) << world.problems().join(QLatin1Char('\n')).toStdString();
}

TEST_F(ImagePageOnDemoWorld, DmgOfATickedPart)
{
    ASSERT_TRUE(pick(1, QStringLiteral("Travel Drive")));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page->fromeVolume() != nullptr; }));
    ASSERT_TRUE(pick(2, QStringLiteral("BACKUP")));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page->toVolume() != nullptr; }));

    // Partial-copy mode, then the browser: Music and ReadMe.txt are unticked, OK.
    QTest::mouseClick(page->lComboBox()->openButton(), Qt::LeftButton);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page->selectAllFileVC() != nullptr; }));
    TestSupport::saveScreenshot(page->selectAllFileVC(), QStringLiteral("dmgpage_e2e_mode_menu"));
    QTest::mouseClick(page->selectAllFileVC()->view_2(), Qt::LeftButton);
    ASSERT_EQ(page->lComboBox()->strLabel()->text(), LComboBox::partFilesLabel());
    ASSERT_FALSE(page->lComboBox()->searchButton()->isHidden());
    bool browsed = false;
    QTimer driver;
    driver.setInterval(50);
    QObject::connect(&driver, &QTimer::timeout, [&] {
        DiskListWC *wc = page->diskListWC();
        ListFileViewController *list = wc ? wc->listFileVC() : nullptr;
        if (!list || list->isScan() || browsed || !list->controller()->aRootArr())
            return;
        const FileNodeArrayPtr roots = list->controller()->aRootArr();
        if (roots->isEmpty())
            return;
        for (const FileNodePtr &n : *roots)
            if (n->name == QStringLiteral("Music") || n->name == QStringLiteral("ReadMe.txt"))
                list->controller()->clickCheckBoxWithNode(n.get());
        browsed = true;
        TestSupport::saveScreenshot(wc->aWindow(), QStringLiteral("dmgpage_e2e_browser"));
        QTest::mouseClick(list->doneButton(), Qt::LeftButton);
    });
    driver.start();
    QTest::mouseClick(page->lComboBox()->searchButton(), Qt::LeftButton);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return browsed && page->filesArr() && page->selectFilesSize() > 0; }));
    driver.stop();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page->cloneButton()->isButtonUsable(); }));

    ASSERT_TRUE(clickStart());
    ASSERT_TRUE(confirm());
    ASSERT_TRUE(waitForEnd());
    ASSERT_TRUE(succeeded()) << failure().toStdString();
    EXPECT_EQ(MakeDmgRig::mountedVolumesNamed(world, MakeDmg::imageVolumeName()), 0) << "the image is ejected";

    const QStringList images = newFiles(QStringLiteral("*.dmg"));
    ASSERT_EQ(images.size(), 1);
    const QString mountPoint = MakeDmgRig::mountImage(world, target + QLatin1Char('/') + images.first());
    ASSERT_FALSE(mountPoint.isEmpty());
    QMap<QString, QByteArray> expected;
    expected.insert(MakeDmgRig::subtree(before, QStringLiteral("Documents"), QStringLiteral("Documents")));
    expected.insert(MakeDmgRig::subtree(before, QStringLiteral("Photos"), QStringLiteral("Photos")));
    EXPECT_EQ(MakeDmgRig::treeOf(mountPoint), expected);
    EXPECT_EQ(world.run(QStringLiteral("diskutil"), {QStringLiteral("eject"), mountPoint}).status, 0);

    EXPECT_EQ(MakeDmgRig::treeOf(source), before) << "the source is unchanged";
    EXPECT_TRUE(world.problems().isEmpty()) << world.problems().join(QLatin1Char('\n')).toStdString();
}

TEST_F(ImagePageOnDemoWorld, ArchiveThatCannotBeWrittenEndsOnTheFailureView)
{
    const QString gone = source + QStringLiteral("/gone.txt");
    ASSERT_TRUE(TestSupport::writeFile(gone, "listed, then removed"));
    ASSERT_TRUE(pick(1, QStringLiteral("Travel Drive")));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page->fromeVolume() != nullptr; }));
    ASSERT_TRUE(pick(2, QStringLiteral("BACKUP")));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page->toVolume() != nullptr; }));
    QTest::mouseClick(page->makeZipBut(), Qt::LeftButton);
    ASSERT_TRUE(clickStart());
    // A ticked item that is not there any more when the archive is written.
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page->makeSureWC() != nullptr; }, 30000));
    ASSERT_TRUE(QFile::remove(gone));
    ASSERT_TRUE(confirm());
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(failure(), DmgViewController::failText());
    TestSupport::saveScreenshot(page.get(), QStringLiteral("dmgpage_e2e_failure"));
    EXPECT_TRUE(newFiles(QStringLiteral("*.zip")).isEmpty());
    EXPECT_EQ(MakeDmgRig::treeOf(source), before);
}

TEST_F(ImagePageOnDemoWorld, StopOfAnArchiveJobEndsTheArchiverAndNeverSucceeds)
{
    // The archive's worker waits after its first entry until the stop.
    std::atomic<bool> stopped{false};
    MakeDmg::setZipEntryHook([&](const QByteArray &) {
        for (int i = 0; i < 3000 && !stopped; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    });
    struct Unhook {
        std::atomic<bool> &stopped;
        ~Unhook()
        {
            stopped = true;
            Platform::Dispatch::waitForGlobalQueue(30000);
            MakeDmg::setZipEntryHook({});
        }
    } unhook{stopped};
    ASSERT_TRUE(pick(1, QStringLiteral("Travel Drive")));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page->fromeVolume() != nullptr; }));
    ASSERT_TRUE(pick(2, QStringLiteral("BACKUP")));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page->toVolume() != nullptr; }));
    QTest::mouseClick(page->makeZipBut(), Qt::LeftButton);
    ASSERT_TRUE(clickStart());
    ASSERT_TRUE(confirm());
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page->pathLabel()->text().startsWith(QStringLiteral("adding: ")); }));
    EXPECT_TRUE(page->pathLabel()->text().contains(QStringLiteral("Volumes/Travel Drive/")))
        << page->pathLabel()->text().toStdString();
    QTest::mouseClick(page->cancelButton(), Qt::LeftButton);
    EXPECT_EQ(failure(), DmgViewController::stopText());
    stopped = true;
    Platform::Dispatch::waitForGlobalQueue(30000);
    QTest::qWait(300);
    EXPECT_TRUE(page->sussView()->isHidden());
    EXPECT_EQ(failure(), DmgViewController::stopText());
    EXPECT_EQ(tabs.calls, (QList<bool>{false, true}));
    EXPECT_TRUE(QDir(target).entryList({QStringLiteral("*.zip"), QStringLiteral(".Kestrova*")},
                                       QDir::AllEntries | QDir::Hidden).isEmpty())
        << "the stopped archive is removed";
    EXPECT_EQ(MakeDmgRig::treeOf(source), before);
}

TEST_F(ImagePageOnDemoWorld, StopWhileTheImageIsMadeLeavesNothingMounted)
{
    // An hdiutil that takes its time to create, in a tools folder of its own
    // beside the other stand-ins.
    QTemporaryDir tools;
    const QString real = Platform::toolsDirectory();
    for (const QString &tool : {QStringLiteral("diskutil"), QStringLiteral("asr"), QStringLiteral("diskworld")})
        ASSERT_TRUE(QFile::link(real + QLatin1Char('/') + tool, tools.path() + QLatin1Char('/') + tool));
    // It makes the image and attaches it, then waits to be stopped.
    const QByteArray hdiutil = "'" + QFile::encodeName(real) + "/hdiutil'";
    ASSERT_TRUE(MakeDmgRig::writeScript(
        tools.path() + QStringLiteral("/hdiutil"),
        "if [ \"$1\" = create ]; then\n  " + hdiutil + " \"$@\" >/dev/null || exit 1\n  " + hdiutil +
            " mount \"$2\" >/dev/null || exit 1\n  : > '" + QFile::encodeName(tools.path()) +
            "/started'\n  exec sleep 30\nfi\nexec " + hdiutil + " \"$@\"\n"));
    Platform::setToolsDirectory(tools.path());
    struct Restore {
        QString dir;
        ~Restore() { Platform::setToolsDirectory(dir); }
    } restore{real};

    ASSERT_TRUE(pick(1, QStringLiteral("Travel Drive")));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page->fromeVolume() != nullptr; }));
    ASSERT_TRUE(pick(2, QStringLiteral("BACKUP")));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page->toVolume() != nullptr; }));
    ASSERT_TRUE(clickStart());
    ASSERT_TRUE(confirm());
    const QStringList targetBefore = QDir(target).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return page->lastImageSize() >= 0; }));
    ASSERT_TRUE(
        TestSupport::waitUntil([&] { return QFileInfo::exists(tools.path() + QStringLiteral("/started")); }, 60000));
    ASSERT_EQ(MakeDmgRig::mountedVolumesNamed(world, MakeDmg::imageVolumeName()), 1) << "attached before the stop";
    QTest::mouseClick(page->cancelButton(), Qt::LeftButton);
    EXPECT_EQ(failure(), DmgViewController::stopText());
    Platform::Dispatch::waitForGlobalQueue(20000);
    QTest::qWait(300);
    EXPECT_TRUE(page->sussView()->isHidden());
    EXPECT_EQ(failure(), DmgViewController::stopText());
    EXPECT_EQ(MakeDmgRig::mountedVolumesNamed(world, MakeDmg::imageVolumeName()), 0);
    EXPECT_TRUE(newFiles(QStringLiteral("*.dmg")).isEmpty()) << "the stopped job's image is removed";
    EXPECT_EQ(QDir(target).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), targetBefore);
    EXPECT_EQ(MakeDmgRig::treeOf(source), before);
}
