// The popover's shadow, on a light and a dark background: around the drawn
// body (inside the window's transparent arrow margin and beyond it), while
// the popover window keeps its frame and its picture.
#include <gtest/gtest.h>

#include "CocoaGeometry.h"
#include "NodeViewController.h"
#include "TestSupport.h"
#include "VoPopoverController.h"
#include "VoPopoverWindow.h"
#include "WindowShadow.h"

#include <QApplication>
#include <QPointer>
#include <QPushButton>

namespace {

constexpr int M = WindowShadow::Margin;

int brightness(const QColor &c) { return c.red() + c.green() + c.blue(); }

// The lowest opaque row of a window's own picture in column x.
int bottomOfBody(const QImage &own, int x)
{
    for (int y = own.height() - 1; y >= 0; --y) {
        if (own.pixelColor(x, y).alpha() == 255)
            return y;
    }
    return -1;
}

} // namespace

TEST(PopoverShadow, LightAndDark)
{
    VoPopoverController::setApplicationActiveProvider([] { return true; });
    const std::pair<const char *, QColor> backgrounds[] = {{"light", QColor(236, 236, 236)},
                                                           {"dark", QColor(58, 58, 58)}};
    for (const auto &[name, color] : backgrounds) {
        SCOPED_TRACE(name);
        QWidget backdrop(nullptr, Qt::Window | Qt::FramelessWindowHint);
        backdrop.setGeometry(0, 0, 1280, 900);
        QPalette pal = backdrop.palette();
        pal.setColor(QPalette::Window, color);
        backdrop.setPalette(pal);
        backdrop.setAutoFillBackground(true);
        backdrop.show();
        QWidget anchor;
        anchor.setGeometry(100, 100, 400, 300);
        auto *button = new QPushButton(QStringLiteral("card"), &anchor);
        button->setGeometry(50, 60, 100, 40);
        anchor.show();
        QCoreApplication::processEvents();

        NodeViewController node;
        VoPopoverController c(&node);
        c.setAnimates(false);
        c.presentPopoverFromRect(QRectF(0, 0, 100, 40), button, 4, true);
        ASSERT_TRUE(c.popoverIsVisible());
        VoPopoverWindow *popover = c.popoverWindow();
        QCoreApplication::processEvents();

        // The window's frame is the popover frame, as without a shadow.
        const QRect frame = popover->geometry();
        EXPECT_EQ(QRectF(frame), CocoaGeometry::toQt(popover->cocoaFrame(), CocoaGeometry::screenHeight()));
        WindowShadow *shadow = WindowShadow::of(popover);
        ASSERT_TRUE(shadow);
        EXPECT_TRUE(shadow->isVisible());
        EXPECT_EQ(shadow->geometry(), frame.adjusted(-M, -M, M, M));

        const QRect area = frame.adjusted(-2 * M, -2 * M, 2 * M, 2 * M);
        const QImage img = TestSupport::screenPicture(area, color, {&backdrop, shadow, popover});
        TestSupport::saveScreenshot(img, QStringLiteral("shadow_popover_%1").arg(QLatin1String(name)));

        const QImage own = popover->grab().toImage();
        const int x = own.width() / 2;
        const int bottom = bottomOfBody(own, x);
        ASSERT_GT(bottom, 0);
        // The body is drawn as the window draws it; just below it the shadow; far off the background.
        EXPECT_EQ(img.pixelColor(2 * M + x, 2 * M + bottom - 5), own.pixelColor(x, bottom - 5));
        EXPECT_LT(brightness(img.pixelColor(2 * M + x, 2 * M + bottom + 4)), brightness(color) - 24);
        EXPECT_EQ(img.pixelColor(2 * M + x, img.height() - 3), color);
        QPointer<WindowShadow> watch(shadow);
        c.forceClosePopover();
        QCoreApplication::processEvents();
        EXPECT_TRUE(watch.isNull() || !watch->isVisible());
    }
    VoPopoverController::setApplicationActiveProvider(nullptr);
}
