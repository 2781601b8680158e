// The Disk Manager page on a demo world, driven through its own controls:
// the table, rename, format (each type, the APFS path, refusals), eject, and
// disks coming and going while it is shown.
#include "DiskManagerHost.h"

#include "FormatEndViewController.h"
#include "FormatTypeViewController.h"
#include "FormatingViewController.h"
#include "MakeSureFormatViewController.h"
#include "SortSelectBgView.h"

#include "RMAAttachedWindow.h"
#include "StatusAttachedWindow.h"
#include "TextImageButton.h"

#include "Clock.h"
#include "Dispatch.h"

#include "DiskWorldFixture.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using DiskToolTest::DiskManagerHost;
using Result = FormatEndViewController::Result;

namespace {

const QString kTravel = QStringLiteral("Travel Drive");
const QString kBackup = QStringLiteral("BACKUP");

class DiskManagerE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(world.ok()) << world.error().toStdString();
        host = std::make_unique<DiskManagerHost>();
        ASSERT_TRUE(host->waitForIdle());
    }
    void TearDown() override
    {
        host.reset();
        Platform::Dispatch::waitForGlobalQueue();
    }

    RepairDiskViewController &page() { return *host->page; }

    // Selects the volume's row; false when it is not listed.
    bool select(const QString &name)
    {
        const int row = host->rowOf(name);
        if (row < 0)
            return false;
        host->clickRow(row);
        return page().selectIndex() == row;
    }

    bool rename(const QString &from, const QString &typed)
    {
        if (!select(from) || !host->clickButton(page().selectIndex(), QStringLiteral("rename")))
            return false;
        auto *field = host->subview(page().selectIndex(), QStringLiteral("editname"))->findChild<QLineEdit *>();
        if (!field)
            return false;
        if (typed.contains(QLatin1Char('\n'))) {
            // A field takes no line end from the keyboard; the text arrives as typed elsewhere.
            page().controlTextDidChange(typed);
        } else {
            DiskManagerHost::typeInto(field, typed);
        }
        return host->clickButton(page().selectIndex(), QStringLiteral("save"));
    }

    // Opens the confirmation for a volume; the panel once its name field can be edited.
    MakeSureFormatViewController *openFormat(const QString &name)
    {
        if (!select(name) || !host->clickButton(page().selectIndex(), QStringLiteral("format")))
            return nullptr;
        MakeSureFormatViewController *confirm = page().makeSureFormatVC();
        if (!confirm || !TestSupport::waitUntil([&] { return !confirm->nameTextFiled()->isReadOnly(); }))
            return nullptr;
        return confirm;
    }

    // Chooses a type from the menu as the user does: open it, move in, click a row.
    static bool chooseType(MakeSureFormatViewController *confirm, int index)
    {
        QTest::mouseClick(confirm->typeSelectBut(), Qt::LeftButton);
        FormatTypeViewController *menu = confirm->formatTypeVC();
        if (!menu)
            return false;
        menu->mouseEntered();
        QTest::mouseClick(menu->rowView(index), Qt::LeftButton);
        return TestSupport::waitUntil([&] { return !confirm->sortAttachedWindow(); });
    }

    // Confirms and waits for the done panel; its result.
    std::optional<Result> confirmAndWait(MakeSureFormatViewController *confirm)
    {
        QTest::mouseClick(confirm->okButton(), Qt::LeftButton);
        if (!TestSupport::waitUntil([&] { return page().formatEndVC() && page().formatend(); }, 60000))
            return std::nullopt;
        return page().formatEndVC()->result();
    }

    // Formats a volume through the panels: -1 keeps the volume's type.
    std::optional<Result> format(const QString &volume, const QString &newName, int typeIndex = -1)
    {
        MakeSureFormatViewController *confirm = openFormat(volume);
        if (!confirm)
            return std::nullopt;
        DiskManagerHost::typeInto(confirm->nameTextFiled(), newName);
        if (typeIndex >= 0 && !chooseType(confirm, typeIndex))
            return std::nullopt;
        return confirmAndWait(confirm);
    }

    // The panel that says a rename was not carried out: its text, or
    // nothing when none came up. Closes it with its button.
    std::optional<QString> takeRenameRefusal()
    {
        QPointer<FormatEndViewController> panel = page().renameEndVC();
        if (!panel)
            return std::nullopt;
        const QString text = panel->endLabel()->text();
        QTest::mouseClick(panel->closeButton(), Qt::LeftButton);
        TestSupport::waitUntil([&] { return panel.isNull(); });
        return text;
    }

    bool closeDonePanel()
    {
        QPointer<FormatEndViewController> done = page().formatEndVC();
        if (!done)
            return false;
        QTest::mouseClick(done->closeButton(), Qt::LeftButton);
        return TestSupport::waitUntil([&] { return done.isNull(); });
    }

    QStringList filesOf(const QString &volumeName) const
    {
        const QString mount = world.mountPoint(volumeName);
        if (mount.isEmpty())
            return {QStringLiteral("<not mounted>")};
        return QDir(mount).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }

    Platform::ClockScaleGuard fast{20};
    TestSupport::DiskWorldFixture world;
    std::unique_ptr<DiskManagerHost> host;
};

} // namespace

TEST_F(DiskManagerE2E, DemoWorldIsGroupedAndFirstVolumeSelected)
{
    const QStringList rows = host->rowTexts();
    ASSERT_EQ(rows.size(), 6) << rows.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(rows[0], QStringLiteral("Internal"));
    EXPECT_EQ(QSet<QString>(rows.begin() + 1, rows.begin() + 3),
              (QSet<QString>{QStringLiteral("Macintosh HD"), QStringLiteral("BOOTCAMP")}));
    EXPECT_EQ(rows[3], QStringLiteral("External"));
    EXPECT_EQ(QSet<QString>(rows.begin() + 4, rows.end()), (QSet<QString>{kTravel, kBackup}));
    EXPECT_EQ(page().inRowCount(), 2);
    ASSERT_TRUE(page().selectVolume());
    EXPECT_EQ(page().selectVolume()->volumeName, rows[1]);

    // The startup volume has no Format button, wherever the listing put it.
    const int boot = host->rowOf(QStringLiteral("Macintosh HD"));
    ASSERT_TRUE(select(QStringLiteral("Macintosh HD")));
    EXPECT_TRUE(host->isShown(boot, QStringLiteral("rename")));
    EXPECT_FALSE(host->isShown(boot, QStringLiteral("format")));
    EXPECT_FALSE(host->isShown(boot, QStringLiteral("eject")));

    ASSERT_TRUE(select(kTravel));
    const VolumeObjPtr v = page().selectVolume();
    EXPECT_EQ(v->diskType, QStringLiteral("ExFAT"));
    EXPECT_TRUE(v->bCanEject);
    EXPECT_EQ(v->volRootDir, QStringLiteral("/dev/") + world.bsdName(kTravel));
    EXPECT_EQ(v->diskUUID, world.diskUUID(world.bsdName(kTravel)));
    const int row = host->rowOf(kTravel);
    EXPECT_TRUE(host->isShown(row, QStringLiteral("format")));
    EXPECT_TRUE(host->isShown(row, QStringLiteral("eject")));
    DiskManagerHost::saveComposite(host->window.get(), {}, QStringLiteral("disktool_table"));
}

TEST_F(DiskManagerE2E, EfiVolumesAndSecondEntriesAreLeftOut)
{
    Platform::DiskWorld::DiskSpec spec;
    Platform::DiskWorld::VolumeSpec efi;
    efi.name = QStringLiteral("EFI");
    efi.fs = QStringLiteral("MS-DOS FAT32");
    spec.partitions.push_back(efi);
    ASSERT_FALSE(world.attach(spec).isEmpty()) << world.error().toStdString();
    // A second entry of /Volumes for the same volume.
    ASSERT_TRUE(QFile::link(world.mountPoint(kTravel), world.at(QStringLiteral("/Volumes/Travel link"))));
    const int scans = page().scanCount();
    page().getallVolumes();
    ASSERT_TRUE(host->waitForScanAfter(scans));
    const QStringList rows = host->rowTexts();
    EXPECT_FALSE(rows.contains(QStringLiteral("EFI"))) << rows.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(rows.count(kTravel), 1) << rows.join(QLatin1Char('|')).toStdString();
}

TEST_F(DiskManagerE2E, RenameAUsbVolumeWithNamesThatAShellWouldRead)
{
    QTemporaryDir scratch;
    const QString marker = scratch.filePath(QStringLiteral("ran"));
    const QStringList names = {
        QStringLiteral("Trip \"Files\""),
        QStringLiteral("$(touch %1)").arg(marker),
        QStringLiteral("`touch %1`; echo x").arg(marker),
        QStringLiteral("two\nlines & more"),
        QStringLiteral("it's mine"),
    };
    QString current = kTravel;
    for (const QString &name : names) {
        SCOPED_TRACE(name.toStdString());
        ASSERT_TRUE(rename(current, name));
        EXPECT_FALSE(page().isRenameEdit());
        const VolumeObjPtr v = page().selectVolume();
        ASSERT_TRUE(v);
        EXPECT_EQ(v->volumeName, name);
        EXPECT_EQ(host->subview<QLabel>(page().selectIndex(), QStringLiteral("name"))->text(), name);
        const QString bsd = world.bsdName(name);
        ASSERT_FALSE(bsd.isEmpty());
        EXPECT_EQ(world.info(bsd).value(QStringLiteral("VolumeName")).toString(), name);
        EXPECT_TRUE(QFileInfo(world.mountPoint(name)).isDir());
        EXPECT_EQ(QFileInfo(world.mountPoint(name)).fileName(),
                  QString(name).replace(QLatin1Char('/'), QLatin1Char(':')));
        EXPECT_TRUE(QFile::exists(world.mountPoint(name) + QStringLiteral("/ReadMe.txt")));
        current = name;
    }
    EXPECT_FALSE(QFile::exists(marker));
    EXPECT_TRUE(world.problems().isEmpty()) << world.problems().join(QLatin1Char('\n')).toStdString();
}

TEST_F(DiskManagerE2E, RenameTheStartupVolume)
{
    const QString boot = QStringLiteral("Macintosh HD");
    const QString bsd = world.bsdName(boot);
    ASSERT_FALSE(bsd.isEmpty());
    ASSERT_TRUE(rename(boot, QStringLiteral("Work Mac")));
    EXPECT_FALSE(takeRenameRefusal());
    EXPECT_EQ(page().selectVolume()->volumeName, QStringLiteral("Work Mac"));
    EXPECT_EQ(host->subview<QLabel>(page().selectIndex(), QStringLiteral("name"))->text(), QStringLiteral("Work Mac"));
    // The world agrees: the same volume under its new name, still the root.
    EXPECT_EQ(world.info(bsd).value(QStringLiteral("VolumeName")).toString(), QStringLiteral("Work Mac"));
    EXPECT_EQ(world.bsdName(QStringLiteral("Work Mac")), bsd);
    EXPECT_TRUE(world.bsdName(boot).isEmpty());
    EXPECT_TRUE(QFileInfo(world.at(QStringLiteral("/Volumes/Work Mac"))).isDir());
    EXPECT_FALSE(QFileInfo::exists(world.at(QStringLiteral("/Volumes/Macintosh HD"))));
    EXPECT_TRUE(QFileInfo::exists(world.at(QStringLiteral("/Users/tester/Library/Safari"))));
    // It still offers no Format.
    EXPECT_FALSE(host->isShown(page().selectIndex(), QStringLiteral("format")));
    EXPECT_TRUE(world.problems().isEmpty()) << world.problems().join(QLatin1Char('\n')).toStdString();
}

TEST_F(DiskManagerE2E, Fat32RenameIsUpperCaseElevenOrNew)
{
    ASSERT_TRUE(rename(kBackup, QStringLiteral("my backup disk")));
    EXPECT_EQ(page().selectVolume()->volumeName, QStringLiteral("MY BACKUP D"));
    EXPECT_FALSE(world.bsdName(QStringLiteral("MY BACKUP D")).isEmpty());
    // Upper case before the cut: 10 letters typed, 12 in upper case, 11 kept.
    ASSERT_TRUE(rename(QStringLiteral("MY BACKUP D"), QStringLiteral("großstraße")));
    EXPECT_FALSE(takeRenameRefusal());
    EXPECT_EQ(page().selectVolume()->volumeName, QStringLiteral("GROSSSTRASS"));
    const QString renamed = world.bsdName(QStringLiteral("GROSSSTRASS"));
    ASSERT_FALSE(renamed.isEmpty());
    EXPECT_EQ(world.info(renamed).value(QStringLiteral("VolumeName")).toString(), QStringLiteral("GROSSSTRASS"));
    ASSERT_TRUE(rename(QStringLiteral("GROSSSTRASS"), QStringLiteral("MY BACKUP D")));
    ASSERT_TRUE(rename(QStringLiteral("MY BACKUP D"), QStringLiteral("备份盘")));
    EXPECT_EQ(page().selectVolume()->volumeName, QStringLiteral("NEW"));
    EXPECT_FALSE(world.bsdName(QStringLiteral("NEW")).isEmpty());
    // Any other type takes the name as typed.
    ASSERT_TRUE(rename(kTravel, QStringLiteral("my travel disk")));
    EXPECT_FALSE(world.bsdName(QStringLiteral("my travel disk")).isEmpty());
}

TEST_F(DiskManagerE2E, RefusedRenameKeepsTheOldName)
{
    struct Row {
        QString volume;
        QString typed;
    };
    // ".." is no name; the NTFS volume is read-only.
    for (const Row &r :
         {Row{kTravel, QStringLiteral("..")}, Row{QStringLiteral("BOOTCAMP"), QStringLiteral("Windows")}}) {
        SCOPED_TRACE(r.volume.toStdString());
        const QByteArray before = world.stateBytes();
        ASSERT_TRUE(rename(r.volume, r.typed));
        EXPECT_EQ(page().selectVolume()->volumeName, r.volume);
        EXPECT_EQ(host->subview<QLabel>(page().selectIndex(), QStringLiteral("name"))->text(), r.volume);
        EXPECT_EQ(world.stateBytes(), before);
        // The user is told.
        EXPECT_EQ(takeRenameRefusal(), FormatEndViewController::textForResult(Result::RenameFailed));
    }
}

TEST_F(DiskManagerE2E, RenameRunsNothingWithoutAUuidOrForAVolumeThatChanged)
{
    ASSERT_TRUE(select(kTravel));
    const VolumeObjPtr travel = page().selectVolume();
    const QString uuid = travel->diskUUID;
    travel->diskUUID.clear();
    QByteArray before = world.stateBytes();
    ASSERT_TRUE(rename(kTravel, QStringLiteral("Nowhere")));
    EXPECT_EQ(world.stateBytes(), before);
    EXPECT_EQ(travel->volumeName, kTravel);
    EXPECT_EQ(takeRenameRefusal(), FormatEndViewController::textForResult(Result::RenameVolumeChanged));
    travel->diskUUID = uuid;

    // Renamed behind the page's back while the field is open: the record no
    // longer matches the volume, so Save runs nothing.
    ASSERT_TRUE(select(kTravel));
    ASSERT_TRUE(host->clickButton(page().selectIndex(), QStringLiteral("rename")));
    page().controlTextDidChange(QStringLiteral("Mine"));
    DiskManagerHost::saveComposite(host->window.get(), {}, QStringLiteral("disktool_rename"));
    ASSERT_EQ(world
                  .run(QStringLiteral("diskutil"),
                       {QStringLiteral("rename"), world.bsdName(kTravel), QStringLiteral("Elsewhere")})
                  .status,
              0);
    before = world.stateBytes();
    ASSERT_TRUE(host->clickButton(page().selectIndex(), QStringLiteral("save")));
    EXPECT_EQ(world.stateBytes(), before);
    EXPECT_TRUE(world.bsdName(QStringLiteral("Mine")).isEmpty());
    EXPECT_FALSE(world.bsdName(QStringLiteral("Elsewhere")).isEmpty());
    EXPECT_EQ(takeRenameRefusal(), FormatEndViewController::textForResult(Result::RenameVolumeChanged));
}

TEST_F(DiskManagerE2E, FormatAUsbVolumeAsEachType)
{
    struct Row {
        int index;
        QString typed;
        QString name;
        QString fs;
    };
    const Row rows[] = {
        {0, QStringLiteral("Trip \"x\" $(y)"), QStringLiteral("Trip \"x\" $(y)"), QStringLiteral("ExFAT")},
        {1, QStringLiteral("camera roll"), QStringLiteral("CAMERA ROLL"), QStringLiteral("MS-DOS FAT32")},
        {2, QStringLiteral("Mac Files"), QStringLiteral("Mac Files"), QStringLiteral("Journaled HFS+")},
        {3, QStringLiteral("Fresh"), QStringLiteral("Fresh"), QStringLiteral("APFS")},
    };
    QString current = kTravel;
    for (const Row &r : rows) {
        SCOPED_TRACE(r.fs.toStdString());
        const QStringList backupFiles = filesOf(kBackup);
        MakeSureFormatViewController *confirm = openFormat(current);
        ASSERT_TRUE(confirm);
        EXPECT_EQ(confirm->nameLabel()->text(), QStringLiteral("格式化 '%1'?").arg(current));
        DiskManagerHost::typeInto(confirm->nameTextFiled(), r.typed);
        ASSERT_TRUE(chooseType(confirm, r.index));
        EXPECT_EQ(confirm->typeLabel()->text(), FormatTypeViewController::formatTypes().at(r.index));
        const std::optional<Result> result = confirmAndWait(confirm);
        ASSERT_TRUE(result);
        EXPECT_EQ(*result, Result::Succeeded);
        EXPECT_EQ(page().formatEndVC()->endLabel()->text(), FormatEndViewController::textForResult(Result::Succeeded));
        // The busy panel is gone, whether or not it had come up.
        EXPECT_TRUE(TestSupport::waitUntil([&] { return !page().formatingVC(); }));
        ASSERT_TRUE(closeDonePanel());

        const QString bsd = world.bsdName(r.name);
        ASSERT_FALSE(bsd.isEmpty());
        const QVariantMap info = world.info(bsd);
        EXPECT_EQ(info.value(QStringLiteral("FilesystemName")).toString(), r.fs);
        EXPECT_EQ(info.value(QStringLiteral("VolumeName")).toString(), r.name);
        EXPECT_FALSE(filesOf(r.name).contains(QStringLiteral("ReadMe.txt")));
        EXPECT_FALSE(filesOf(r.name).contains(QStringLiteral("Documents")));
        // Only the chosen volume was touched.
        EXPECT_EQ(filesOf(kBackup), backupFiles);
        EXPECT_TRUE(TestSupport::waitUntil([&] { return host->rowOf(r.name) > 0 && !page().isScanV(); }));
        // Something to lose on the next round.
        ASSERT_TRUE(TestSupport::writeFile(world.mountPoint(r.name) + QStringLiteral("/ReadMe.txt"), "again\n"));
        current = r.name;
    }
    EXPECT_TRUE(world.problems().isEmpty()) << world.problems().join(QLatin1Char('\n')).toStdString();
}

TEST_F(DiskManagerE2E, FormatAnApfsVolumeRenamesThenReformats)
{
    ASSERT_FALSE(world
                     .attachUsb(QStringLiteral("Fast Disk"), QStringLiteral("APFS"), 64'000'000,
                                {{QStringLiteral("work/plan.txt"), QByteArray("plan\n")}})
                     .isEmpty());
    ASSERT_TRUE(
        TestSupport::waitUntil([&] { return host->rowOf(QStringLiteral("Fast Disk")) > 0 && !page().isScanV(); }));
    const QString node = QStringLiteral("/dev/") + world.bsdName(QStringLiteral("Fast Disk"));

    MakeSureFormatViewController *confirm = openFormat(QStringLiteral("Fast Disk"));
    ASSERT_TRUE(confirm);
    // The type cannot be changed.
    EXPECT_EQ(confirm->typeLabel()->text(), QStringLiteral("APFS"));
    EXPECT_FALSE(confirm->typeSelectBut()->isEnabled());
    EXPECT_TRUE(confirm->openImageV()->isHidden());
    EXPECT_EQ(confirm->typeLabel()->palette().color(QPalette::WindowText), QColor(218, 220, 224));
    QTest::mouseClick(confirm->typeSelectBut(), Qt::LeftButton);
    EXPECT_FALSE(confirm->formatTypeVC());

    DiskManagerHost::typeInto(confirm->nameTextFiled(), QStringLiteral("Renewed"));
    const std::optional<Result> result = confirmAndWait(confirm);
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, Result::Succeeded);
    // The reformat had ended before the end step: the content is gone now.
    const QString bsd = world.bsdName(QStringLiteral("Renewed"));
    ASSERT_FALSE(bsd.isEmpty());
    EXPECT_EQ(QStringLiteral("/dev/") + bsd, node);
    EXPECT_EQ(world.info(bsd).value(QStringLiteral("FilesystemName")).toString(), QStringLiteral("APFS"));
    EXPECT_FALSE(filesOf(QStringLiteral("Renewed")).contains(QStringLiteral("work")));
    ASSERT_TRUE(closeDonePanel());

    // An empty name is left for diskutil to refuse; the volume is still reformatted.
    ASSERT_TRUE(TestSupport::writeFile(world.mountPoint(QStringLiteral("Renewed")) + QStringLiteral("/kept.txt"), "x"));
    ASSERT_TRUE(
        TestSupport::waitUntil([&] { return host->rowOf(QStringLiteral("Renewed")) > 0 && !page().isScanV(); }));
    confirm = openFormat(QStringLiteral("Renewed"));
    ASSERT_TRUE(confirm);
    confirm->nameTextFiled()->clear();
    const std::optional<Result> second = confirmAndWait(confirm);
    ASSERT_TRUE(second);
    EXPECT_EQ(*second, Result::NameKept);
    EXPECT_FALSE(filesOf(QStringLiteral("Renewed")).contains(QStringLiteral("kept.txt")));
}

TEST_F(DiskManagerE2E, RefusedFormatSaysSoAndKeepsTheContent)
{
    const std::optional<Result> result = format(kTravel, QStringLiteral(".."), 0);
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, Result::Failed);
    EXPECT_EQ(page().formatEndVC()->endLabel()->text(), FormatEndViewController::textForResult(Result::Failed));
    EXPECT_TRUE(filesOf(kTravel).contains(QStringLiteral("ReadMe.txt")));
    EXPECT_EQ(world.info(world.bsdName(kTravel)).value(QStringLiteral("FilesystemName")).toString(),
              QStringLiteral("ExFAT"));
}

TEST_F(DiskManagerE2E, FormatActsOnTheVolumeChosenWhenThePanelOpened)
{
    const QStringList bootcamp = filesOf(QStringLiteral("BOOTCAMP"));
    MakeSureFormatViewController *confirm = openFormat(kTravel);
    ASSERT_TRUE(confirm);
    // Format again while the panel is up: nothing new.
    page().formatButtonAction();
    EXPECT_EQ(page().makeSureFormatVC(), confirm);
    // A rescan meanwhile selects row 1 again.
    const int scans = page().scanCount();
    page().getallVolumes();
    ASSERT_TRUE(host->waitForScanAfter(scans));
    EXPECT_EQ(page().selectIndex(), 1);
    EXPECT_NE(page().selectVolume()->volumeName, kTravel);

    DiskManagerHost::typeInto(confirm->nameTextFiled(), QStringLiteral("Cleared"));
    const std::optional<Result> result = confirmAndWait(confirm);
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, Result::Succeeded);
    EXPECT_FALSE(world.bsdName(QStringLiteral("Cleared")).isEmpty());
    EXPECT_TRUE(world.bsdName(kTravel).isEmpty());
    EXPECT_EQ(filesOf(QStringLiteral("BOOTCAMP")), bootcamp);
    EXPECT_FALSE(world.bsdName(QStringLiteral("Macintosh HD")).isEmpty());
}

TEST_F(DiskManagerE2E, FormatRunsNothingWhenTheVolumeChangedMeanwhile)
{
    MakeSureFormatViewController *confirm = openFormat(kTravel);
    ASSERT_TRUE(confirm);
    ASSERT_EQ(world
                  .run(QStringLiteral("diskutil"),
                       {QStringLiteral("rename"), world.bsdName(kTravel), QStringLiteral("Moved On")})
                  .status,
              0);
    const std::optional<Result> result = confirmAndWait(confirm);
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, Result::VolumeChanged);
    EXPECT_TRUE(filesOf(QStringLiteral("Moved On")).contains(QStringLiteral("ReadMe.txt")));
}

TEST_F(DiskManagerE2E, CancelRunsNothingAndFreesTheFormatButton)
{
    const QByteArray before = world.stateBytes();
    MakeSureFormatViewController *confirm = openFormat(kTravel);
    ASSERT_TRUE(confirm);
    EXPECT_FALSE(page().formatend());
    QPointer<MakeSureFormatViewController> guard = confirm;
    QTest::mouseClick(confirm->noButton(), Qt::LeftButton);
    EXPECT_TRUE(page().formatend());
    EXPECT_TRUE(TestSupport::waitUntil([&] { return guard.isNull(); }));
    Platform::Dispatch::waitForGlobalQueue();
    EXPECT_EQ(world.stateBytes(), before);
    EXPECT_TRUE(openFormat(kTravel));
}

TEST_F(DiskManagerE2E, PanelsLookRight)
{
    MakeSureFormatViewController *confirm = openFormat(kTravel);
    ASSERT_TRUE(confirm);
    StatusAttachedWindow *panel = confirm->superDelegate();
    ASSERT_TRUE(panel);
    EXPECT_EQ(panel->size(), host->window->size());
    QTest::mouseClick(confirm->typeSelectBut(), Qt::LeftButton);
    ASSERT_TRUE(confirm->formatTypeVC());
    confirm->formatTypeVC()->mouseEntered();
    confirm->formatTypeVC()->mouseInView(true, 1);
    confirm->formatTypeVC()->rowView(1)->mouseEntered();
    // The menu sits above the chooser, centred on it.
    const QRect chooser(confirm->typeSelectBut()->mapTo(confirm, QPoint(0, 0)), confirm->typeSelectBut()->size());
    const QRect menu = confirm->sortAttachedWindow()->geometry().translated(-panel->geometry().topLeft());
    EXPECT_NEAR(menu.center().x(), chooser.center().x(), 3);
    EXPECT_NEAR(menu.bottom(), chooser.top(), 3);
    DiskManagerHost::saveComposite(host->window.get(), {panel, confirm->sortAttachedWindow()},
                                   QStringLiteral("disktool_format_menu"));
    confirm->formatTypeVC()->mouseExited();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !confirm->sortAttachedWindow(); }));
    QTest::mouseClick(confirm->noButton(), Qt::LeftButton);

    page().showFormatingView();
    ASSERT_TRUE(page().formatingVC());
    DiskManagerHost::saveComposite(host->window.get(), {page().formatingVC()->superDelegate()},
                                   QStringLiteral("disktool_formatting"));
    page().formatingVC()->closeWindow();
    for (Result r : {Result::Succeeded, Result::Failed}) {
        page().showFormatEndWindow(r);
        ASSERT_TRUE(page().formatEndVC());
        EXPECT_EQ(page().formatEndVC()->closeButton()->textField()->text(), QStringLiteral("好的"));
        DiskManagerHost::saveComposite(host->window.get(), {page().formatEndVC()->superDelegate()},
                                       r == Result::Succeeded ? QStringLiteral("disktool_format_done")
                                                              : QStringLiteral("disktool_format_failed"));
    }
    ASSERT_TRUE(closeDonePanel());
}

TEST_F(DiskManagerE2E, EjectAUsbDiskAndItsRowGoes)
{
    ASSERT_TRUE(select(kBackup));
    const int row = page().selectIndex();
    ASSERT_TRUE(host->clickButton(row, QStringLiteral("eject")));
    // Gone from the world at once, from the table with the unmount's rescan.
    EXPECT_TRUE(world.bsdName(kBackup).isEmpty());
    EXPECT_TRUE(TestSupport::waitUntil([&] { return host->rowOf(kBackup) < 0 && !page().isScanV(); }));
    EXPECT_GE(host->rowOf(kTravel), 0);
}

TEST_F(DiskManagerE2E, PluggingADiskInRebuildsTheTable)
{
    const TestSupport::ToolRun run = world.run(
        QStringLiteral("diskworld"), {QStringLiteral("attach"), QStringLiteral("--name"), QStringLiteral("New Stick")});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(
        TestSupport::waitUntil([&] { return host->rowOf(QStringLiteral("New Stick")) > 0 && !page().isScanV(); }));
    EXPECT_GT(host->rowOf(QStringLiteral("New Stick")), page().inRowCount() + 1);
}

TEST_F(DiskManagerE2E, RescanAskedForDuringAScanRunsAfterIt)
{
    const int scans = page().scanCount();
    page().getallVolumes();
    ASSERT_TRUE(page().isScanV());
    // Plugged in while the scan runs: the second request picks it up.
    ASSERT_FALSE(world.attachUsb(QStringLiteral("Late Stick")).isEmpty());
    page().getallVolumes();
    ASSERT_TRUE(host->waitForScanAfter(scans + 1));
    EXPECT_GE(page().scanCount(), scans + 2);
    EXPECT_GT(host->rowOf(QStringLiteral("Late Stick")), 0);
}
