// The drawn backgrounds, the hover row and the file-drop view.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QDropEvent>
#include <QEnterEvent>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <climits>
#include <functional>
#include <memory>

#include "ActiveView.h"
#include "BGMView.h"
#include "BGWView.h"
#include "DragView.h"
#include "DragViewDelegate.h"
#include "EndViewTipBgView.h"
#include "LeftBgView.h"
#include "LeftSelView.h"
#include "PopBgView.h"
#include "PopInView.h"
#include "PopNoHeaderV.h"
#include "PopWBgView.h"
#include "PopWTopBgView.h"
#include "SortSelectBgView.h"
#include "SortSelectBgViewDelegate.h"
#include "SystemLog.h"
#include "TestSupport.h"
#include "TopBgView.h"

namespace {

// What the widget itself draws, over a transparent background.
QImage drawnImage(QWidget *widget)
{
    QImage image(widget->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

using ::testing::ElementsAre;

bool near(const QColor &a, const QColor &b, int tolerance = 3)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance && std::abs(a.alpha() - b.alpha()) <= tolerance;
}

struct Sample {
    QPoint at; // Qt coordinates of the view
    QColor color;
};

struct DrawnCase {
    const char *name;
    std::function<QWidget *(QWidget *)> make;
    QSize size;
    std::vector<Sample> samples;
};

const QColor clear(0, 0, 0, 0);

TEST(DrawnViews, EachDrawsItsShapesInItsColours)
{
    const DrawnCase cases[] = {
        {"PopWBgView",
         [](QWidget *p) { return new PopWBgView(p); },
         {200, 100},
         {{{100, 60}, QColor(255, 255, 255)}, {{100, 10}, QColor(255, 52, 52)}, {{100, 25}, QColor(255, 255, 255)}}},
        {"PopNoHeaderV",
         [](QWidget *p) { return new PopNoHeaderV(p); },
         {200, 100},
         {{{100, 50}, QColor(52, 52, 52)}, {{1, 1}, clear}}},
        {"PopWTopBgView",
         [](QWidget *p) { return new PopWTopBgView(p); },
         {200, 100},
         // the band squares off the bottom corners
         {{{100, 50}, QColor(52, 52, 52)}, {{1, 98}, QColor(52, 52, 52)}, {{1, 1}, clear}}},
        {"PopBgView", [](QWidget *p) { return new PopBgView(p); }, {100, 50}, {{{50, 25}, QColor(55, 55, 55)}}},
        {"BGMView",
         [](QWidget *p) { return new BGMView(p); },
         {100, 50},
         {{{50, 25}, QColor(249, 250, 251)}, {{1, 1}, QColor(249, 250, 251)}}},
        {"LeftBgView",
         [](QWidget *p) { return new LeftBgView(p); },
         {100, 50},
         {{{50, 25}, QColor(225, 231, 239)}, {{0, 0}, clear}}},
        {"ActiveView",
         [](QWidget *p) { return new ActiveView(p); },
         {200, 100},
         {{{100, 50}, QColor(255, 255, 255)}, {{100, 0}, QColor(170, 170, 170)}}},
        {"BGWView",
         [](QWidget *p) { return new BGWView(p); },
         {888, 558},
         // the band at the top squares off the upper corners
         {{{444, 300}, QColor(242, 247, 255)}, {{1, 1}, QColor(242, 247, 255)}, {{1, 556}, clear}}},
        {"TopBgView",
         [](QWidget *p) { return new TopBgView(p); },
         {888, 300},
         {{{50, 50}, QColor(65, 98, 255)},
          {{400, 50}, QColor(242, 247, 255)},
          {{45, 290}, QColor(65, 98, 255)},
          {{400, 200}, clear}}},
        {"LeftSelView", [](QWidget *p) { return new LeftSelView(p); }, {100, 40}, {{{50, 20}, QColor(13, 193, 97)}}},
    };
    for (const DrawnCase &c : cases) {
        SCOPED_TRACE(c.name);
        QWidget host;
        host.resize(c.size);
        QWidget *view = c.make(&host);
        view->setGeometry(QRect(QPoint(0, 0), c.size));
        const QImage drawn = drawnImage(view);
        for (const Sample &s : c.samples)
            EXPECT_TRUE(near(drawn.pixelColor(s.at), s.color))
                << "at " << s.at.x() << "," << s.at.y() << " got "
                << drawn.pixelColor(s.at).name(QColor::HexArgb).toStdString();
    }
}

TEST(DrawnViews, TipOutlineIsDashed)
{
    EndViewTipBgView tip;
    tip.resize(200, 60);
    const QImage drawn = drawnImage(&tip);
    EXPECT_EQ(drawn.pixelColor(100, 30).alpha(), 0);
    // Along the top edge the line alternates between dash and gap.
    int dashes = 0;
    bool inDash = false;
    for (int x = 10; x < 190; ++x) {
        const bool on = near(drawn.pixelColor(x, 0), QColor(230, 230, 235), 10);
        if (on && !inDash)
            ++dashes;
        inDash = on;
    }
    EXPECT_GE(dashes, 12);
    EXPECT_LE(dashes, 20);
    // Dashes of 5 points and gaps of 5, with flat ends: along the edge, away
    // from the corners, the line repeats every 10 points and inks half of them.
    double ink = 0;
    for (int x = 20; x < 180; ++x) {
        ink += drawn.pixelColor(x, 0).alphaF();
        EXPECT_NEAR(drawn.pixelColor(x, 0).alphaF(), drawn.pixelColor(x + 10, 0).alphaF(), 0.02) << "at " << x;
    }
    EXPECT_NEAR(ink, 80, 2);
}

TEST(DrawnViews, TranslucentCardIsInsetAndMostlyOpaque)
{
    PopInView card;
    card.resize(200, 100);
    const QImage drawn = drawnImage(&card);
    EXPECT_LT(drawn.pixelColor(1, 50).alpha(), 60); // the 6-point margin holds only the soft shadow
    const QColor middle = drawn.pixelColor(100, 50);
    EXPECT_NEAR(middle.alpha(), 230, 3);
    EXPECT_GT(middle.red(), 250);
}

TEST(DrawnViews, FrameRectangleViewsFollowTheirPlaceInTheSuperview)
{
    // A frame-based view at the bottom-left of its superview draws at its own origin.
    QWidget host;
    host.resize(200, 200);
    auto *panel = new PopNoHeaderV(&host);
    panel->setGeometry(0, 100, 200, 100);
    EXPECT_TRUE(near(drawnImage(panel).pixelColor(100, 50), QColor(52, 52, 52)));
}

class RowDelegate : public SortSelectBgViewDelegate {
public:
    MOCK_METHOD(void, selectSortType, (SortSelectBgView * row), (override));
    MOCK_METHOD(void, mouseInView, (bool inside, int withTag), (override));
};

void enter(QWidget *w)
{
    QEnterEvent event(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(w, &event);
}

void leave(QWidget *w)
{
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(w, &event);
}

TEST(HoverRow, HighlightAndHoverCallsComeInPairs)
{
    SortSelectBgView row;
    row.resize(150, 30);
    row.setIdentifier(QStringLiteral("2"));
    ::testing::StrictMock<RowDelegate> delegate;
    row.setDelegate(&delegate);
    {
        ::testing::InSequence order;
        EXPECT_CALL(delegate, mouseInView(true, 2));
        EXPECT_CALL(delegate, mouseInView(false, 2));
    }
    enter(&row);
    EXPECT_TRUE(row.isMouseIn());
    EXPECT_TRUE(near(drawnImage(&row).pixelColor(75, 15), QColor(74, 158, 255)));
    leave(&row);
    EXPECT_FALSE(row.isMouseIn());
    EXPECT_EQ(drawnImage(&row).pixelColor(75, 15).alpha(), 0);
}

TEST(HoverRow, ClickTellsTheDelegateWhichRow)
{
    SortSelectBgView row;
    row.resize(150, 30);
    ::testing::StrictMock<RowDelegate> delegate;
    row.setDelegate(&delegate);
    EXPECT_CALL(delegate, selectSortType(&row));
    QTest::mouseClick(&row, Qt::LeftButton, {}, QPoint(10, 10));
}

TEST(HoverRow, OnlyTheLeftButtonChoosesARow)
{
    QWidget host;
    host.resize(200, 60);
    auto *row = new SortSelectBgView(&host);
    row->setGeometry(0, 0, 150, 30);
    host.show();
    ::testing::StrictMock<RowDelegate> delegate;
    row->setDelegate(&delegate);
    EXPECT_CALL(delegate, mouseInView(::testing::_, ::testing::_)).Times(::testing::AnyNumber());
    EXPECT_CALL(delegate, selectSortType(row)).Times(0);
    QTest::mouseClick(row, Qt::RightButton, {}, QPoint(10, 10));
    QTest::mouseClick(row, Qt::MiddleButton, {}, QPoint(10, 10));
    ::testing::Mock::VerifyAndClearExpectations(&delegate);
    EXPECT_CALL(delegate, mouseInView(::testing::_, ::testing::_)).Times(::testing::AnyNumber());
    EXPECT_CALL(delegate, selectSortType(row));
    QTest::mouseClick(row, Qt::LeftButton, {}, QPoint(10, 10));
    row->setDelegate(nullptr);
}

TEST(HoverRow, RowNumberIsTheIdentifierReadAsAnInteger)
{
    const std::pair<const char *, int> cases[] = {
        {"0", 0}, {"3", 3}, {"abc", 0}, {"", 0}, {" 12x", 12}, {"-2", -2}, {"+7", 7}, {"99999999999", INT_MAX},
    };
    for (const auto &[text, number] : cases) {
        SortSelectBgView row;
        row.setIdentifier(QString::fromUtf8(text));
        EXPECT_EQ(row.rowNumber(), number) << text;
    }
}

TEST(HoverRow, RowWithoutHoverHandlerStillHighlights)
{
    SortSelectBgView row;
    row.resize(150, 30);
    SortSelectBgViewDelegate quiet; // implements neither call
    row.setDelegate(&quiet);
    enter(&row);
    EXPECT_TRUE(near(drawnImage(&row).pixelColor(75, 15), QColor(74, 158, 255)));
    row.setDelegate(nullptr);
    leave(&row);
    enter(&row);
    EXPECT_TRUE(row.isMouseIn());
}

class DropDelegate : public DragViewDelegate {
public:
    MOCK_METHOD(void, viewDragAction, (const QList<QByteArray> &paths), (override));
};

std::unique_ptr<QMimeData> filesMime(const QStringList &paths, const QList<QUrl> &extra = {})
{
    auto data = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const QString &p : paths)
        urls.append(QUrl::fromLocalFile(p));
    urls += extra;
    data->setUrls(urls);
    return data;
}

TEST(FileDrop, MixedFilesAndFoldersReachTheDelegateInOrder)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("照片"));
    const QString file = dir.filePath(QStringLiteral("a b.txt"));
    QDir().mkpath(folder);
    TestSupport::writeFile(file, "x");
    DragView view;
    ::testing::StrictMock<DropDelegate> delegate;
    view.setDelegate(&delegate);
    EXPECT_CALL(delegate, viewDragAction(ElementsAre(QFile::encodeName(file), QFile::encodeName(folder),
                                                     QFile::encodeName(file))));
    const auto data = filesMime({file, folder, file});
    EXPECT_TRUE(view.performDragOperation(data.get()));
}

TEST(FileDrop, LinksThatAreNotFilesAreLeftOut)
{
    DragView view;
    ::testing::StrictMock<DropDelegate> delegate;
    view.setDelegate(&delegate);
    EXPECT_CALL(delegate, viewDragAction(ElementsAre(QByteArray("/tmp/x"))));
    const auto data = filesMime({QStringLiteral("/tmp/x")}, {QUrl(QStringLiteral("https://example.com/a"))});
    EXPECT_TRUE(view.performDragOperation(data.get()));
}

TEST(FileDrop, ImageAloneIsAcceptedAndChangesNothing)
{
    DragView view;
    ::testing::StrictMock<DropDelegate> delegate;
    view.setDelegate(&delegate);
    QMimeData image;
    image.setData(QStringLiteral("image/tiff"), QByteArray("II*\0", 4));
    EXPECT_TRUE(view.performDragOperation(&image));

    Platform::SystemLogCapture log;
    QMimeData empty;
    empty.setData(QStringLiteral("image/tiff"), QByteArray());
    EXPECT_FALSE(view.performDragOperation(&empty));
    EXPECT_TRUE(log.contains(QStringLiteral("Error: MyNSView performDragOperation zPasteboardData == nil")));
}

TEST(FileDrop, AnythingElseIsRefused)
{
    DragView view;
    ::testing::StrictMock<DropDelegate> delegate;
    view.setDelegate(&delegate);
    Platform::SystemLogCapture log;
    QMimeData text;
    text.setText(QStringLiteral("/tmp/x"));
    EXPECT_FALSE(view.performDragOperation(&text));
    EXPECT_TRUE(log.contains(QStringLiteral("Error MyNSView performDragOperation")));
}

TEST(FileDrop, DragsAreTakenAsCopiesWhenTheSourceLetsUsChoose)
{
    const auto files = filesMime({QStringLiteral("/tmp/x")});
    QMimeData text;
    text.setText(QStringLiteral("hello"));
    const struct {
        const QMimeData *data;
        Qt::DropActions offered;
        Qt::DropAction answer;
    } cases[] = {
        {files.get(), Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, Qt::CopyAction},
        {files.get(), Qt::CopyAction | Qt::MoveAction, Qt::CopyAction},
        {files.get(), Qt::CopyAction, Qt::IgnoreAction},
        {files.get(), Qt::LinkAction, Qt::IgnoreAction},
        {files.get(), Qt::CopyAction | Qt::LinkAction, Qt::IgnoreAction},
        {&text, Qt::CopyAction | Qt::MoveAction, Qt::IgnoreAction},
    };
    for (const auto &c : cases)
        EXPECT_EQ(DragView::operationForDrag(c.data, c.offered), c.answer) << int(c.offered);
}

// Drop events reach a widget only from a running drag; the test hands them
// over directly.
class DropTarget : public DragView {
public:
    using DragView::dropEvent;
};

TEST(FileDrop, DropEventDeliversThePaths)
{
    DropTarget view;
    view.resize(200, 100);
    ::testing::StrictMock<DropDelegate> delegate;
    view.setDelegate(&delegate);
    EXPECT_CALL(delegate, viewDragAction(ElementsAre(QByteArray("/tmp/x"))));
    const auto data = filesMime({QStringLiteral("/tmp/x")});
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    view.dropEvent(&drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(drop.dropAction(), Qt::CopyAction);

    QDropEvent copyOnly(QPointF(10, 10), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    view.dropEvent(&copyOnly);
    EXPECT_FALSE(copyOnly.isAccepted());
}

} // namespace
