// Header cells, the quick-look table, the image-and-text cell and the overlay
// scroller.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTest>
#include <QTextEdit>
#include <memory>

#include "Clock.h"
#include "CustomHeaderCell.h"
#include "CustomHeaderView.h"
#include "ImageAndTextCell.h"
#include "NotificationCenter.h"
#include "QoImage.h"
#include "QoNSTableView.h"
#include "RFOverlayScrollView.h"
#include "RFOverlayScroller.h"
#include "TestSupport.h"

namespace {

QStandardItemModel *modelWithRows(QObject *parent, int rows, const QStringList &titles)
{
    auto *model = new QStandardItemModel(rows, int(titles.size()), parent);
    model->setHorizontalHeaderLabels(titles);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < titles.size(); ++c)
            model->setItem(r, c, new QStandardItem(QStringLiteral("row %1").arg(r)));
    return model;
}

TEST(CustomHeaderCellLook, NewCellTakesTheOldTitleInTheHeaderStyle)
{
    for (const QString &title : {QStringLiteral("Name"), QStringLiteral("Size")}) {
        CustomHeaderCell cell(title);
        EXPECT_TRUE(cell.ascending());
        EXPECT_EQ(cell.priority(), 1);
        const CustomHeaderCell::Title styled = cell.getStr();
        EXPECT_EQ(styled.text, title);
        EXPECT_EQ(styled.font.pixelSize(), 12);
        EXPECT_EQ(styled.color, QColor(199, 199, 199));
    }
}

TEST(CustomHeaderCellLook, PriorityDecidesTitlePlaceAndTriangle)
{
    const QRectF frame(100, 0, 200, 20);
    struct Case {
        int priority;
        QRectF title;
        QColor triangle;
    } cases[] = {
        {0, QRectF(100, 8, 192, 20), Qt::white},
        {1, QRectF(103, 8, 200, 20), Qt::transparent},
        {2, QRectF(103, 8, 200, 20), Qt::transparent},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.priority);
        CustomHeaderCell cell(QStringLiteral("Name"));
        cell.setSortAscending(false, c.priority);
        EXPECT_EQ(cell.titleRectForFrame(frame), c.title);
        EXPECT_EQ(CustomHeaderCell::sortIndicatorColor(c.priority), c.triangle);
    }
}

TEST(CustomHeaderCellLook, TriangleCorners)
{
    const QRectF frame(100, 0, 200, 20);
    EXPECT_EQ(CustomHeaderCell::sortIndicatorTriangle(frame, true),
              QPolygonF({QPointF(288, 10), QPointF(292, 3), QPointF(296, 10)}));
    EXPECT_EQ(CustomHeaderCell::sortIndicatorTriangle(frame, false),
              QPolygonF({QPointF(288, 10), QPointF(292, 17), QPointF(296, 10)}));
}

TEST(CustomHeaderCellLook, HeaderViewDrawsDarkSectionsAndTheSortedColumnsTriangle)
{
    QTableView table;
    table.setModel(modelWithRows(&table, 3, {QStringLiteral("Name"), QStringLiteral("Size")}));
    CustomHeaderView *header = CustomHeaderView::replaceHeader(&table, 20);
    table.resize(400, 120);
    header->resizeSection(0, 200);
    header->resizeSection(1, 180);
    table.show();
    EXPECT_EQ(header->height(), 20);

    header->setSortIndicator(1, Qt::DescendingOrder);
    EXPECT_EQ(header->cellForSection(1).priority(), 0);
    EXPECT_FALSE(header->cellForSection(1).ascending());
    EXPECT_EQ(header->cellForSection(0).priority(), 1);

    const QImage drawn = header->grab().toImage();
    EXPECT_EQ(drawn.pixelColor(150, 3), QColor(38, 38, 38));
    // The descending triangle of column 1 points down from y 10 to 17 at x0 + 4.
    const int x0 = 200 + 180 - 12;
    EXPECT_GT(qGray(drawn.pixel(x0 + 4, 12)), 200);
    // Column 0 has no visible triangle.
    EXPECT_EQ(drawn.pixelColor(200 - 12 + 4, 12), QColor(38, 38, 38));

    header->setSortIndicator(0, Qt::AscendingOrder);
    EXPECT_EQ(header->cellForSection(0).priority(), 0);
    EXPECT_EQ(header->cellForSection(1).priority(), 1);
}

class QuickLookTable : public ::testing::Test {
protected:
    void SetUp() override
    {
        Platform::NotificationCenter::defaultCenter().addObserver(this, QStringLiteral("SpacePreviewFile"), nullptr,
                                                                  [this](const Platform::Notification &n) {
                                                                      ++posted;
                                                                      EXPECT_EQ(n.object, nullptr);
                                                                  });
        table.setModel(modelWithRows(&table, 5, {QStringLiteral("Name")}));
        table.resize(300, 200);
        table.show();
    }
    void TearDown() override { Platform::NotificationCenter::defaultCenter().removeObserver(this); }

    QoNSTableView table;
    int posted = 0;
};

TEST_F(QuickLookTable, HasTheDarkHeader)
{
    auto *header = qobject_cast<CustomHeaderView *>(table.horizontalHeader());
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->height(), 20);
}

TEST_F(QuickLookTable, SpaceBarPostsAndNeverReachesTheTable)
{
    table.setCurrentIndex(table.model()->index(2, 0));
    table.clearSelection();
    QTest::keyClick(&table, Qt::Key_Space);
    EXPECT_EQ(posted, 1);
    // The table's own space handling would have selected the current row.
    EXPECT_TRUE(table.selectionModel()->selectedIndexes().isEmpty());

    QTest::keyClick(&table, Qt::Key_Down);
    EXPECT_EQ(posted, 1);
    EXPECT_EQ(table.currentIndex().row(), 3);
}

TEST_F(QuickLookTable, ForceClickPostsOnceUntilTheButtonGoesUp)
{
    table.pressureChangeWithEvent(QoNSTableView::PressureEventType, 1); // a light press
    table.pressureChangeWithEvent(10, QoNSTableView::ForceClickStage);  // not a pressure event
    EXPECT_EQ(posted, 0);

    table.pressureChangeWithEvent(QoNSTableView::PressureEventType, QoNSTableView::ForceClickStage);
    table.pressureChangeWithEvent(QoNSTableView::PressureEventType, QoNSTableView::ForceClickStage);
    EXPECT_EQ(posted, 1);
    EXPECT_TRUE(table.isClicking());

    QTest::mouseRelease(table.viewport(), Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_FALSE(table.isClicking());
    table.pressureChangeWithEvent(QoNSTableView::PressureEventType, QoNSTableView::ForceClickStage);
    EXPECT_EQ(posted, 2);
}

TEST_F(QuickLookTable, ForceClickEndsByItselfAfterASecond)
{
    Platform::ClockScaleGuard fast(50);
    table.pressureChangeWithEvent(QoNSTableView::PressureEventType, QoNSTableView::ForceClickStage);
    EXPECT_TRUE(table.isClicking());
    EXPECT_TRUE(TestSupport::waitUntil([this] { return !table.isClicking(); }, 5000));
    table.pressureChangeWithEvent(QoNSTableView::PressureEventType, QoNSTableView::ForceClickStage);
    EXPECT_EQ(posted, 2);
}

TEST_F(QuickLookTable, EmptyListOverlayComesAndGoes)
{
    table.changeNoValue(QStringLiteral("没有文件"));
    ASSERT_NE(table.noValueView(), nullptr);
    EXPECT_TRUE(table.noValueView()->isVisible());
    EXPECT_EQ(table.noValueView()->geometry().center().x(), table.rect().center().x());
    table.changeNoValue(QString());
    EXPECT_FALSE(table.noValueView()->isVisible());
}

TEST(ImageAndTextCellLayout, WithoutAnImageItIsAPlainTextCellThreePointsWider)
{
    QStandardItemModel model(1, 1);
    model.setItem(0, 0, new QStandardItem(QStringLiteral("Documents")));
    ImageAndTextCell cell;
    QStyledItemDelegate plain;
    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, 200, 20);
    const QModelIndex index = model.index(0, 0);
    EXPECT_TRUE(cell.imageFrameForCellFrame(QRectF(0, 0, 200, 20)).isNull());
    EXPECT_EQ(cell.sizeHint(option, index).width(), plain.sizeHint(option, index).width() + 3);
    EXPECT_EQ(cell.textFrameForEditing(QRectF(0, 0, 200, 20)), QRectF(0, 0, 200, 20));
}

TEST(ImageAndTextCellLayout, ImageTakesTheLeftSlice)
{
    QStandardItemModel model(1, 1);
    model.setItem(0, 0, new QStandardItem(QStringLiteral("Documents")));
    ImageAndTextCell cell;
    cell.setImage(QoImage::named(QStringLiteral("checkbox_sel"))); // 16 x 16
    QStyledItemDelegate plain;
    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, 200, 21);
    const QModelIndex index = model.index(0, 0);

    EXPECT_EQ(cell.imageFrameForCellFrame(QRectF(10, 40, 200, 21)), QRectF(13, 43, 16, 16));     // ceil(2.5)
    EXPECT_EQ(cell.drawnImageRectForCellFrame(QRectF(10, 40, 200, 21)), QRectF(13, 43, 18, 18)); // -17 + ceil(19.5)
    EXPECT_EQ(cell.textFrameForEditing(QRectF(10, 40, 200, 21)), QRectF(29, 40, 181, 21));
    EXPECT_EQ(cell.sizeHint(option, index).width(), plain.sizeHint(option, index).width() + 19);

    QImage canvas(200, 21, QImage::Format_ARGB32);
    canvas.fill(Qt::black);
    {
        QPainter painter(&canvas);
        cell.paint(&painter, option, index);
    }
    // The check box's blue sits in the picture's square.
    const QColor inSquare = canvas.pixelColor(3 + 9, 3 + 15);
    EXPECT_GT(inSquare.blue(), 200);
    EXPECT_LT(inSquare.red(), 60);
}

TEST(ImageAndTextCellLayout, EditorSitsRightOfTheImage)
{
    QStandardItemModel model(1, 1);
    model.setItem(0, 0, new QStandardItem(QStringLiteral("Documents")));
    ImageAndTextCell cell;
    cell.setImage(QoImage::named(QStringLiteral("checkbox_sel")));
    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, 200, 21);
    QWidget editor;
    cell.updateEditorGeometry(&editor, option, model.index(0, 0));
    EXPECT_EQ(editor.geometry().left(), 19);
}

TEST(OverlayScrollView, PlainContentGetsFullWidthAndAFullHeightScroller)
{
    RFOverlayScrollView view;
    view.resize(300, 200);
    auto *content = new QWidget;
    content->setMinimumHeight(1000);
    view.setDocumentView(content);
    view.show();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return view.verticalScroller()->isVisible(); }, 2000));

    EXPECT_EQ(view.headerOffset(), 0);
    EXPECT_EQ(view.contentView()->geometry(), view.rect());
    EXPECT_EQ(content->width(), 300); // nothing is kept free for a scroll bar
    const int w = RFOverlayScroller::scrollerWidth();
    EXPECT_EQ(view.verticalScroller()->geometry(), QRect(300 - w, 0, w, 200));
    EXPECT_EQ(view.childAt(300 - w / 2, 100), view.verticalScroller());
}

TEST(OverlayScrollView, ScrollerStartsBelowATablesHeader)
{
    RFOverlayScrollView view;
    view.resize(300, 200);
    auto *table = new QoNSTableView;
    table->setModel(modelWithRows(table, 100, {QStringLiteral("Name")}));
    view.setDocumentView(table);
    view.show();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return table->verticalScrollBar()->maximum() > 20; }, 2000));
    EXPECT_EQ(view.headerOffset(), 20);
    const int w = RFOverlayScroller::scrollerWidth();
    EXPECT_EQ(view.verticalScroller()->geometry(), QRect(300 - w, 20, w, 180));

    // The scroller and the table's own (hidden) bar move together.
    table->verticalScrollBar()->setValue(10);
    EXPECT_EQ(view.verticalScroller()->value(), 10);
    view.verticalScroller()->setValue(20);
    EXPECT_EQ(table->verticalScrollBar()->value(), 20);
    EXPECT_FALSE(table->verticalScrollBar()->isVisible());
}

TEST(OverlayScroller, OnlyThisVeryClassOverlays)
{
    EXPECT_TRUE(RFOverlayScroller::isCompatibleWithOverlayScrollers(&RFOverlayScroller::staticMetaObject));
    EXPECT_FALSE(RFOverlayScroller::isCompatibleWithOverlayScrollers(&QScrollBar::staticMetaObject));
    EXPECT_EQ(RFOverlayScroller::zeroWidth(), 0);
}

TEST(OverlayScroller, DrawsOnlyAThinKnob)
{
    RFOverlayScroller scroller;
    scroller.resize(15, 200);
    scroller.setRange(0, 100);
    scroller.setPageStep(100);
    scroller.setValue(50);
    const QRectF knob = scroller.knobRect();
    EXPECT_DOUBLE_EQ(knob.height(), 100);
    EXPECT_DOUBLE_EQ(knob.top(), 50);
    EXPECT_EQ(scroller.drawnKnobRect(), QRectF(4, 50, 8, 100));

    QImage canvas(15, 200, QImage::Format_ARGB32);
    canvas.fill(Qt::transparent);
    scroller.render(&canvas, QPoint(), QRegion(), QWidget::RenderFlags());
    EXPECT_EQ(canvas.pixelColor(8, 100), QColor(75, 75, 75));
    EXPECT_EQ(canvas.pixelColor(8, 20).alpha(), 0); // no track
    EXPECT_EQ(canvas.pixelColor(1, 100).alpha(), 0);
}

TEST(OverlayScroller, ShowsWhileScrollingAndFadesAfterwards)
{
    Platform::ClockScaleGuard fast(50);
    RFOverlayScroller scroller;
    scroller.resize(15, 200);
    scroller.setRange(0, 100);
    scroller.setFloatValue(0.5);
    EXPECT_EQ(scroller.value(), 50);
    EXPECT_TRUE(scroller.isFadeOutPending());
    EXPECT_DOUBLE_EQ(scroller.alphaValue(), 1.0);
    EXPECT_TRUE(TestSupport::waitUntil([&] { return scroller.alphaValue() == RFOverlayScroller::fadedAlpha; }, 5000));

    // Pointing at it brings it back and holds off the fade.
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&scroller, &enter);
    EXPECT_FALSE(scroller.isFadeOutPending());
    EXPECT_TRUE(TestSupport::waitUntil([&] { return scroller.alphaValue() == 1.0; }, 5000));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&scroller, &leave);
    EXPECT_TRUE(TestSupport::waitUntil([&] { return scroller.alphaValue() == RFOverlayScroller::fadedAlpha; }, 5000));
}

} // namespace
