// The volume picker: the list layout and its numbers, the rows' look, the
// external-only acceptance, hover and click, and discovery on small worlds.
#include "DiskListVCDelegate.h"
#include "DiskListView.h"
#include "DiskListViewController.h"
#include "SelectDiskVCDelegate.h"
#include "SelectDiskViewController.h"

#include "CocoaGeometry.h"
#include "DiskSizeProgress.h"

#include "PrivateData.h"
#include "QoPublicUtilities.h"
#include "VolumeObjBuilders.h"

#include "Clock.h"
#include "Dispatch.h"
#include "PlainText.h"
#include "SystemRoot.h"

#include "DiskListTestPrint.h"
#include "DiskWorldFixture.h"
#include "TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QWheelEvent>
#include <QEnterEvent>
#include <QFontInfo>
#include <QLabel>
#include <QProgressBar>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <gmock/gmock.h>

namespace {

VolumeObjPtr volume(const QString &name, qint64 total, qint64 free, bool eject = false, const QString &mount = {})
{
    auto v = std::make_shared<VolumeObj>();
    v->volumeName = name;
    v->volumeTotalSizeNum = total;
    v->volumeFreeSizeNum = free;
    v->volumeTotalSize = QStringLiteral("%1 B").arg(total);
    v->volumeType = QStringLiteral("APFS");
    v->bCanEject = eject;
    v->volumeMountPoint = mount;
    return v;
}

class RecordingPicker : public DiskListVCDelegate {
public:
    void doSelectDiskWithVolume(const VolumeObjPtr &v) override { chosen.append(v); }
    QList<VolumeObjPtr> chosen;
};

class RecordingPage : public SelectDiskVCDelegate {
public:
    void doSelectDiskWithVolume(const VolumeObjPtr &v) override { chosen.append(v); }
    QList<VolumeObjPtr> chosen;
};

QStringList headingsOf(const QWidget *document)
{
    QStringList out;
    for (const QLabel *l : document->findChildren<QLabel *>(QStringLiteral("heading"), Qt::FindDirectChildrenOnly))
        out << l->text();
    return out;
}

QList<DiskListViewController *> rowsOf(const QWidget *document)
{
    return document->findChildren<DiskListViewController *>(Qt::FindDirectChildrenOnly);
}

// Runs a picker's discovery to its list (the 0.2 s wait sped up).
bool discover(SelectDiskViewController &picker)
{
    Platform::ClockScaleGuard fast(50);
    picker.awakeFromNib();
    return TestSupport::waitUntil([&] { return picker.isListShown(); }, 30000);
}

} // namespace

TEST(PickerLayoutTest, DocumentHeightIsFourHundredOrWhatItsRowsNeed)
{
    struct Row {
        int internal;
        int external;
        bool onlyEx;
        double height;
    };
    // The last row's bottom edge, measured from the top, plus a gap of 8.
    const Row rows[] = {
        {0, 0, false, 400},  {1, 0, false, 400},  {4, 0, false, 400},  {7, 0, false, 400},
        {8, 0, false, 452},  {10, 0, false, 556}, {0, 1, true, 400},   {0, 7, true, 401},
        {0, 8, true, 453},   {0, 10, true, 557},  {1, 7, false, 481},  {2, 8, false, 581},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << r.internal << "+" << r.external << (r.onlyEx ? " external only" : ""));
        const auto layout = SelectDiskViewController::layoutFor(r.internal, r.external, r.onlyEx);
        EXPECT_EQ(layout.height, r.height);
        // Every row lies whole inside the document.
        for (const QPointF &p : layout.internalRows + layout.externalRows)
            EXPECT_GE(p.y(), 0);
    }
}

TEST(PickerLayoutTest, HeadingsAndRowsOfTheNormalListing)
{
    const auto layout = SelectDiskViewController::layoutFor(2, 2, false);
    const double H = 400;
    ASSERT_TRUE(layout.internalHeading);
    EXPECT_EQ(*layout.internalHeading, QRectF(20, H - 30, 200, 20));
    EXPECT_EQ(layout.internalRows, (QList<QPointF>{{0, H - 48 - 32}, {0, H - 96 - 32 - 4}}));
    ASSERT_TRUE(layout.externalHeading);
    EXPECT_EQ(*layout.externalHeading, QRectF(20, H - 96 - 63, 200, 20));
    EXPECT_EQ(layout.externalRows, (QList<QPointF>{{0, H - 48 - 96 - 65}, {0, H - 96 - 96 - 65 - 4}}));
}

TEST(PickerLayoutTest, InternalHeadingStandsAloneAndExternalOnlyHasNone)
{
    const auto empty = SelectDiskViewController::layoutFor(0, 0, false);
    EXPECT_TRUE(empty.internalHeading);
    EXPECT_FALSE(empty.externalHeading);
    EXPECT_TRUE(empty.internalRows.isEmpty());

    const auto external = SelectDiskViewController::layoutFor(0, 2, true);
    EXPECT_FALSE(external.internalHeading);
    ASSERT_TRUE(external.externalHeading);
    EXPECT_EQ(external.externalHeading->y(), 400 - 30);
    EXPECT_EQ(external.externalRows, (QList<QPointF>{{0, 400 - 48 - 33}, {0, 400 - 96 - 33 - 4}}));

    EXPECT_FALSE(SelectDiskViewController::layoutFor(0, 0, true).externalHeading);
}

TEST(PickerRowTest, UsageBarValues)
{
    struct Row {
        qint64 total;
        qint64 free;
        bool externalOnly;
        float value;
    };
    const Row rows[] = {
        {1000, 250, false, 75},
        {1000, 999, false, 1}, // the free share is truncated: 99
        {1000, 1, false, 100}, // 0 % free
        {1000, 0, false, 100},
        {1000, 1000, false, 0},
        {1000, 1500, false, 100}, // free above the total: full bar
        {1000, -5, false, 100},   // negative free: full bar
        {0, 0, false, 0},         // no size: no division, an empty bar
        {0, 100, false, 0},
        {1000, 250, true, 0.1f}, // external-only rows always show 0.1
        {0, 0, true, 0.1f},
        {std::numeric_limits<qint64>::max(), std::numeric_limits<qint64>::max() / 2, false, 51}, // 49.99.. % free
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(QStringLiteral("%1/%2").arg(r.free).arg(r.total).toStdString());
        EXPECT_FLOAT_EQ(
            DiskListViewController::usageValue(*volume(QStringLiteral("v"), r.total, r.free), r.externalOnly), r.value);
    }
}

TEST(PickerRowTest, IconRule)
{
    TestSupport::TempRoot root;
    EXPECT_EQ(DiskListViewController::iconNameForVolume(*volume(QStringLiteral("a"), 1, 0)),
              QStringLiteral("ic_disk_main"));
    EXPECT_EQ(DiskListViewController::iconNameForVolume(*volume(QStringLiteral("a"), 1, 0, true)),
              QStringLiteral("ic_usb_main"));
    EXPECT_EQ(DiskListViewController::iconNameForVolume(*volume(QStringLiteral("a"), 1, 0, false, QStringLiteral("/"))),
              QStringLiteral("ic_os_main_b"));
    // The startup volume's mount point is the system root.
    EXPECT_EQ(DiskListViewController::iconNameForVolume(*volume(QStringLiteral("a"), 1, 0, false, root.path())),
              QStringLiteral("ic_os_main_b"));
    EXPECT_EQ(DiskListViewController::iconNameForVolume(*volume(QStringLiteral("a"), 1, 0, true, QStringLiteral("/"))),
              QStringLiteral("ic_usb_main"));
}

TEST(PickerRowTest, FillingANormalAndAnExternalOnlyRow)
{
    DiskListViewController row;
    row.setVolumeObj(volume(QStringLiteral("Data"), 4000, 1000));
    row.refreshaView();
    EXPECT_EQ(row.nameLabel()->text(), QStringLiteral("Data"));
    EXPECT_EQ(row.nameLabel()->toolTip(), Platform::plainToolTip(QStringLiteral("Data")));
    EXPECT_EQ(row.sizeLabel()->text(), QStringLiteral("3.00 KB/4000 B"));
    EXPECT_EQ(row.diskInfoLabel()->text(), QStringLiteral("APFS"));
    EXPECT_EQ(row.iconName(), QStringLiteral("ic_disk_main"));
    ASSERT_TRUE(row.diskSizeProgress());
    // (76, 12) 250 x 4 from the row's bottom-left corner.
    EXPECT_EQ(row.diskSizeProgress()->geometry(), QRect(76, 48 - 12 - 4, 250, 4));
    EXPECT_FLOAT_EQ(row.diskSizeProgress()->used(), 250 * 0.75f);

    DiskListViewController ex;
    ex.setIsOnlyShowEx(true);
    ex.setVolumeObj(volume(QStringLiteral("SanDisk Cruzer Blade Media"), 4000, 0, true));
    ex.refreshaView();
    EXPECT_EQ(ex.sizeLabel()->text(), QStringLiteral("4000 B"));
    EXPECT_EQ(ex.nameLabel()->size(), QSize(180, 14));
    EXPECT_EQ(ex.nameLabel()->font().pixelSize(), 12);
    EXPECT_EQ(ex.iconName(), QStringLiteral("ic_usb_main"));
    EXPECT_FLOAT_EQ(ex.diskSizeProgress()->used(), 250 * 0.001f);
    // Filling again makes one bar, not two.
    ex.refreshaView();
    EXPECT_EQ(ex.aView()->findChildren<DiskSizeProgress *>().size(), 1);
}

TEST(PickerRowTest, HoverHighlightsAndAClickHandsTheRecordOver)
{
    RecordingPicker picker;
    DiskListViewController row;
    const VolumeObjPtr v = volume(QStringLiteral("Data"), 4000, 1000);
    row.setVolumeObj(v);
    row.setDiskListVCDelegate(&picker);
    row.refreshaView();
    EXPECT_FALSE(row.aView()->mouseIn());
    const auto draw = [&] {
        QImage img(row.size(), QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::transparent);
        row.render(&img, QPoint(), QRegion(), QWidget::DrawChildren);
        return img;
    };

    QEnterEvent enter(QPointF(100, 24), row.aView()->mapToGlobal(QPointF(100, 24)),
                      row.aView()->mapToGlobal(QPointF(100, 24)));
    QCoreApplication::sendEvent(row.aView(), &enter);
    EXPECT_TRUE(row.aView()->mouseIn());
    QImage img = draw();
    EXPECT_EQ(img.pixelColor(200, 40), QColor(77, 77, 77));
    EXPECT_EQ(img.pixelColor(10, 24).alpha(), 0);  // left of the band
    EXPECT_EQ(img.pixelColor(360, 24).alpha(), 0); // right of it (20 + 318)

    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(row.aView(), &leave);
    EXPECT_FALSE(row.aView()->mouseIn());
    img = draw();
    EXPECT_EQ(img.pixelColor(200, 40).alpha(), 0);

    // A click on the name is the row's.
    QTest::mouseClick(row.nameLabel(), Qt::LeftButton, {}, QPoint(3, 3));
    ASSERT_EQ(picker.chosen.size(), 1);
    EXPECT_EQ(picker.chosen[0], v);
}

TEST(PickerUsbTest, OnlyPlainUsbDisksAreOffered)
{
    const QVariantMap usb{{QStringLiteral("BusProtocol"), QStringLiteral("USB")},
                          {QStringLiteral("IORegistryEntryName"), QStringLiteral("Stick")},
                          {QStringLiteral("Content"), QStringLiteral("GUID_partition_scheme")},
                          {QStringLiteral("VirtualOrPhysical"), QStringLiteral("Physical")},
                          {QStringLiteral("RAIDMaster"), false},
                          {QStringLiteral("CoreStorageEncrypted"), false},
                          {QStringLiteral("Ejectable"), true},
                          {QStringLiteral("TotalSize"), 64000000}};
    struct Row {
        const char *why;
        QString key;
        QVariant value;
        bool offered;
    };
    const Row rows[] = {
        {"plain USB disk", {}, {}, true},
        {"PCI-Express, ejectable", QStringLiteral("BusProtocol"), QStringLiteral("PCI-Express"), false},
        {"bus in other case", QStringLiteral("BusProtocol"), QStringLiteral("usb"), false},
        {"RAID set", QStringLiteral("RAIDMaster"), true, false},
        {"encrypted Core Storage", QStringLiteral("CoreStorageEncrypted"), true, false},
        {"HFSX content", QStringLiteral("Content"), QStringLiteral("Apple_HFSX"), false},
        {"virtual device", QStringLiteral("VirtualOrPhysical"), QStringLiteral("Virtual"), false},
        {"not ejectable, still USB", QStringLiteral("Ejectable"), false, true},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.why);
        QVariantMap info = usb;
        if (!r.key.isEmpty())
            info.insert(r.key, r.value);
        const VolumeObjPtr v = SelectDiskViewController::externalDiskFromInfo(info);
        EXPECT_EQ(bool(v), r.offered);
        if (v) {
            EXPECT_TRUE(v->bCanEject);
        }
    }
    QVariantMap pciFixed = usb;
    pciFixed.insert(QStringLiteral("BusProtocol"), QStringLiteral("PCI-Express"));
    pciFixed.insert(QStringLiteral("Ejectable"), false);
    EXPECT_FALSE(SelectDiskViewController::externalDiskFromInfo(pciFixed));

    QVariantMap unnamed = usb;
    unnamed.remove(QStringLiteral("IORegistryEntryName"));
    const VolumeObjPtr v = SelectDiskViewController::externalDiskFromInfo(unnamed);
    ASSERT_TRUE(v);
    EXPECT_EQ(v->volumeName, QStringLiteral("Unknown"));
}

TEST(PickerDiscoveryTest, AnEmptyVolumesFolderShowsTheInternalHeadingAlone)
{
    for (const bool withDsStore : {false, true}) {
        SCOPED_TRACE(withDsStore);
        TestSupport::TempRoot root;
        ASSERT_TRUE(QDir().mkpath(root.at(QStringLiteral("/Volumes"))));
        if (withDsStore) {
            ASSERT_TRUE(TestSupport::writeFile(root.at(QStringLiteral("/Volumes/.DS_Store")), "x"));
        }
        SelectDiskViewController picker;
        picker.show();
        EXPECT_FALSE(picker.loadP()->isHidden());
        ASSERT_TRUE(discover(picker));
        EXPECT_TRUE(picker.loadP()->isHidden());
        EXPECT_TRUE(picker.allVolumeArr().isEmpty());
        ASSERT_TRUE(picker.documentView());
        EXPECT_EQ(picker.documentView()->size(), QSize(392, 400));
        EXPECT_EQ(headingsOf(picker.documentView()), QStringList{SelectDiskViewController::internalHeading()});
        EXPECT_TRUE(rowsOf(picker.documentView()).isEmpty());
    }
}

TEST(PickerDiscoveryTest, NormalListingOfAWorldAndTheRowsWhereTheyBelong)
{
    TestSupport::DiskWorldFixture::Options plain;
    plain.demo = false;
    TestSupport::DiskWorldFixture world(plain);
    ASSERT_TRUE(world.ok()) << world.error().toStdString();
    ASSERT_FALSE(world.attachUsb(QStringLiteral("Stick One")).isEmpty());
    ASSERT_FALSE(world.attachUsb(QStringLiteral("Stick Two"), QStringLiteral("MS-DOS FAT32")).isEmpty());

    RecordingPage page;
    SelectDiskViewController picker;
    picker.setSelectDiskVCDelegate(&page);
    ASSERT_TRUE(discover(picker));
    QStringList names;
    for (const VolumeObjPtr &v : picker.allVolumeArr())
        names << v->volumeName;
    names.sort();
    EXPECT_EQ(names,
              (QStringList{QStringLiteral("Macintosh HD"), QStringLiteral("Stick One"), QStringLiteral("Stick Two")}));

    const QWidget *doc = picker.documentView();
    ASSERT_TRUE(doc);
    EXPECT_EQ(headingsOf(doc),
              (QStringList{SelectDiskViewController::internalHeading(), SelectDiskViewController::externalHeading()}));
    const auto layout = SelectDiskViewController::layoutFor(1, 2, false);
    QList<DiskListViewController *> rows = rowsOf(doc);
    ASSERT_EQ(rows.size(), 3);
    QList<QPoint> expected;
    for (const QPointF &p : layout.internalRows + layout.externalRows)
        expected << CocoaGeometry::toQt(QRectF(p, QSizeF(392, 48)), 400).topLeft().toPoint();
    QList<QPoint> actual;
    for (const DiskListViewController *r : rows)
        actual << r->pos();
    EXPECT_EQ(actual, expected);
    EXPECT_EQ(rows[0]->volumeObj()->volumeName, QStringLiteral("Macintosh HD"));
    EXPECT_EQ(rows[0]->iconName(), QStringLiteral("ic_os_main_b"));
    EXPECT_EQ(rows[1]->iconName(), QStringLiteral("ic_usb_main"));
    // The top of the list shows.
    EXPECT_EQ(picker.listScrollView()->verticalScrollBar()->value(), 0);

    QTest::mouseClick(rows[2]->aView(), Qt::LeftButton, {}, QPoint(100, 20));
    ASSERT_EQ(page.chosen.size(), 1);
    EXPECT_EQ(page.chosen[0], rows[2]->volumeObj());
}

TEST(PickerDiscoveryTest, NamesThatAreNoVolumeAndNamesFullOfShellSignsAreSkipped)
{
    TestSupport::DiskWorldFixture::Options plain;
    plain.demo = false;
    TestSupport::DiskWorldFixture world(plain);
    ASSERT_TRUE(world.ok()) << world.error().toStdString();
    // A folder under /Volumes that no disk holds, named like a command.
    ASSERT_TRUE(QDir().mkpath(world.at(QStringLiteral("/Volumes/x; touch pwned"))));
    ASSERT_TRUE(QDir().mkpath(world.at(QStringLiteral("/Volumes/(null)"))));
    // And the info command itself given such a name.
    // A shell would run these and hand diskutil the boot volume's name.
    ASSERT_TRUE(SelectDiskViewController::getDisjInfo(QStringLiteral("disk1s1")));
    for (const QString &evil :
         {QStringLiteral("disk1s1;true"), QStringLiteral("$(echo disk1s1)"), QStringLiteral("`echo disk1s1`"),
          QStringLiteral("disk1s1 && true"), QStringLiteral("disk1s1\ntrue")}) {
        SCOPED_TRACE(evil.toStdString());
        EXPECT_FALSE(SelectDiskViewController::getDisjInfo(evil));
        EXPECT_FALSE(SelectDiskViewController::QoGetDiskInfo(evil));
    }
    QList<VolumeObjPtr> found;
    SelectDiskViewController::doGetAllVolume_(found);
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found[0]->volumeName, QStringLiteral("Macintosh HD"));
}

TEST(PickerDiscoveryTest, APickerGoneBeforeItsDiscoveryEndsGetsNothing)
{
    TestSupport::DiskWorldFixture::Options plain;
    plain.demo = false;
    TestSupport::DiskWorldFixture world(plain);
    ASSERT_TRUE(world.ok());
    {
        SelectDiskViewController picker;
        picker.awakeFromNib();
    }
    EXPECT_TRUE(Platform::Dispatch::waitForGlobalQueue());
    QCoreApplication::processEvents();
}

TEST(PickerDiscoveryTest, HeadingsTakeTheFaceTheSettingsName)
{
    TestSupport::TempRoot root;
    ASSERT_TRUE(QDir().mkpath(root.at(QStringLiteral("/Volumes"))));
    DMCopyInfoPlistPath();
    QoPublicUtilities::writMBoldFont(QStringLiteral("DejaVuSerif-Bold"));
    ASSERT_EQ(QoPublicUtilities::getMBoldFontName(), QStringLiteral("DejaVuSerif-Bold"));
    SelectDiskViewController picker;
    picker.show();
    ASSERT_TRUE(discover(picker));
    const QList<QLabel *> headings =
        picker.documentView()->findChildren<QLabel *>(QStringLiteral("heading"), Qt::FindDirectChildrenOnly);
    ASSERT_EQ(headings.size(), 1);
    const QFontInfo font(headings.first()->font());
    EXPECT_EQ(font.family(), QStringLiteral("DejaVu Serif"));
    EXPECT_EQ(font.weight(), int(QFont::Bold));
    EXPECT_EQ(headings.first()->font().pixelSize(), 13);
}

namespace {

// A wheel turn over the list. The rows leave wheel events to their parents,
// so a turn the window system gives a row ends up at the scroll area's
// viewport; a turn made in the test is not passed on by Qt, so it goes to the
// viewport itself.
void wheel(QWidget *viewport, const QPoint &at, int notches)
{
    QWheelEvent event(QPointF(at), QPointF(viewport->mapToGlobal(at)), QPoint(), QPoint(0, -120 * notches),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewport, &event);
}

} // namespace

TEST(PickerDiscoveryTest, EveryRowCanBeScrolledToAndClickedWithManyVolumes)
{
    for (const int volumes : {8, 9, 10}) {
        SCOPED_TRACE(volumes);
        TestSupport::DiskWorldFixture::Options plain;
        plain.demo = false;
        TestSupport::DiskWorldFixture world(plain);
        ASSERT_TRUE(world.ok()) << world.error().toStdString();
        for (int i = 1; i < volumes; ++i)
            ASSERT_FALSE(world.attachUsb(QStringLiteral("Stick %1").arg(i)).isEmpty());

        RecordingPage page;
        SelectDiskViewController picker;
        picker.setSelectDiskVCDelegate(&page);
        picker.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&picker));
        ASSERT_TRUE(discover(picker));
        QList<DiskListViewController *> rows = rowsOf(picker.documentView());
        ASSERT_EQ(rows.size(), volumes);
        QWidget *viewport = picker.diskListClipView();
        QScrollBar *bar = picker.listScrollView()->verticalScrollBar();

        // The pointer rests on the first row; the wheel takes the list to its end.
        const QPoint resting(100, rows[0]->geometry().center().y() - bar->value());
        QTest::mouseMove(viewport, resting);
        ASSERT_TRUE(TestSupport::waitUntil([&] { return rows[0]->aView()->mouseIn(); }));
        for (int turn = 0; turn < 40 && bar->value() < bar->maximum(); ++turn)
            wheel(viewport, resting, 1);
        ASSERT_EQ(bar->value(), bar->maximum());
        QCoreApplication::processEvents();

        // The hover went with the list: the first row has scrolled away.
        EXPECT_FALSE(rows[0]->aView()->mouseIn());
        const QPoint restingInDocument = picker.documentView()->mapFrom(viewport, resting);
        for (DiskListViewController *row : rows)
            EXPECT_EQ(row->aView()->mouseIn(), row->geometry().contains(restingInDocument)) << row->volumeObj()->volumeName.toStdString();

        // The last row shows whole and takes a click.
        DiskListViewController *last = rows.last();
        const QRect lastInViewport(last->mapTo(viewport, QPoint(0, 0)), last->size());
        EXPECT_GE(lastInViewport.top(), 0);
        EXPECT_LE(lastInViewport.bottom(), viewport->rect().bottom()) << "the last row shows only in part";
        if (volumes == 10) {
            // As the user sees it: on the popover's body grey.
            QImage shot(picker.size(), QImage::Format_ARGB32);
            shot.fill(QColor(55, 55, 55));
            picker.render(&shot, QPoint(), QRegion(), QWidget::DrawChildren);
            TestSupport::saveScreenshot(shot, QStringLiteral("disklist_picker_ten_volumes_end"));
            // The last row's name is drawn, in light text, inside the picture.
            const QRect name(last->nameLabel()->mapTo(&picker, QPoint(0, 0)), last->nameLabel()->size());
            ASSERT_TRUE(shot.rect().contains(name));
            int light = 0;
            for (int x = name.left(); x <= name.right(); ++x)
                for (int y = name.top(); y <= name.bottom(); ++y)
                    light += shot.pixelColor(x, y).lightness() > 180;
            EXPECT_GT(light, 10) << "the last volume's name does not show";
            EXPECT_EQ(shot.pixelColor(name.right(), name.bottom() + 1), QColor(55, 55, 55));
        }
        QTest::mouseClick(last->aView(), Qt::LeftButton, {}, QPoint(100, last->height() / 2));
        ASSERT_EQ(page.chosen.size(), 1);
        EXPECT_EQ(page.chosen[0], last->volumeObj());
    }
}
