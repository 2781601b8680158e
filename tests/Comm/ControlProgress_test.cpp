// The striped progress bar and the flat bars.
#include <gtest/gtest.h>

#include <QImage>
#include <QTest>
#include <cmath>
#include <limits>
#include <memory>

#include "BgProgressView.h"
#include "Clock.h"
#include "DiskSizeProgress.h"
#include "ITProgressBar.h"
#include "InvalidValueException.h"
#include "NSProgressBar.h"
#include "ProgressView.h"
#include "QoProgressView.h"
#include "SystemLog.h"
#include "TestSupport.h"

namespace {

// What the widget itself draws, over a transparent background.
QImage drawnImage(QWidget *widget)
{
    QImage image(widget->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

bool near(const QColor &a, const QColor &b, int tolerance = 4)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

TEST(StripedBar, StartsFullAndMoving)
{
    ITProgressBar bar(QRect(0, 0, 300, 20));
    EXPECT_DOUBLE_EQ(bar.floatValue(), 1.0);
    EXPECT_TRUE(bar.animates());
    EXPECT_TRUE(bar.hasStripesAnimation());
    EXPECT_DOUBLE_EQ(bar.stripesOpacity(), 0.04);
    EXPECT_DOUBLE_EQ(bar.animationDuration(), 0.5);
    EXPECT_DOUBLE_EQ(bar.colorTintOpacity(), double(0.2f));
    EXPECT_DOUBLE_EQ(bar.borderWidth(), 0);
    EXPECT_DOUBLE_EQ(bar.shadowWidth(), 1.0);
    EXPECT_EQ(bar.borderColor(), QColor(221, 221, 223));
    EXPECT_EQ(bar.backgroundColors(), QList<QColor>({QColor(221, 221, 223), QColor(221, 221, 223)}));
    EXPECT_EQ(bar.stripesImage().size(), QSize(30, 10));
    EXPECT_FALSE(bar.it_isHidden());
}

TEST(StripedBar, RefusesValuesOutsideZeroToOne)
{
    ITProgressBar bar(QRect(0, 0, 300, 20));
    bar.setFloatValue(0.25);
    for (double bad : {-0.0001, 1.0001, -1.0, 2.0, std::numeric_limits<double>::quiet_NaN(),
                       std::numeric_limits<double>::infinity()}) {
        SCOPED_TRACE(bad);
        try {
            bar.setFloatValue(bad);
            ADD_FAILURE() << "no exception";
        } catch (const InvalidValueException &e) {
            EXPECT_STREQ(e.what(), "Invalid value");
            EXPECT_EQ(e.reason(),
                      QStringLiteral("Invalid value passed for `setFloatValue:`. Value must be between 0.0 and 1.0"));
        }
        EXPECT_THROW(bar.setFloatValueAnimated(bad), InvalidValueException);
        EXPECT_DOUBLE_EQ(bar.floatValue(), 0.25);
    }
    for (double good : {0.0, 0.5, 1.0}) {
        EXPECT_NO_THROW(bar.setFloatValue(good));
        EXPECT_DOUBLE_EQ(bar.floatValue(), good);
    }
}

TEST(StripedBar, ValueSetsTheWidthOfTheFill)
{
    ITProgressBar bar(QRect(0, 0, 300, 20));
    bar.setBorderWidth(2);
    bar.resizeLayers();

    bar.setFloatValue(1.0);
    EXPECT_EQ(bar.innerClipLayerFrame(), QRectF(2, 2, 296, 16));
    bar.setFloatValue(0.5);
    EXPECT_EQ(bar.innerClipLayerFrame(), QRectF(2, 2, 148, 16));
    EXPECT_EQ(bar.innerShadowLayerFrame(), QRectF(-2, -2, 152, 20));
    bar.setFloatValue(0.0);
    EXPECT_DOUBLE_EQ(bar.innerClipLayerFrame().width(), 0);
}

TEST(StripedBar, EmptyBarShowsOnlyTheGreyTrackAndFullBarIsBlue)
{
    ITProgressBar bar(QRect(0, 0, 300, 20));
    bar.setAnimates(false);
    bar.setFloatValue(0.0);
    QImage drawn = drawnImage(&bar);
    EXPECT_TRUE(near(drawn.pixelColor(150, 10), QColor(221, 221, 223)));
    EXPECT_TRUE(near(drawn.pixelColor(290, 10), QColor(221, 221, 223)));

    bar.setFloatValue(1.0);
    drawn = drawnImage(&bar);
    for (int x : {20, 150, 285}) {
        const QColor c = drawn.pixelColor(x, 10);
        EXPECT_GT(c.blue(), 230) << x;
        EXPECT_LT(c.red(), 100) << x;
    }
}

TEST(StripedBar, FrameChangeRelaysTheStripes)
{
    ITProgressBar bar(QRect(0, 0, 300, 20));
    bar.show(); // a hidden widget hears of its new size only when shown
    EXPECT_EQ(bar.stripesLayerFrame(), QRectF(-30, 0, 330, 20));
    bar.resize(301, 24);
    EXPECT_EQ(bar.stripesLayerFrame(), QRectF(-30, 0, 360, 24));
    EXPECT_EQ(bar.clipLayerFrame(), QRectF(0, 0, 301, 24));
    EXPECT_EQ(bar.fillLayerFrame(), QRectF(0, 0, 301, 24));
}

TEST(StripedBar, SettersWaitForTheNextLayout)
{
    ITProgressBar bar(QRect(0, 0, 300, 20));
    bar.show();
    bar.setBorderWidth(3);
    EXPECT_EQ(bar.innerClipLayerFrame(), QRectF(0, 0, 300, 20));
    bar.resize(300, 21);
    EXPECT_EQ(bar.innerClipLayerFrame(), QRectF(3, 3, 294, 15));
}

TEST(StripedBar, ShadowNeverWiderThanTheBorder)
{
    ITProgressBar bar(QRect(0, 0, 300, 20));
    bar.setBorderWidth(0.5); // lowers the default shadow of 1.0
    EXPECT_DOUBLE_EQ(bar.shadowWidth(), 0.5);

    Platform::SystemLogCapture log;
    bar.setShadowWidth(2);
    EXPECT_DOUBLE_EQ(bar.shadowWidth(), 0.5);
    EXPECT_TRUE(log.contains(QStringLiteral("Warning: Line width must be at least as large as shadow width")));
    bar.setBorderWidth(3);
    bar.setShadowWidth(2);
    EXPECT_DOUBLE_EQ(bar.shadowWidth(), 2);
}

TEST(StripedBar, BorderImageNeedsASize)
{
    ITProgressBar bar(QRect(0, 0, 300, 20));
    EXPECT_TRUE(bar.borderImageForSize(QSizeF(0, 20), false).isNull());
    EXPECT_TRUE(bar.borderImageForSize(QSizeF(20, -1), true).isNull());
    EXPECT_FALSE(bar.borderImageForSize(QSizeF(20, 10), true).isNull());
}

TEST(StripedBar, StripeImageTilesAcross)
{
    const QImage stripes = ITProgressBar::stripesImageWithSize(QSize(30, 10));
    // The left and right columns match, so the pattern tiles without a seam.
    for (int y : {2, 8})
        EXPECT_EQ(qGray(stripes.pixel(0, y)), qGray(stripes.pixel(29, y))) << y;
    EXPECT_EQ(qGray(stripes.pixel(0, 2)), 0);
    EXPECT_EQ(qGray(stripes.pixel(0, 8)), 255);
    EXPECT_EQ(qGray(stripes.pixel(2, 1)), 0);    // the top-left triangle
    EXPECT_EQ(qGray(stripes.pixel(22, 1)), 255); // white between the stripes
    EXPECT_EQ(qGray(stripes.pixel(15, 8)), 0);   // the wide stripe
}

TEST(StripedBar, StoppingFadesTheStripesThenDropsTheirMotion)
{
    Platform::ClockScaleGuard fast(50);
    ITProgressBar bar(QRect(0, 0, 300, 20));
    bar.setAnimates(false);
    EXPECT_TRUE(TestSupport::waitUntil([&] { return !bar.hasStripesAnimation(); }, 5000));
    EXPECT_DOUBLE_EQ(bar.stripesOpacity(), 0);

    bar.setAnimates(true);
    EXPECT_TRUE(bar.hasStripesAnimation());
    EXPECT_TRUE(TestSupport::waitUntil([&] { return bar.stripesOpacity() == 0.04; }, 5000));

    // A quick stop and start keeps the motion.
    bar.setAnimates(false);
    bar.setAnimates(true);
    TestSupport::waitUntil([] { return false; }, 100);
    EXPECT_TRUE(bar.hasStripesAnimation());
}

TEST(StripedBar, NewSpeedRestartsTheMotion)
{
    ITProgressBar bar(QRect(0, 0, 300, 20));
    bar.setAnimationDuration(2.0);
    EXPECT_DOUBLE_EQ(bar.animationDuration(), 2.0);
    EXPECT_TRUE(bar.animates());
    EXPECT_TRUE(bar.hasStripesAnimation());
}

TEST(StripedBar, HidingOrShowingInTheSameStateChangesOnlyTheWish)
{
    QWidget host;
    auto *bar = new ITProgressBar(QRect(0, 0, 300, 20), &host);
    host.show();
    bar->setHidden(false);
    EXPECT_FALSE(bar->it_isHidden());
    EXPECT_TRUE(bar->isVisible());
    EXPECT_DOUBLE_EQ(bar->alphaValue(), 1.0);

    bar->QWidget::setHidden(true);
    bar->setHidden(true);
    EXPECT_TRUE(bar->it_isHidden());
    EXPECT_TRUE(bar->isHidden());
}

TEST(StripedBar, HideFadesOutThenHides)
{
    Platform::ClockScaleGuard fast(50);
    QWidget host;
    auto *bar = new ITProgressBar(QRect(0, 0, 300, 20), &host);
    host.show();
    bar->setHidden(true);
    EXPECT_TRUE(bar->it_isHidden());
    EXPECT_FALSE(bar->isHidden()); // still fading
    EXPECT_TRUE(TestSupport::waitUntil([&] { return bar->isHidden(); }, 5000));
    EXPECT_FALSE(bar->hasStripesAnimation());

    bar->setHidden(false);
    EXPECT_FALSE(bar->isHidden());
    EXPECT_TRUE(bar->hasStripesAnimation());
    EXPECT_TRUE(TestSupport::waitUntil([&] { return bar->alphaValue() == 1.0; }, 5000));
}

TEST(StripedBar, ShowDuringTheFadeOutIsNeverUndoneByIt)
{
    Platform::ClockScaleGuard fast(50);
    QWidget host;
    auto *bar = new ITProgressBar(QRect(0, 0, 300, 20), &host);
    host.show();
    bar->setHidden(true);
    bar->setHidden(false);
    EXPECT_FALSE(bar->it_isHidden());
    EXPECT_TRUE(TestSupport::waitUntil([&] { return bar->alphaValue() == 1.0; }, 5000));
    TestSupport::waitUntil([] { return false; }, 50);
    EXPECT_FALSE(bar->isHidden());
    EXPECT_TRUE(bar->hasStripesAnimation());
}

TEST(StripedBar, AnimatedValueGlidesToItsTarget)
{
    Platform::ClockScaleGuard fast(20);
    ITProgressBar bar(QRect(0, 0, 300, 20));
    bar.setFloatValue(0.0);
    bar.setFloatValueAnimated(0.6);
    EXPECT_TRUE(TestSupport::waitUntil([&] { return bar.floatValue() == 0.6; }, 5000));
    EXPECT_DOUBLE_EQ(bar.innerClipLayerFrame().width(), 180);
    EXPECT_TRUE(ITProgressBar::defaultAnimationForKey(QStringLiteral("floatValue")).has_value());
    EXPECT_FALSE(ITProgressBar::defaultAnimationForKey(QStringLiteral("frame")).has_value());

    // A plain set during a glide wins.
    bar.setFloatValueAnimated(1.0);
    bar.setFloatValue(0.1);
    TestSupport::waitUntil([] { return false; }, 50);
    EXPECT_DOUBLE_EQ(bar.floatValue(), 0.1);
}

struct Snap {
    float percent;
    float used;
};

const Snap snaps[] = {
    {0, 0}, {50, 100}, {99.5f, 199}, {99.6f, 200}, {100, 200}, {150, 200},
};

TEST(FlatBars, UsedWidthSnapsToFullWithinTheLastPoint)
{
    for (const Snap &snap : snaps) {
        SCOPED_TRACE(snap.percent);
        DiskSizeProgress disk;
        disk.resize(200, 4);
        disk.changeProgressValue(snap.percent);
        EXPECT_FLOAT_EQ(disk.used(), snap.used);

        ProgressView plain;
        plain.resize(200, 6);
        plain.changeProgressValue(snap.percent);
        EXPECT_FLOAT_EQ(plain.used(), snap.used);

        QoProgressView parts;
        parts.resize(200, 22);
        parts.show();
        parts.changeProgressValue(snap.percent);
        EXPECT_FLOAT_EQ(parts.used(), snap.used);
        EXPECT_EQ(parts.pProgress1()->geometry(), QRect(0, 0, int(snap.used), 22));
    }
}

TEST(FlatBars, ZeroDrawsOnlyTheTrack)
{
    DiskSizeProgress disk;
    disk.resize(200, 4);
    disk.changeProgressValue(0);
    QImage drawn = drawnImage(&disk);
    EXPECT_TRUE(near(drawn.pixelColor(3, 2), QColor(221, 221, 223)));
    disk.changeProgressValue(50);
    drawn = drawnImage(&disk);
    EXPECT_TRUE(near(drawn.pixelColor(3, 2), QColor(75, 159, 255)));
    EXPECT_TRUE(near(drawn.pixelColor(150, 2), QColor(221, 221, 223)));

    ProgressView plain;
    plain.resize(200, 6);
    plain.changeProgressValue(0);
    drawn = drawnImage(&plain);
    EXPECT_TRUE(near(drawn.pixelColor(10, 3), QColor(207, 222, 250)));
    plain.changeProgressValue(100);
    drawn = drawnImage(&plain);
    EXPECT_TRUE(near(drawn.pixelColor(190, 3), QColor(78, 109, 255)));
}

TEST(FlatBars, PartsBarHasItsTrackAndFill)
{
    QoProgressView parts;
    parts.resize(436, 22);
    parts.show();
    EXPECT_EQ(parts.bgProgressView()->geometry(), QRect(0, 0, 436, 22));
    EXPECT_EQ(parts.pProgress1()->geometry(), QRect(0, 0, 0, 22));
    parts.changeProgressValue(50);
    const QImage drawn = drawnImage(&parts);
    EXPECT_TRUE(near(drawn.pixelColor(100, 11), QColor(26, 161, 203)));
    EXPECT_TRUE(near(drawn.pixelColor(300, 11), QColor(255, 255, 255)));
}

} // namespace

// An unseen bar costs nothing: its stripes wait while the bar (or the view
// it is on) is hidden, and move again when it shows.
TEST(StripedBar, StripesStandStillWhileTheBarIsUnseen)
{
    Platform::ClockScaleGuard slow(1);
    QWidget page;
    page.resize(400, 100);
    auto *holder = new QWidget(&page);
    holder->setGeometry(0, 0, 400, 100);
    auto *bar = new ITProgressBar(QRect(20, 40, 300, 20), holder);
    page.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));

    const auto moves = [&] {
        const double x = bar->stripesPositionX();
        return TestSupport::waitUntil([&] { return bar->stripesPositionX() != x; }, 400);
    };
    EXPECT_TRUE(moves());
    EXPECT_TRUE(bar->isStripesAnimationRunning());

    holder->hide(); // the view it is on, as a page hides its progress view
    EXPECT_FALSE(moves());
    EXPECT_FALSE(bar->isStripesAnimationRunning());
    EXPECT_TRUE(bar->hasStripesAnimation());
    holder->show();
    EXPECT_TRUE(moves());

    bar->hide();
    EXPECT_FALSE(moves());
    bar->show();
    EXPECT_TRUE(moves());

    // Made while its window is not shown: it waits for the showing.
    page.hide();
    auto *late = new ITProgressBar(QRect(20, 10, 300, 20), holder);
    EXPECT_TRUE(late->hasStripesAnimation());
    EXPECT_FALSE(late->isStripesAnimationRunning());
    page.show();
    EXPECT_TRUE(late->isStripesAnimationRunning());
}
