// Window buttons with a shared rollover state.
#include <gtest/gtest.h>

#include "NotificationCenter.h"
#include "TestSupport.h"
#include "ZrWindowButton.h"
#include "ZrWindowButtonGroup.h"

#include <QApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QTest>
#include <QWindow>

namespace {

QPixmap filled(const QColor &c)
{
    QPixmap p(10, 10);
    p.fill(c);
    return p;
}

void giveImages(ZrWindowButton &b)
{
    b.setActiveImage(filled(Qt::green));
    b.setActiveNotKeyWindowImage(filled(Qt::gray));
    b.setInactiveImage(filled(Qt::black));
    b.setRolloverImage(filled(Qt::yellow));
}

QColor shown(const ZrWindowButton &b) { return b.image().toImage().pixelColor(5, 5); }

// A pointer move as the window system delivers it: to the window itself.
void movePointer(QWidget *window, const QPoint &pos)
{
    QWindow *handle = window->windowHandle();
    ASSERT_TRUE(handle);
    QMouseEvent e(QEvent::MouseMove, QPointF(pos), QPointF(pos), QPointF(window->mapToGlobal(pos)), Qt::NoButton,
                  Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(handle, &e);
}

// Two buttons of one group, 40 points apart, in a shown window.
struct TwoButtons {
    explicit TwoButtons(const QString &group)
    {
        window.resize(200, 100);
        a = new ZrWindowButton(QSize(14, 14), group, &window);
        b = new ZrWindowButton(QSize(14, 14), group, &window);
        a->move(20, 20);
        b->move(60, 20);
        giveImages(*a);
        giveImages(*b);
        window.show();
    }
    QWidget window;
    ZrWindowButton *a = nullptr;
    ZrWindowButton *b = nullptr;
};

} // namespace

TEST(WindowButtonGroup, GroupsAreKeptByIdentifier)
{
    ZrWindowButtonGroup *byDefault = ZrWindowButtonGroup::groupWithIdentifier();
    EXPECT_EQ(byDefault, ZrWindowButtonGroup::groupWithIdentifier(ZrWindowButtonGroup::DefaultIdentifier));
    EXPECT_EQ(byDefault->identifier(), QStringLiteral("com.fennick.ZrImageWindow.defaultWindowButtonGroup"));
    ZrWindowButtonGroup *a = ZrWindowButtonGroup::groupWithIdentifier(QStringLiteral("test.group.a"));
    EXPECT_EQ(a, ZrWindowButtonGroup::groupWithIdentifier(QStringLiteral("test.group.a")));
    EXPECT_NE(a, byDefault);
}

TEST(WindowButtonGroup, CaptureCountAndItsNotification)
{
    ZrWindowButtonGroup *g = ZrWindowButtonGroup::groupWithIdentifier(QStringLiteral("test.group.count"));
    int posted = 0;
    const int observer = 0;
    Platform::NotificationCenter::defaultCenter().addObserver(
        &observer, ZrWindowButtonGroup::DidUpdateRolloverStateNotification, g, [&](const Platform::Notification &n) {
            EXPECT_EQ(n.object, g);
            ++posted;
        });
    g->setNumberOfCaptures(-1);
    g->setNumberOfCaptures(0); // the current value
    EXPECT_EQ(posted, 0);
    g->setNumberOfCaptures(2);
    EXPECT_EQ(posted, 1);
    EXPECT_TRUE(g->shouldDisplayRollOver());
    g->didReleaseMousePointer();
    g->didReleaseMousePointer();
    g->didCaptureMousePointer();
    EXPECT_EQ(g->numberOfCaptures(), 1);
    g->resetMouseCaptures();
    EXPECT_FALSE(g->shouldDisplayRollOver());
    EXPECT_EQ(posted, 1); // direct changes post nothing
    Platform::NotificationCenter::defaultCenter().removeObserver(&observer);
}

TEST(WindowButtonGroup, ImageRules)
{
    ZrWindowButton b(QSize(14, 14), QStringLiteral("test.group.images"));
    giveImages(b);
    EXPECT_EQ(b.size(), QSize(14, 14));
    EXPECT_TRUE(b.text().isEmpty());
    b.setEnabled(false);
    EXPECT_EQ(shown(b), QColor(Qt::black));
    b.setEnabled(true);
    EXPECT_EQ(shown(b), QColor(Qt::green));
    b.updateImage(); // not in a key window
    EXPECT_EQ(shown(b), QColor(Qt::gray));
    b.group()->setNumberOfCaptures(1); // the group shows rollover: the notification refreshes
    EXPECT_EQ(shown(b), QColor(Qt::yellow));
    b.setEnabled(false);
    b.updateRollOverImage(); // only enabled buttons roll over
    EXPECT_EQ(shown(b), QColor(Qt::black));
    b.group()->setNumberOfCaptures(0);
}

// The enabled state, however it is set (through a plain widget pointer too,
// or by the parent), picks the image.
TEST(WindowButtonGroup, EnabledStateChosenThroughAnyPointerPicksTheImage)
{
    QWidget parent;
    auto *b = new ZrWindowButton(QSize(14, 14), QStringLiteral("test.group.enabled"), &parent);
    giveImages(*b);
    QWidget *plain = b;
    plain->setEnabled(false);
    EXPECT_EQ(shown(*b), QColor(Qt::black));
    plain->setEnabled(true);
    EXPECT_EQ(shown(*b), QColor(Qt::green));
    parent.setEnabled(false);
    EXPECT_EQ(shown(*b), QColor(Qt::black));
    parent.setEnabled(true);
    EXPECT_EQ(shown(*b), QColor(Qt::green));
}

TEST(WindowButtonGroup, PointerNearAnyButtonRollsTheGroupOver)
{
    TwoButtons two(QStringLiteral("test.group.rollover"));
    QWidget &window = two.window;
    ZrWindowButton *a = two.a, *b = two.b;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    a->updateImage();
    b->updateImage();
    EXPECT_EQ(a->mouseTrackingArea(), QRect(-4, -4, 22, 22));

    movePointer(&window, QPoint(17, 25)); // 3 points left of a's edge: already inside
    EXPECT_EQ(a->group()->numberOfCaptures(), 1);
    EXPECT_EQ(shown(*a), QColor(Qt::yellow));
    movePointer(&window, QPoint(14, 25)); // 6 points off: outside
    EXPECT_EQ(a->group()->numberOfCaptures(), 0);
    EXPECT_NE(shown(*a), QColor(Qt::yellow));

    // A posted change of the count refreshes every button of the group.
    a->group()->setNumberOfCaptures(1);
    EXPECT_EQ(shown(*a), QColor(Qt::yellow));
    EXPECT_EQ(shown(*b), QColor(Qt::yellow));
    a->group()->setNumberOfCaptures(0);
    EXPECT_NE(shown(*b), QColor(Qt::yellow));
}

// A live resize can carry the pointer off the buttons without an exit; when
// the resizing stops, the rollover follows where the pointer is then.
TEST(WindowButtonGroup, RolloverIsResetWhenALiveResizeEnds)
{
    TwoButtons two(QStringLiteral("test.group.resize"));
    QWidget &window = two.window;
    ZrWindowButton *a = two.a, *b = two.b;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    // The pointer went over a; the resize then took the window from under it.
    movePointer(&window, QPoint(25, 25));
    ASSERT_EQ(a->group()->numberOfCaptures(), 1);
    QCursor::setPos(window.mapToGlobal(QPoint(150, 80)));
    a->group()->didCaptureMousePointer(); // what a missed exit leaves
    for (int w = 210; w <= 260; w += 10) {
        window.resize(w, 100);
        QCoreApplication::processEvents();
    }
    EXPECT_TRUE(a->group()->shouldDisplayRollOver()); // still resizing
    EXPECT_TRUE(TestSupport::waitUntil([&] { return a->group()->numberOfCaptures() == 0; }, 2000));
    EXPECT_NE(shown(*a), QColor(Qt::yellow));
    EXPECT_NE(shown(*b), QColor(Qt::yellow));

    // Ending over b: the group shows its rollover again.
    QCursor::setPos(window.mapToGlobal(QPoint(65, 25)));
    window.resize(270, 100);
    EXPECT_TRUE(TestSupport::waitUntil([&] { return shown(*a) == QColor(Qt::yellow); }, 2000));
    EXPECT_EQ(a->group()->numberOfCaptures(), 1);
    EXPECT_EQ(shown(*b), QColor(Qt::yellow));
    a->group()->setNumberOfCaptures(0);
}
