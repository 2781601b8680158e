// The attached bubble window: side table, automatic side, outline, setters,
// window behaviour.
#include <gtest/gtest.h>

#include "App.h"
#include "AttachedWindowGeometry.h"
#include "ChildWindows.h"
#include "CocoaGeometry.h"
#include "MAAttachedWindow.h"
#include "NODEAttachedWindow.h"
#include "RMAAttachedWindow.h"
#include "StatusAttachedWindow.h"
#include "TestSupport.h"

#include <QApplication>
#include <QEnterEvent>
#include <QLabel>
#include <QTimer>

namespace {

// A view of 100 × 40, margin 2, arrow height 5, base 10, radius 4 with the
// corner beside the arrow rounded: arrow inset 5 + 4 = 9.
AttachedWindowMetrics tableMetrics()
{
    AttachedWindowMetrics m;
    m.viewMargin = 2;
    m.arrowHeight = 5;
    m.arrowBaseWidth = 10;
    m.cornerRadius = 4;
    m.hasArrow = true;
    m.drawsRoundCornerBesideArrow = true;
    return m;
}

struct SideRow {
    int side;
    QRectF frame; // window frame for the point (500, 300), distance 3
    QPointF viewOrigin;
};

// Worked out by hand from the side table: W0 104, H0 44, arrow room 5.
const SideRow kSideTable[] = {
    {0, {388, 278, 109, 44}, {2, 2}},
    {1, {448, 248, 104, 49}, {2, 2}},
    {2, {503, 278, 109, 44}, {7, 2}},
    {3, {448, 303, 104, 49}, {2, 7}},
    {4, {388, 291, 109, 44}, {2, 2}},
    {5, {388, 265, 109, 44}, {2, 2}},
    {6, {503, 291, 109, 44}, {7, 2}},
    {7, {503, 265, 109, 44}, {7, 2}},
    {8, {405, 303, 104, 49}, {2, 7}},
    {9, {491, 303, 104, 49}, {2, 7}},
    {10, {405, 248, 104, 49}, {2, 2}},
    {11, {491, 248, 104, 49}, {2, 2}},
    // Outside 0–11: the bottom-left corner on the point, no arrow room.
    {12, {500, 300, 104, 44}, {2, 2}},
    {40, {500, 300, 104, 44}, {2, 2}},
};

// Hosted views belong to their controllers, not to the windows: the test
// keeps them, declared before the windows so they outlive them.
struct Views {
    std::vector<std::unique_ptr<QWidget>> views;
    QWidget *make(int w = 100, int h = 40)
    {
        auto v = std::make_unique<QLabel>(QStringLiteral("view"));
        v->resize(w, h);
        views.push_back(std::move(v));
        return views.back().get();
    }
};

// A parent window whose bottom-left corner is at `origin` on the screen.
std::unique_ptr<QWidget> parentAt(const QPointF &origin, const QSize &size = QSize(600, 400))
{
    auto w = std::make_unique<QWidget>();
    const QRectF cocoa(origin, QSizeF(size));
    w->setGeometry(CocoaGeometry::toQt(cocoa, CocoaGeometry::screenHeight()).toRect());
    return w;
}

// Gives a window the numbers of the table.
template <class W>
void applyTableMetrics(W &w)
{
    w.setArrowHeight(5);
    w.setArrowBaseWidth(10);
    w.setCornerRadius(4);
}

} // namespace

TEST(WindowAttachedGeometry, SideTableFromTheScreenPoint)
{
    const auto m = tableMetrics();
    EXPECT_FLOAT_EQ(AttachedWindowGeometry::arrowInset(m), 9.0f);
    for (const auto &row : kSideTable) {
        SCOPED_TRACE(row.side);
        const auto l = AttachedWindowGeometry::layout(QSizeF(100, 40), QPointF(500, 300), row.side, 3, m);
        EXPECT_EQ(l.frame, row.frame);
        EXPECT_EQ(l.viewFrame, QRectF(row.viewOrigin, QSizeF(100, 40)));
    }
}

TEST(WindowAttachedGeometry, SideTableThroughWindowsWithAndWithoutParent)
{
    Views owner;
    auto parent = parentAt(QPointF(200, 100));
    for (bool withParent : {false, true}) {
        SCOPED_TRACE(withParent ? "parent window" : "screen point");
        QWidget *view = owner.make();
        // With a parent the point is given in the parent's coordinates.
        const QPointF point = withParent ? QPointF(300, 200) : QPointF(500, 300);
        auto w = MAAttachedWindow::initWithView(view, point, withParent ? parent.get() : nullptr, 3, 3.0);
        ASSERT_TRUE(w);
        applyTableMetrics(*w);
        for (const auto &row : kSideTable) {
            SCOPED_TRACE(row.side);
            w->setPoint(point, row.side);
            EXPECT_EQ(w->side(), row.side);
            EXPECT_EQ(w->cocoaFrame(), row.frame);
            EXPECT_EQ(w->viewFrame(), QRectF(row.viewOrigin, QSizeF(100, 40)));
            // The same frame, turned into Qt's coordinates once.
            EXPECT_EQ(QRectF(w->geometry()), CocoaGeometry::toQt(row.frame, CocoaGeometry::screenHeight()));
            EXPECT_EQ(QRectF(view->geometry()),
                      CocoaGeometry::toQt(QRectF(row.viewOrigin, QSizeF(100, 40)), row.frame.height()));
        }
    }
}

TEST(WindowAttachedGeometry, AutomaticSide)
{
    AttachedWindowMetrics m; // margin 2, no arrow: W0 104, H0 44, inset 8
    m.viewMargin = 2;
    m.cornerRadius = 8;
    m.drawsRoundCornerBesideArrow = true;
    const QSizeF view(100, 40);
    const QRectF screen(0, 0, 1000, 800);
    const QRectF parent(100, 100, 600, 400);
    struct Row {
        const char *what;
        QPointF point;
        QRectF visible;
        QRectF parentFrame;
        int side;
    };
    const Row rows[] = {
        {"room below", {500, 400}, screen, screen, 1},
        {"near the bottom: right", {500, 30}, screen, screen, 2},
        {"near the bottom, no room right: left", {950, 30}, screen, screen, 0},
        {"narrow screen: above", {75, 30}, {0, 0, 150, 800}, {0, 0, 150, 800}, 3},
        {"nothing fits: below", {75, 30}, {0, 0, 150, 60}, {0, 0, 150, 60}, 1},
        {"near the parent's left edge: below reaching right", {110, 400}, screen, parent, 11},
        {"near the parent's left edge, no room right", {110, 400}, {0, 0, 200, 800}, parent, 1},
        {"near the parent's right edge: below reaching left", {690, 400}, screen, parent, 10},
        {"left, below the parent's bottom: reaching up", {950, 110}, {0, 90, 1000, 800}, parent, 4},
        {"left, above the parent's top: reaching down", {950, 490}, {0, 450, 1000, 500}, parent, 5},
        {"no screen: below", {10, 10}, QRectF(), QRectF(), 1},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.what);
        EXPECT_EQ(AttachedWindowGeometry::bestSide(view, r.point, 0, m, r.visible, r.parentFrame), r.side);
    }
}

TEST(WindowAttachedGeometry, OutlineCornersAndArrows)
{
    auto m = tableMetrics();
    // Side 3 (arrow on the bottom edge, centred): view frame (2, 7) in a 104 × 49 window.
    QPainterPath p = AttachedWindowGeometry::backgroundPath(QRectF(2, 7, 100, 40), 3, m);
    EXPECT_EQ(p.boundingRect(), QRectF(1, 1, 102, 47)); // outline 1..103 × 6..48, arrow tip at 6 − 5
    EXPECT_TRUE(p.contains(QPointF(52, 2.5)));          // inside the arrow
    EXPECT_FALSE(p.contains(QPointF(30, 3)));           // beside it
    // Without the arrow flag the edge runs straight where the arrow was.
    m.hasArrow = false;
    p = AttachedWindowGeometry::backgroundPath(QRectF(2, 7, 100, 40), 3, m);
    EXPECT_EQ(p.boundingRect(), QRectF(1, 6, 102, 42));

    // Corners beside an end-placed arrow stay square only when asked.
    m.hasArrow = true;
    m.drawsRoundCornerBesideArrow = false;
    struct Corner {
        int side;
        QPointF squareCorner; // just inside the corner that stays square
    };
    const QRectF vf(2, 2, 100, 40); // outline 1..103 × 1..43
    for (const Corner &c :
         {Corner{11, {1.3, 42.7}}, Corner{10, {102.7, 42.7}}, Corner{4, {102.7, 1.3}}, Corner{9, {1.3, 1.3}}}) {
        SCOPED_TRACE(c.side);
        const QPainterPath path = AttachedWindowGeometry::backgroundPath(vf, c.side, m);
        EXPECT_TRUE(path.contains(c.squareCorner));
        // The opposite corner on the same horizontal edge is still rounded.
        const QPointF other(104 - c.squareCorner.x(), c.squareCorner.y());
        EXPECT_FALSE(path.contains(other));
    }
}

TEST(WindowAttached, ErrorBubbleExample)
{
    Views owner;
    auto parent = parentAt(QPointF(0, 0), QSize(1000, 650));
    QWidget *view = owner.make();
    auto w = NODEAttachedWindow::initWithView(view, QPointF(446, 223), parent.get(), 3, 0.0);
    ASSERT_TRUE(w);
    EXPECT_EQ(w->cocoaFrame(), QRectF(394, 223, 104, 44));
    EXPECT_EQ(w->viewFrame(), QRectF(2, 2, 100, 40));
    EXPECT_EQ(view->parentWidget(), w.get());
    const QPainterPath path = w->backgroundPath();
    EXPECT_EQ(path.boundingRect(), QRectF(1, 1, 102, 42));
    EXPECT_FALSE(path.contains(QPointF(2, 2))); // cut off by the radius-4 corner
    EXPECT_TRUE(path.contains(QPointF(3, 3)));
    EXPECT_TRUE(path.contains(QPointF(50, 1.5)));
    // Filled with the bubble grey, transparent outside the outline.
    const QImage &img = w->backgroundImage();
    ASSERT_EQ(img.size(), QSize(104, 44));
    EXPECT_EQ(img.pixelColor(52, 22), QColor(33, 33, 33));
    EXPECT_EQ(img.pixelColor(0, 0).alpha(), 0);
}

TEST(WindowAttached, PanelVariantIsTheViewSizedAndClear)
{
    Views owner;
    QWidget *view = owner.make();
    auto w = StatusAttachedWindow::initWithView(view, QPointF(446, 223), 3, 0.0);
    ASSERT_TRUE(w);
    EXPECT_EQ(w->cocoaFrame().size(), QSizeF(100, 40));
    EXPECT_EQ(w->backgroundPath().boundingRect(), QRectF(0, 0, 100, 40));
    EXPECT_EQ(w->cornerRadius(), 8);
    EXPECT_FALSE(w->borderColor().isValid());
    const QImage &img = w->backgroundImage();
    bool anyPainted = false;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            anyPainted |= img.pixelColor(x, y).alpha() != 0;
    EXPECT_FALSE(anyPainted);
    // The background image view lies behind the hosted view.
    ASSERT_TRUE(w->backgroundImageView());
    EXPECT_EQ(w->backgroundImageView()->geometry(), QRect(0, 0, 100, 40));
    const QObjectList kids = w->children();
    EXPECT_LT(kids.indexOf(w->backgroundImageView()), kids.indexOf(view));
}

TEST(WindowAttached, VariantDefaults)
{
    Views owner;
    auto ma = MAAttachedWindow::initWithView(owner.make(), QPointF(), 1);
    auto node = NODEAttachedWindow::initWithView(owner.make(), QPointF(), 1);
    auto rma = RMAAttachedWindow::initWithView(owner.make(), QPointF(), 1);
    auto status = StatusAttachedWindow::initWithView(owner.make(), QPointF(), 1);
    struct Row {
        const char *name;
        QColor fill, border;
        float borderWidth, margin, base, radius, roundBeside;
        bool shadow, movable;
    };
    auto row = [](const char *n, const auto &w) {
        return Row{n,
                   w.windowBackgroundColor().color(),
                   w.borderColor(),
                   w.borderWidth(),
                   w.viewMargin(),
                   w.arrowBaseWidth(),
                   w.cornerRadius(),
                   w.drawsRoundCornerBesideArrow(),
                   w.windowHasShadow(),
                   w.movableByWindowBackground()};
    };
    const QColor grey = QColor::fromRgbF(33 / 255.0f, 33 / 255.0f, 33 / 255.0f, 1);
    const QColor menuGrey = QColor::fromRgbF(33 / 255.0f, 33 / 255.0f, 33 / 255.0f, 0.97f);
    const Row expected[] = {
        {"MA", Qt::white, Qt::white, 0.2f, 2, 0, 8, 1, true, true},
        {"NODE", grey, grey, 0.2f, 2, 0, 4, 0, true, true},
        {"RMA", menuGrey, grey, 1, 2, 0, 6, 1, false, false},
        {"Status", QColor(Qt::transparent), QColor(), 0, 0, 15, 8, 1, true, false},
    };
    const Row actual[] = {row("MA", *ma), row("NODE", *node), row("RMA", *rma), row("Status", *status)};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(actual[i].fill, expected[i].fill);
        EXPECT_EQ(actual[i].border, expected[i].border);
        EXPECT_FLOAT_EQ(actual[i].borderWidth, expected[i].borderWidth);
        EXPECT_EQ(actual[i].margin, expected[i].margin);
        EXPECT_EQ(actual[i].base, expected[i].base);
        EXPECT_EQ(actual[i].radius, expected[i].radius);
        EXPECT_EQ(actual[i].roundBeside, expected[i].roundBeside);
        EXPECT_EQ(actual[i].shadow, expected[i].shadow);
        EXPECT_EQ(actual[i].movable, expected[i].movable);
    }
    for (const auto *w : {static_cast<QWidget *>(ma.get()), static_cast<QWidget *>(node.get()),
                          static_cast<QWidget *>(rma.get()), static_cast<QWidget *>(status.get())})
        EXPECT_TRUE(w->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(ma->hasArrow(), 1.0f);
    EXPECT_EQ(status->hasArrow(), 0.0f);
    EXPECT_FALSE(status->canBecomeMainWindow());
    EXPECT_TRUE(status->canBecomeKeyWindow());
}

TEST(WindowAttached, EmptyViewGivesNoWindow)
{
    EXPECT_FALSE(NODEAttachedWindow::initWithView(nullptr, QPointF(1, 1), nullptr, 3, 0.0));
    EXPECT_FALSE(RMAAttachedWindow::initWithView(nullptr, QPointF(1, 1), nullptr, 3, 0.0, 0.8));
    EXPECT_FALSE(StatusAttachedWindow::initWithView(nullptr, QPointF(1, 1)));
    EXPECT_FALSE(MAAttachedWindow::initWithView(nullptr, QPointF(1, 1), 2.0));
}

TEST(WindowAttached, AutomaticSideIsResolvedOnceAtCreation)
{
    Views owner;
    auto parent = parentAt(QPointF(100, 100));
    auto w = NODEAttachedWindow::initWithView(owner.make(), QPointF(300, 200), parent.get());
    ASSERT_TRUE(w);
    EXPECT_GE(w->side(), 0);
    EXPECT_LE(w->side(), 11);
    EXPECT_EQ(w->distance(), 0);
    // Later, 12 is kept as it is: bottom-left corner on the point.
    w->setPoint(QPointF(300, 200), 12);
    EXPECT_EQ(w->side(), 12);
    EXPECT_EQ(w->cocoaFrame().topLeft(), QPointF(400, 300));
}

TEST(WindowAttached, SettersClampAndSkipEqualValues)
{
    Views owner;
    auto w = NODEAttachedWindow::initWithView(owner.make(), QPointF(10, 10), 3, 0.0);
    ASSERT_TRUE(w);
    int updates = w->backgroundUpdates();
    w->setBorderWidth(w->borderWidth());
    w->setHasArrow(1);
    w->setBorderColor(w->borderColor());
    w->setBackgroundColor(w->windowBackgroundColor());
    w->setBackgroundImage(QPixmap());
    EXPECT_EQ(w->backgroundUpdates(), updates);

    w->setBorderWidth(5); // never more than the margin
    EXPECT_FLOAT_EQ(w->borderWidth(), 2);
    w->setCornerRadius(100); // half of (40 + 2·2 − 0)
    EXPECT_FLOAT_EQ(w->cornerRadius(), 22);
    w->setArrowBaseWidth(100); // 40 + 4 − 22 (the corner beside the arrow is square here)
    EXPECT_FLOAT_EQ(w->arrowBaseWidth(), 22);
    w->setCornerRadius(-3);
    EXPECT_FLOAT_EQ(w->cornerRadius(), 0);
    w->setViewMargin(-3); // not below 0, and the radius is clamped again
    EXPECT_FLOAT_EQ(w->viewMargin(), 0);
    EXPECT_EQ(w->cocoaFrame().size(), QSizeF(100, 40));

    // The flags travel as numbers, truncated toward zero.
    w->setHasArrow(0.7f);
    EXPECT_EQ(w->hasArrow(), 0.0f);
    w->setHasArrow(1.9f);
    EXPECT_EQ(w->hasArrow(), 1.0f);
    w->setDrawsRoundCornerBesideArrow(2.5f);
    EXPECT_EQ(w->drawsRoundCornerBesideArrow(), 1.0f);

    updates = w->backgroundUpdates();
    w->setBackgroundImage(QPixmap(4, 4));
    EXPECT_EQ(w->windowBackgroundColor().style(), Qt::TexturePattern);
    EXPECT_EQ(w->backgroundUpdates(), updates + 1);
}

TEST(WindowAttached, ArrowRoomWithoutArrowShiftsTheView)
{
    Views owner;
    auto w = MAAttachedWindow::initWithView(owner.make(), QPointF(500, 300), 3, 0.0);
    ASSERT_TRUE(w);
    w->setHasArrow(0);
    w->setArrowHeight(6);
    w->setPoint(QPointF(500, 300), 3);
    EXPECT_EQ(w->cocoaFrame(), QRectF(448, 300, 104, 50));
    EXPECT_EQ(w->viewFrame(), QRectF(2, 8, 100, 40));
    // A transparent strip along the bottom, where the arrow would be.
    const QImage &img = w->backgroundImage();
    ASSERT_EQ(img.height(), 50);
    EXPECT_EQ(img.pixelColor(52, 47).alpha(), 0);
    EXPECT_EQ(img.pixelColor(52, 20), QColor(Qt::white));
    // Side 1 puts the room at the top and leaves the view where it was.
    w->setPoint(QPointF(500, 300), 1);
    EXPECT_EQ(w->viewFrame(), QRectF(2, 2, 100, 40));
}

TEST(WindowAttached, BorderLiesInsideTheOutline)
{
    Views owner;
    auto w = RMAAttachedWindow::initWithView(owner.make(), QPointF(500, 300), nullptr, 3, 0.0, 0.8);
    ASSERT_TRUE(w);
    w->setBorderColor(Qt::red);
    const QImage &img = w->backgroundImage(); // outline at x = 1; stroke 2 wide, outer half clipped
    EXPECT_EQ(img.pixelColor(1, 22), QColor(Qt::red));
    EXPECT_NE(img.pixelColor(2, 22), QColor(Qt::red));
    EXPECT_EQ(img.pixelColor(0, 22).alpha(), 0);
}

TEST(WindowAttached, ChildWindowMovesWithItsParent)
{
    Views owner;
    auto parent = parentAt(QPointF(100, 100));
    parent->show();
    auto w = NODEAttachedWindow::initWithView(owner.make(), QPointF(200, 150), parent.get(), 3, 0.0);
    ChildWindows::addChildWindow(parent.get(), w.get());
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(ChildWindows::childWindows(parent.get()), QList<QWidget *>{w.get()});
    EXPECT_EQ(ChildWindows::parentWindow(w.get()), parent.get());
    const QPoint before = w->pos();
    parent->move(parent->pos() + QPoint(30, 40));
    EXPECT_TRUE(TestSupport::waitUntil([&] { return w->pos() == before + QPoint(30, 40); }, 2000));
    ChildWindows::removeChildWindow(parent.get(), w.get());
    EXPECT_TRUE(ChildWindows::childWindows(parent.get()).isEmpty());
    parent->move(parent->pos() + QPoint(10, 0));
    QCoreApplication::processEvents();
    EXPECT_EQ(w->pos(), before + QPoint(30, 40));
    // A child that goes away leaves the list by itself.
    ChildWindows::addChildWindow(parent.get(), w.get());
    w.reset();
    EXPECT_TRUE(ChildWindows::childWindows(parent.get()).isEmpty());
}

namespace {
struct MenuDelegate : RMAAttachedWindowDelegate {
    int closes = 0;
    void closeMattachedWindow() override { ++closes; }
};
struct PanelDelegate : StatusAttachedWindowDelegate {
    QList<bool> pointer;
    int hidden = 0;
    void mouseInWindow(bool inside) override { pointer.append(inside); }
    void isHiddenWindow() override { ++hidden; }
};
} // namespace

TEST(WindowAttached, DelegatesHearKeyLossAndPointer)
{
    Views owner;
    MenuDelegate menuDelegate;
    auto menu = RMAAttachedWindow::initWithView(owner.make(), QPointF(10, 10), nullptr, 3, 0.0, 0.8);
    QEvent deactivate(QEvent::ActivationChange);
    QCoreApplication::sendEvent(menu.get(), &deactivate); // without a delegate: nothing
    menu->setMattachedWDelegate(&menuDelegate);
    QCoreApplication::sendEvent(menu.get(), &deactivate);
    EXPECT_EQ(menuDelegate.closes, 1);

    PanelDelegate panelDelegate;
    auto panel = StatusAttachedWindow::initWithView(owner.make(), QPointF(10, 10), nullptr, 1, 5.0);
    panel->setMattachedWDelegate(&panelDelegate);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(panel.get(), &enter);
    QCoreApplication::sendEvent(panel.get(), &leave);
    EXPECT_EQ(panelDelegate.pointer, (QList<bool>{true, false}));
    QCoreApplication::sendEvent(panel.get(), &deactivate);
    EXPECT_EQ(panelDelegate.hidden, 1);
}

TEST(WindowAttached, CloseStopsTheModalLoopExceptForTheMenu)
{
    Views owner;
    auto bubble = NODEAttachedWindow::initWithView(owner.make(), QPointF(10, 10), 3, 0.0);
    bool safetyStop = false;
    QTimer::singleShot(0, bubble.get(), [&] { bubble->close(); });
    QTimer::singleShot(3000, qApp, [&] {
        safetyStop = true;
        Platform::App::stopModal();
    });
    Platform::App::runModal(nullptr);
    EXPECT_FALSE(safetyStop);

    auto menu = RMAAttachedWindow::initWithView(owner.make(), QPointF(10, 10), nullptr, 3, 0.0, 0.8);
    bool stillModal = false;
    QTimer::singleShot(0, menu.get(), [&] { menu->close(); });
    QTimer::singleShot(20, qApp, [&] {
        stillModal = Platform::App::isRunningModal();
        Platform::App::stopModal();
    });
    Platform::App::runModal(nullptr);
    EXPECT_TRUE(stillModal);
    EXPECT_FALSE(Platform::App::isRunningModal());
}

TEST(WindowAttached, MovableBubbleFollowsABackgroundDrag)
{
    Views owner;
    auto w = NODEAttachedWindow::initWithView(owner.make(), QPointF(300, 300), 3, 0.0);
    w->show();
    QCoreApplication::processEvents();
    const QPoint start = w->pos();
    const QPoint g = start + QPoint(1, 1);
    // Each event is made just before it is sent: events share the pointer's state.
    auto send = [&](QEvent::Type type, const QPoint &global, Qt::MouseButton button, Qt::MouseButtons buttons) {
        QMouseEvent e(type, QPointF(1, 1), QPointF(1, 1), QPointF(global), button, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(w.get(), &e);
    };
    send(QEvent::MouseButtonPress, g, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseMove, g + QPoint(25, 7), Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, g + QPoint(25, 7), Qt::LeftButton, Qt::NoButton);
    // A visible window's new position comes back from the window system.
    EXPECT_TRUE(TestSupport::waitUntil([&] { return w->pos() == start + QPoint(25, 7); }, 2000));
}
