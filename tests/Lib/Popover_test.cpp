// The popover: its frame for each direction, the direction choice, showing,
// following the anchor and every way of closing.
#include <gtest/gtest.h>

#include "ChildWindows.h"
#include "Clock.h"
#include "CocoaGeometry.h"
#include "NodeViewController.h"
#include "TestSupport.h"
#include "VoPopoverController.h"
#include "VoPopoverControllerDelegate.h"
#include "VoPopoverParentWindow.h"
#include "VoPopoverWindow.h"
#include "VoPopoverWindowFrame.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTest>

namespace {

struct RecordingDelegate : VoPopoverControllerDelegate {
    QStringList calls;
    bool allowClose = true;
    bool popoverShouldClose(VoPopoverController *) override
    {
        calls << QStringLiteral("shouldClose");
        return allowClose;
    }
    void popoverWillShow(VoPopoverController *) override { calls << QStringLiteral("willShow"); }
    void popoverDidShow(VoPopoverController *) override { calls << QStringLiteral("didShow"); }
    void popoverWillClose(VoPopoverController *) override { calls << QStringLiteral("willClose"); }
    void popoverDidClose(VoPopoverController *) override { calls << QStringLiteral("didClose"); }
};

// A window with a card button, as the pages have.
struct Anchor {
    QWidget window;
    QPushButton *button;
    Anchor()
    {
        window.setGeometry(100, 100, 400, 300);
        button = new QPushButton(QStringLiteral("card"), &window);
        button->setGeometry(50, 60, 100, 40);
        window.show();
        QCoreApplication::processEvents();
    }
    QRectF bounds() const { return QRectF(0, 0, 100, 40); }
};

class Content : public QWidget {
public:
    Content() { resize(200, 120); }
};

// The application counts as active unless a test says otherwise.
struct ActiveApplication {
    explicit ActiveApplication(bool active = true)
    {
        VoPopoverController::setApplicationActiveProvider([active] { return active; });
    }
    ~ActiveApplication() { VoPopoverController::setApplicationActiveProvider(nullptr); }
};

} // namespace

TEST(Popover, FrameForEachDirection)
{
    VoPopoverController c;
    const QSizeF frameSize = c.popoverWindow()->frameRectForContentRect(QRectF(0, 0, 300, 200)).size();
    EXPECT_EQ(frameSize, QSizeF(324, 224));
    const QRectF anchor(0, 0, 100, 40);
    struct Row {
        unsigned direction;
        QRectF frame;
    };
    const Row rows[] = {
        {1, {100, -92, 324, 224}},   // right of the anchor, centred on it
        {2, {-324, -92, 324, 224}},  // left of it
        {3, {-102, -224, 324, 224}}, // below, 10 points right of the centre
        {4, {-112, 40, 324, 224}},   // above
        {0, QRectF()},
        {9, QRectF()},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.direction);
        EXPECT_EQ(VoPopoverController::popoverFrame(frameSize, r.direction, anchor), r.frame);
    }
    EXPECT_EQ(c.popoverWindow()->contentRectForFrameRect(QRectF(5, 5, 324, 224)), QRectF(12, 12, 300, 200));
}

TEST(Popover, DirectionFallbackOrder)
{
    const QSizeF frameSize(324, 224);
    struct Row {
        const char *what;
        unsigned preferred;
        QRectF screen;
        QRectF anchor;
        unsigned chosen;
    };
    const QRectF screen(0, 0, 1000, 800);
    const QRectF narrow(0, 0, 400, 800);
    const Row rows[] = {
        {"preferred fits", 1, screen, {400, 400, 100, 40}, 1},
        {"no room right: the opposite", 1, screen, {900, 400, 100, 40}, 2},
        {"no room left: the opposite", 2, screen, {10, 400, 100, 40}, 1},
        {"neither side, more room below: below", 1, narrow, {150, 500, 100, 40}, 3},
        {"neither side, more room above: above", 2, narrow, {150, 100, 100, 40}, 4},
        {"up preferred and fits", 3, screen, {400, 400, 100, 40}, 3},
        {"down does not fit: its opposite", 4, screen, {400, 700, 100, 40}, 3},
        {"nothing fits: the preferred one", 1, {0, 0, 200, 200}, {50, 50, 100, 40}, 1},
        {"no screen: the preferred one", 2, QRectF(), {50, 50, 100, 40}, 2},
        {"no direction: kept", 0, screen, {400, 400, 100, 40}, 0},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.what);
        auto frameFor = [&](unsigned d) { return VoPopoverController::popoverFrame(frameSize, d, r.anchor); };
        EXPECT_EQ(VoPopoverController::chooseArrowDirection(r.preferred, r.screen, r.anchor, frameFor), r.chosen);
    }
}

TEST(Popover, Defaults)
{
    VoPopoverWindowFrame frame;
    EXPECT_EQ(frame.color(), QColor::fromRgbF(0, 0, 0, 0.8f));
    EXPECT_EQ(frame.cornerRadius(), 12);
    EXPECT_EQ(frame.arrowSize(), QSizeF(23, 12));
    EXPECT_EQ(frame.arrowDirection(), 1u);
    EXPECT_EQ(frame.borderWidth(), 0);
    EXPECT_FALSE(frame.borderColor().isValid());

    VoPopoverController c;
    EXPECT_EQ(c.color(), QColor(55, 55, 55));
    EXPECT_EQ(c.borderColor(), QColor(55, 55, 55));
    EXPECT_EQ(c.borderWidth(), 1);
    EXPECT_TRUE(c.closesWhenEscapeKeyPressed());
    EXPECT_TRUE(c.closesWhenPopoverResignsKey());
    EXPECT_FALSE(c.closesWhenApplicationBecomesInactive());
    EXPECT_TRUE(c.animates());
    EXPECT_EQ(c.animationType(), 0);
    EXPECT_FALSE(c.popoverIsVisible());
    EXPECT_TRUE(c.popoverWindow()->frameView());
    EXPECT_EQ(c.popoverWindow()->popoverController(), &c);
}

TEST(Popover, ContentAndItsSize)
{
    Content content;
    VoPopoverController c(&content);
    EXPECT_EQ(c.contentViewController(), &content);
    EXPECT_EQ(c.contentView(), &content);
    EXPECT_EQ(c.contentSize(), QSizeF(200, 120));
    EXPECT_EQ(content.parentWidget(), c.popoverWindow()->frameView());
    c.setContentViewController(&content); // the same again: nothing
    EXPECT_EQ(c.contentView(), &content);
    c.setContentViewController(nullptr);
    EXPECT_EQ(c.contentSize(), QSizeF());
    EXPECT_EQ(c.contentView(), nullptr);
    EXPECT_EQ(content.parentWidget(), nullptr); // handed back, not destroyed
}

TEST(Popover, ShowsBesideTheAnchorAndClosesAtOnceWithoutAnimation)
{
    ActiveApplication active;
    Anchor anchor;
    Content content;
    RecordingDelegate d;
    VoPopoverController c(&content);
    c.setDelegate(&d);
    c.setAnimates(false);
    c.presentPopoverFromRect(anchor.bounds(), anchor.button, 1, true);
    ASSERT_TRUE(c.popoverIsVisible());
    EXPECT_EQ(d.calls, (QStringList{QStringLiteral("willShow"), QStringLiteral("didShow")}));
    EXPECT_EQ(c.positionView(), anchor.button);
    EXPECT_EQ(c.viewRect(), anchor.bounds());
    const QRectF expectedAnchor = CocoaGeometry::toCocoa(QRectF(150, 160, 100, 40), CocoaGeometry::screenHeight());
    EXPECT_EQ(c.screenRect(), expectedAnchor);
    EXPECT_EQ(c.arrowDirection(), 1u);
    const QRectF frame = c.popoverFrameWithSize(QSizeF(200, 120), 1);
    EXPECT_EQ(frame, QRectF(250, expectedAnchor.y() + 20 - 72, 224, 144));
    EXPECT_EQ(c.popoverWindow()->cocoaFrame(), frame);
    EXPECT_EQ(ChildWindows::parentWindow(c.popoverWindow()), &anchor.window);
    EXPECT_EQ(content.geometry(), QRect(12, 12, 200, 120));

    // Pressing the card again while it is open opens no second one.
    c.presentPopoverFromRect(anchor.bounds(), anchor.button, 2, true);
    EXPECT_EQ(c.arrowDirection(), 1u);

    d.calls.clear();
    c.closePopover();
    EXPECT_FALSE(c.popoverIsVisible());
    EXPECT_EQ(d.calls,
              (QStringList{QStringLiteral("shouldClose"), QStringLiteral("willClose"), QStringLiteral("didClose")}));
    EXPECT_EQ(c.arrowDirection(), 0u);
    EXPECT_EQ(c.positionView(), nullptr);
    EXPECT_EQ(c.screenRect(), QRectF());
    EXPECT_TRUE(ChildWindows::childWindows(&anchor.window).isEmpty());
    c.closePopover(); // not visible: nothing
    EXPECT_EQ(d.calls.size(), 3);
}

TEST(Popover, PopAnimationThenFadeOut)
{
    Platform::ClockScaleGuard fast(50);
    ActiveApplication active;
    Anchor anchor;
    Content content;
    RecordingDelegate d;
    VoPopoverController c(&content);
    c.setDelegate(&d);
    c.presentPopoverFromRect(anchor.bounds(), anchor.button, 2, true);
    // The zoom window counts as visible while it grows.
    EXPECT_TRUE(c.popoverIsVisible());
    ASSERT_TRUE(c.popoverWindow()->zoomWindow());
    EXPECT_EQ(d.calls, QStringList{QStringLiteral("willShow")});
    ASSERT_TRUE(TestSupport::waitUntil([&] { return d.calls.contains(QStringLiteral("didShow")); }, 3000));
    EXPECT_EQ(c.popoverWindow()->zoomWindow(), nullptr);
    EXPECT_DOUBLE_EQ(c.popoverWindow()->windowOpacity(), 1.0);
    EXPECT_EQ(ChildWindows::parentWindow(c.popoverWindow()), &anchor.window);
    // No room on the left of the card: it opened on the right.
    EXPECT_EQ(c.arrowDirection(), 1u);
    EXPECT_EQ(c.popoverWindow()->cocoaFrame(), c.popoverFrameWithSize(c.contentSize(), 1));

    c.closePopover();
    EXPECT_TRUE(c.popoverIsVisible()); // fading
    ASSERT_TRUE(TestSupport::waitUntil([&] { return d.calls.contains(QStringLiteral("didClose")); }, 3000));
    EXPECT_FALSE(c.popoverIsVisible());
    EXPECT_EQ(c.arrowDirection(), 0u);
}

TEST(Popover, ClosedWhileItOpensStaysClosed)
{
    Platform::ClockScaleGuard slowish(10); // the opening zoom runs for a few dozen ms
    ActiveApplication active;
    Anchor anchor;
    Content content;
    RecordingDelegate d;
    VoPopoverController c(&content);
    c.setDelegate(&d);
    c.presentPopoverFromRect(anchor.bounds(), anchor.button, 2, true);
    ASSERT_TRUE(c.popoverWindow()->zoomWindow());
    c.closePopover();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return d.calls.contains(QStringLiteral("didClose")); }, 3000));
    // Give the stopped zoom the time it would have needed to finish.
    QTest::qWait(Platform::Clock::realMs(1));
    EXPECT_FALSE(c.popoverIsVisible());
    EXPECT_FALSE(c.popoverWindow()->isVisible());
    EXPECT_FALSE(d.calls.contains(QStringLiteral("didShow")));
}

TEST(Popover, AnimationTypes)
{
    Platform::ClockScaleGuard fast(50);
    ActiveApplication active;
    Anchor anchor;
    Content content;
    struct Row {
        int type;
        bool showAnimated;
        bool closeAnimated;
    };
    for (const Row &r : {Row{1, true, false}, Row{2, false, true}, Row{3, true, true}}) {
        SCOPED_TRACE(r.type);
        RecordingDelegate d;
        VoPopoverController c(&content);
        c.setDelegate(&d);
        c.setAnimationType(r.type);
        c.presentPopoverFromRect(anchor.bounds(), anchor.button, 1, true);
        EXPECT_EQ(d.calls.contains(QStringLiteral("didShow")), !r.showAnimated);
        EXPECT_EQ(c.popoverWindow()->zoomWindow(), nullptr);
        ASSERT_TRUE(TestSupport::waitUntil([&] { return d.calls.contains(QStringLiteral("didShow")); }, 3000));
        c.closePopover();
        EXPECT_EQ(c.popoverIsVisible(), r.closeAnimated);
        ASSERT_TRUE(TestSupport::waitUntil([&] { return !c.popoverIsVisible(); }, 3000));
        EXPECT_TRUE(d.calls.contains(QStringLiteral("didClose")));
        c.setContentViewController(nullptr);
    }
}

TEST(Popover, EscapeAndTheDelegateDecide)
{
    ActiveApplication active;
    Anchor anchor;
    Content content;
    RecordingDelegate d;
    VoPopoverController c(&content);
    c.setDelegate(&d);
    c.setAnimates(false);
    c.presentPopoverFromRect(anchor.bounds(), anchor.button, 1, true);
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);

    c.setClosesWhenEscapeKeyPressed(false);
    QCoreApplication::sendEvent(c.popoverWindow(), &escape);
    EXPECT_TRUE(c.popoverIsVisible());

    c.setClosesWhenEscapeKeyPressed(true);
    d.allowClose = false;
    QCoreApplication::sendEvent(c.popoverWindow(), &escape);
    EXPECT_TRUE(c.popoverIsVisible());
    c.forceClosePopover(); // does not ask
    EXPECT_FALSE(c.popoverIsVisible());

    d.allowClose = true;
    c.presentPopoverFromRect(anchor.bounds(), anchor.button, 1, true);
    QCoreApplication::sendEvent(c.popoverWindow(), &escape);
    EXPECT_FALSE(c.popoverIsVisible());
}

TEST(Popover, LosingKeyClosesUnlessTheApplicationWentAway)
{
    Anchor anchor;
    Content content;
    VoPopoverController c(&content);
    c.setAnimates(false);
    {
        ActiveApplication inactive(false);
        c.presentPopoverFromRect(anchor.bounds(), anchor.button, 1, true);
        QEvent deactivate(QEvent::WindowDeactivate);
        QCoreApplication::sendEvent(c.popoverWindow(), &deactivate);
        QTest::qWait(20);
        EXPECT_TRUE(c.popoverIsVisible());
    }
    {
        ActiveApplication active(true);
        QEvent deactivate(QEvent::WindowDeactivate);
        QCoreApplication::sendEvent(c.popoverWindow(), &deactivate);
        // Unless the window has become key again meanwhile, it closes.
        if (c.popoverWindow()->isActiveWindow())
            anchor.window.activateWindow();
        EXPECT_TRUE(TestSupport::waitUntil([&] { return !c.popoverIsVisible(); }, 3000));
    }
}

TEST(Popover, FollowsTheAnchorAndClosesWhenItLeavesItsSuperview)
{
    ActiveApplication active;
    Anchor anchor;
    Content content;
    VoPopoverController c(&content);
    c.setAnimates(false);
    c.presentPopoverFromRect(anchor.bounds(), anchor.button, 1, true);
    const QRectF before = c.popoverWindow()->cocoaFrame();
    anchor.button->move(anchor.button->pos() + QPoint(30, 10));
    const QRectF after = c.popoverWindow()->cocoaFrame();
    EXPECT_EQ(after.topLeft() - before.topLeft(), QPointF(30, -10)); // y grows upwards
    EXPECT_TRUE(c.popoverIsVisible());
    anchor.button->move(350, 10); // partly outside the window's bounds
    EXPECT_FALSE(c.popoverIsVisible());
}

TEST(Popover, ParentWindowCountsAsKeyWhileItsPopoverIsUp)
{
    VoPopoverParentWindow parent;
    parent.setGeometry(100, 100, 400, 300);
    auto *button = new QPushButton(&parent);
    button->setGeometry(10, 10, 80, 30);
    parent.show();
    EXPECT_FALSE(parent.isReallyKeyWindow() && !parent.isKeyWindow());
    Content content;
    VoPopoverController c(&content);
    c.setAnimates(false);
    c.presentPopoverFromRect(QRectF(0, 0, 80, 30), button, 1, false);
    {
        ActiveApplication active(true);
        EXPECT_TRUE(parent.isKeyWindow());
    }
    {
        ActiveApplication inactive(false);
        EXPECT_EQ(parent.isKeyWindow(), parent.isReallyKeyWindow());
    }
    c.forceClosePopover();
}

TEST(Popover, OutlineAndRedraw)
{
    VoPopoverWindowFrame frame;
    frame.setArrowDirection(1);
    EXPECT_EQ(frame.popoverBezierPathWithRect(QRectF(0, 0, 324, 224)).boundingRect(), QRectF(0, 12, 312, 200));
    frame.setArrowDirection(3);
    EXPECT_EQ(frame.popoverBezierPathWithRect(QRectF(0, 0, 324, 224)).boundingRect(), QRectF(12, 12, 300, 212));
    frame.setArrowDirection(0);
    EXPECT_EQ(frame.popoverBezierPathWithRect(QRectF(0, 0, 324, 224)).boundingRect(), QRectF(12, 12, 300, 200));
    frame.setCornerRadius(4);
    frame.setArrowSize(QSizeF(10, 6));
    EXPECT_EQ(frame.cornerRadius(), 4);
    EXPECT_EQ(frame.popoverBezierPathWithRect(QRectF(0, 0, 324, 224)).boundingRect(), QRectF(6, 6, 312, 212));
    // Drawn in the fixed body grey whatever the colour setting.
    frame.setColor(Qt::red);
    frame.resize(100, 80);
    QImage img(100, 80, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    frame.render(&img, QPoint(), QRegion(), QWidget::DrawChildren);
    EXPECT_EQ(img.pixelColor(50, 40), QColor(55, 55, 55));
    EXPECT_EQ(img.pixelColor(1, 1).alpha(), 0);
}

TEST(Popover, Screenshot)
{
    ActiveApplication active;
    Anchor anchor;
    NodeViewController node;
    VoPopoverController c(&node);
    c.setAnimates(false);
    c.presentPopoverFromRect(anchor.bounds(), anchor.button, 4, true);
    ASSERT_TRUE(c.popoverIsVisible());
    EXPECT_EQ(c.arrowDirection(), 4u);
    const QString path = TestSupport::saveScreenshot(c.popoverWindow(), QStringLiteral("popover"));
    QImage shot(path);
    ASSERT_FALSE(shot.isNull());
    VoPopoverWindow *window = c.popoverWindow();
    shot = shot.scaled(window->size()); // one pixel a point, whatever the screen
    const VoPopoverWindowFrame *frame = window->frameView();
    ASSERT_TRUE(frame);
    const QSizeF arrow = frame->arrowSize();
    const int w = shot.width(), h = shot.height();
    // The arrow points down at the card from the middle of the bottom edge:
    // inside it the body grey, beside it nothing is drawn.
    EXPECT_EQ(shot.pixelColor(w / 2, h - int(arrow.height() / 2)), QColor(55, 55, 55));
    EXPECT_EQ(shot.pixelColor(w / 2 - int(arrow.width()), h - int(arrow.height() / 2)).alpha(), 0);
    EXPECT_EQ(shot.pixelColor(1, 1).alpha(), 0) << "the rounded corner is cut away";
    // The note's light text on the body.
    int light = 0;
    for (int x = 0; x < w; ++x)
        for (int y = 0; y < h; ++y)
            light += shot.pixelColor(x, y).lightness() > 200 && shot.pixelColor(x, y).alpha() == 255;
    EXPECT_GT(light, 50);
    // It stands above the card, the arrow's tip at the card's middle.
    const QPoint cardTop = anchor.button->mapToGlobal(QPoint(anchor.button->width() / 2, 0));
    EXPECT_LE(window->frameGeometry().bottom(), cardTop.y());
    EXPECT_NEAR(window->frameGeometry().center().x(), cardTop.x(), 1);
    EXPECT_TRUE(node.isVisible());
    EXPECT_TRUE(window->isAncestorOf(&node));
    c.forceClosePopover();
}

TEST(Popover, ReleasedWhileAnimating)
{
    Platform::ClockScaleGuard slow(1); // animations outlast the controller
    ActiveApplication active;
    Anchor anchor;
    Content content;
    {
        VoPopoverController c(&content);
        c.presentPopoverFromRect(anchor.bounds(), anchor.button, 1, true);
        EXPECT_TRUE(c.popoverIsVisible());
    }
    // The caller's content is handed back, and nothing fires later.
    EXPECT_EQ(content.parentWidget(), nullptr);
    QTest::qWait(50);
    EXPECT_TRUE(ChildWindows::childWindows(&anchor.window).isEmpty());
}
