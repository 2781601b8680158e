// The shadows the windows cast: drawn around the window on what lies under
// it, light and dark, while the window's own frame, content and input stay
// those of a window without shadow.
#include <gtest/gtest.h>

#include "ErrorViewController.h"
#include "MainWindowPanel.h"
#include "NODEAttachedWindow.h"
#include "PanelHostedController.h"
#include "RMAAttachedWindow.h"
#include "StatusAttachedWindow.h"
#include "TestSupport.h"
#include "WindowShadow.h"
#include "ZrImageWindow.h"

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QWindow>

namespace {

constexpr int M = WindowShadow::Margin;

struct Background {
    const char *name;
    QColor color;
};
const Background backgrounds[] = {{"light", QColor(236, 236, 236)}, {"dark", QColor(58, 58, 58)}};

// A plain coloured window under everything, as the desktop or another
// program's window would be.
struct Backdrop {
    QWidget window;
    explicit Backdrop(const QColor &color, const QRect &area = QRect(0, 0, 1280, 900))
    {
        window.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        window.setAutoFillBackground(true);
        QPalette pal = window.palette();
        pal.setColor(QPalette::Window, color);
        window.setPalette(pal);
        window.setGeometry(area);
        window.show();
        QCoreApplication::processEvents();
    }
};

std::unique_ptr<ZrImageWindow> mainWindow(const QPoint &at)
{
    auto w = std::make_unique<ZrImageWindow>(QSize(600, 378));
    w->setTitleBarHeight(48);
    w->setBackgroundColor(Qt::white);
    w->move(at);
    w->show();
    QCoreApplication::processEvents();
    return w;
}

// The picture of `window` with its shadow over the backdrop, `extra` points
// around the window's frame.
QImage pictureOf(QWidget *window, const Backdrop &backdrop, const QColor &color, int extra = 2 * M)
{
    const QRect area = window->geometry().adjusted(-extra, -extra, extra, extra);
    return TestSupport::screenPicture(area, color,
                                      {const_cast<QWidget *>(&backdrop.window), WindowShadow::of(window), window});
}

int brightness(const QColor &c) { return c.red() + c.green() + c.blue(); }

// Checks on a picture made by pictureOf with the default extra: a pixel just
// below the frame (window coordinates) is darker than the background, one
// beyond the margin is the background.
void expectShadowBelow(const QImage &img, const QColor &background, int windowX, int windowHeight)
{
    const int x = 2 * M + windowX;
    const int justBelow = 2 * M + windowHeight + 3;
    EXPECT_LT(brightness(img.pixelColor(x, justBelow)), brightness(background) - 24)
        << "just below the frame: " << img.pixelColor(x, justBelow).name().toStdString();
    EXPECT_EQ(img.pixelColor(x, img.height() - 3), background);
    EXPECT_EQ(img.pixelColor(2, 2), background);
}

class ConfirmationPanel : public PanelHostedController {
public:
    ConfirmationPanel()
    {
        resize(300, 160);
        auto *text = new QLabel(QStringLiteral("确定要开始复制吗？"), this);
        text->setGeometry(0, 60, 300, 30);
        text->setAlignment(Qt::AlignCenter);
        text->setStyleSheet(QStringLiteral("color: white;"));
    }
};

} // namespace

TEST(WindowShadow, MainWindowOnLightAndDark)
{
    for (const Background &bg : backgrounds) {
        SCOPED_TRACE(bg.name);
        Backdrop backdrop(bg.color);
        auto main = mainWindow(QPoint(80, 70));
        // The window keeps its frame: the size the content and bar ask for, where it was put.
        EXPECT_EQ(main->geometry(), QRect(80, 70, 600, 400));
        WindowShadow *shadow = WindowShadow::of(main.get());
        ASSERT_TRUE(shadow);
        EXPECT_TRUE(shadow->isVisible());
        EXPECT_EQ(shadow->geometry(), QRect(80 - M, 70 - M, 600 + 2 * M, 400 + 2 * M));

        const QImage img = pictureOf(main.get(), backdrop, bg.color);
        TestSupport::saveScreenshot(img, QStringLiteral("shadow_main_%1").arg(QLatin1String(bg.name)));
        expectShadowBelow(img, bg.color, 300, 400);
        // To the right as well, less than below (the shadow falls a little downwards).
        const QColor right = img.pixelColor(2 * M + 600 + 3, 2 * M + 200);
        EXPECT_LT(brightness(right), brightness(bg.color) - 15);
        EXPECT_LE(brightness(img.pixelColor(2 * M + 300, 2 * M + 403)), brightness(right));
        // The window itself is drawn as without a shadow: bar, content, rounded corner.
        const QImage own = main->grab().toImage();
        EXPECT_EQ(img.pixelColor(2 * M + 400, 2 * M + 25), own.pixelColor(400, 25));
        EXPECT_EQ(own.pixelColor(400, 25), QColor(38, 38, 38));
        EXPECT_EQ(img.pixelColor(2 * M + 300, 2 * M + 250), QColor(Qt::white));
        EXPECT_EQ(own.pixelColor(0, 0).alpha(), 0);
    }
}

TEST(WindowShadow, AttachedWindowsOnLightAndDark)
{
    for (const Background &bg : backgrounds) {
        SCOPED_TRACE(bg.name);
        Backdrop backdrop(bg.color);
        auto main = mainWindow(QPoint(80, 70));
        ErrorViewController vc;
        auto bubble = NODEAttachedWindow::initWithView(&vc, QPointF(300, 200), main.get(), 3, 0.0);
        vc.setErrorStr(QStringLiteral("目标盘磁盘空间不足，请选择另一个盘。"));
        bubble->show();
        QCoreApplication::processEvents();
        // Frame and hosted view as the geometry rule gives them.
        EXPECT_EQ(bubble->size(), vc.size() + QSize(4, 4));
        EXPECT_EQ(bubble->geometry().size(), bubble->cocoaFrame().size().toSize());
        ASSERT_TRUE(WindowShadow::of(bubble.get()));
        EXPECT_EQ(WindowShadow::of(bubble.get())->geometry(), bubble->geometry().adjusted(-M, -M, M, M));

        const QImage img = pictureOf(bubble.get(), backdrop, bg.color);
        TestSupport::saveScreenshot(img, QStringLiteral("shadow_bubble_%1").arg(QLatin1String(bg.name)));
        expectShadowBelow(img, bg.color, bubble->width() / 2, bubble->height());
        EXPECT_EQ(img.pixelColor(2 * M + 5, 2 * M + bubble->height() / 2), QColor(33, 33, 33));
    }
}

TEST(WindowShadow, DropDownMenuCastsNone)
{
    Backdrop backdrop(backgrounds[0].color);
    auto main = mainWindow(QPoint(80, 70));
    QWidget view;
    view.resize(150, 64);
    auto menu = RMAAttachedWindow::initWithView(&view, QPointF(300, 137), main.get(), 3, 0.0, 0.8);
    menu->show();
    QCoreApplication::processEvents();
    EXPECT_FALSE(menu->windowHasShadow());
    EXPECT_EQ(WindowShadow::of(menu.get()), nullptr);
    const QImage img = pictureOf(menu.get(), backdrop, backgrounds[0].color);
    EXPECT_EQ(img.pixelColor(2 * M + 75, 2 * M + menu->height() + 3), backgrounds[0].color);
}

TEST(WindowShadow, FollowsItsWindow)
{
    Backdrop backdrop(backgrounds[0].color);
    auto main = mainWindow(QPoint(80, 70));
    WindowShadow *shadow = WindowShadow::of(main.get());
    ASSERT_TRUE(shadow);
    const int drawn = shadow->redraws();

    main->move(200, 150);
    EXPECT_EQ(shadow->geometry(), QRect(200 - M, 150 - M, 600 + 2 * M, 400 + 2 * M));
    EXPECT_EQ(shadow->redraws(), drawn); // a move draws nothing again

    const int blurs = WindowShadow::blurs();
    main->resize(700, 450);
    EXPECT_EQ(shadow->geometry(), QRect(200 - M, 150 - M, 700 + 2 * M, 450 + 2 * M));
    EXPECT_EQ(shadow->image().size(), shadow->size());
    QTest::qWait(30);
    // The same shape stretched: nothing drawn anew, then or while idle.
    EXPECT_EQ(shadow->redraws(), drawn);
    EXPECT_EQ(WindowShadow::blurs(), blurs);

    main->hide();
    EXPECT_FALSE(shadow->isVisible());
    main->show();
    EXPECT_TRUE(shadow->isVisible());
    main->showFullScreen();
    QCoreApplication::processEvents();
    EXPECT_FALSE(shadow->isVisible());
    main->showNormal();
    QCoreApplication::processEvents();
    EXPECT_TRUE(shadow->isVisible());

    // Faded with the window.
    main->setWindowOpacity(0.5);
    EXPECT_DOUBLE_EQ(shadow->windowOpacity(), main->windowOpacity());

    // Gone with the window.
    QPointer<WindowShadow> watch(shadow);
    main.reset();
    EXPECT_TRUE(watch.isNull());
}

TEST(WindowShadow, MarginTakesNoInput)
{
    Backdrop backdrop(backgrounds[0].color);
    auto main = mainWindow(QPoint(80, 70));
    WindowShadow *shadow = WindowShadow::of(main.get());
    ASSERT_TRUE(shadow);
    // The window system passes input in the margin on to what lies under it.
    ASSERT_TRUE(shadow->windowHandle());
    EXPECT_TRUE(shadow->windowHandle()->flags() & Qt::WindowTransparentForInput);
    EXPECT_TRUE(shadow->windowHandle()->flags() & Qt::WindowDoesNotAcceptFocus);
    EXPECT_TRUE(shadow->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_FALSE(shadow->isActiveWindow());
    // Where input reaches the margin all the same, a drag there moves nothing.
    const QPoint inMargin = shadow->mapFromGlobal(QPoint(380, 70 + 400 + M / 2));
    QTest::mousePress(shadow->windowHandle(), Qt::LeftButton, {}, inMargin);
    QTest::mouseMove(shadow->windowHandle(), inMargin + QPoint(40, 30));
    QTest::mouseRelease(shadow->windowHandle(), Qt::LeftButton, {}, inMargin + QPoint(40, 30));
    EXPECT_EQ(main->geometry(), QRect(80, 70, 600, 400));
    EXPECT_EQ(shadow->geometry(), QRect(80 - M, 70 - M, 600 + 2 * M, 400 + 2 * M));
    EXPECT_FALSE(shadow->isActiveWindow());
}

TEST(WindowShadow, SettingTheShadowOffTakesItAway)
{
    Backdrop backdrop(backgrounds[0].color);
    auto main = mainWindow(QPoint(80, 70));
    auto *panel = MainWindowPanel::show(new ConfirmationPanel, main.get());
    ASSERT_TRUE(panel);
    QCoreApplication::processEvents();
    ASSERT_TRUE(WindowShadow::of(panel));
    const QRect frame = panel->geometry();

    panel->setHasShadow(false);
    EXPECT_EQ(WindowShadow::of(panel), nullptr);
    EXPECT_EQ(panel->geometry(), frame);
    QImage img = pictureOf(panel, backdrop, backgrounds[0].color);
    EXPECT_EQ(img.pixelColor(2 * M + frame.width() / 2, 2 * M + frame.height() + 3), backgrounds[0].color);

    panel->setHasShadow(true);
    ASSERT_TRUE(WindowShadow::of(panel));
    EXPECT_TRUE(WindowShadow::of(panel)->isVisible());
    img = pictureOf(panel, backdrop, backgrounds[0].color);
    TestSupport::saveScreenshot(img, QStringLiteral("shadow_panel_light"));
    expectShadowBelow(img, backgrounds[0].color, frame.width() / 2, frame.height());

    main->setHasShadow(false);
    EXPECT_EQ(WindowShadow::of(main.get()), nullptr);
    EXPECT_FALSE(main->hasShadow());
    EXPECT_EQ(main->geometry(), QRect(80, 70, 600, 400));
    panel->close();
}

// A live resize takes the shadow along step by step without blurring
// anything, and the stretched shape is the shadow of the window's outline
// at that size.
TEST(WindowShadow, LiveResizeStretchesTheOutlinesShadow)
{
    const QColor bg = backgrounds[0].color;
    Backdrop backdrop(bg);
    auto main = mainWindow(QPoint(80, 70));
    WindowShadow *shadow = WindowShadow::of(main.get());
    ASSERT_TRUE(shadow);
    const int blurs = WindowShadow::blurs();
    for (int step = 1; step <= 40; ++step) {
        main->resize(600 + step * 9, 400 + step * 5);
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(WindowShadow::blurs(), blurs);
    EXPECT_EQ(shadow->geometry(), main->geometry().adjusted(-M, -M, M, M));
    const QImage img = pictureOf(main.get(), backdrop, bg);
    expectShadowBelow(img, bg, 480, 600);

    // The window's own outline, square at the bottom, blurred at this size.
    const double r = ZrImageWindow::FrameCornerRadius, w = main->width(), h = main->height();
    QPainterPath outline;
    outline.moveTo(0, h);
    outline.lineTo(0, r);
    outline.arcTo(QRectF(0, 0, 2 * r, 2 * r), 180, -90);
    outline.lineTo(w - r, 0);
    outline.arcTo(QRectF(w - 2 * r, 0, 2 * r, 2 * r), 90, -90);
    outline.lineTo(w, h);
    outline.closeSubpath();
    const QImage direct = WindowShadow::shadowImage(outline, main->size());
    const QImage stretched = shadow->image();
    ASSERT_EQ(direct.size(), stretched.size());
    int worst = 0;
    for (int y = 0; y < direct.height(); y += 3)
        for (int x = 0; x < direct.width(); x += 3)
            worst = std::max(worst, std::abs(qAlpha(direct.pixel(x, y)) - qAlpha(stretched.pixel(x, y))));
    EXPECT_LE(worst, 2);
}
