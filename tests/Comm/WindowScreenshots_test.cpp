// Pictures of the windows as they draw, for looking at: the main window's
// frame, a panel, an error bubble, a drop-down menu.
#include <gtest/gtest.h>

#include "DropDownMenu.h"
#include "ErrorBubble.h"
#include "ErrorViewController.h"
#include "MainWindowPanel.h"
#include "NODEAttachedWindow.h"
#include "PanelHostedController.h"
#include "StatusAttachedWindow.h"
#include "TestSupport.h"
#include "ZrImageWindow.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

std::unique_ptr<ZrImageWindow> mainWindow()
{
    auto w = std::make_unique<ZrImageWindow>(QSize(1000, 628));
    w->setTitleBarHeight(48);
    w->setTrafficLightButtonsLeftMargin(16);
    w->setTopButtonMoveUp(-3);
    w->setBackgroundColor(Qt::white);
    auto *title = new QLabel(QStringLiteral("Tarnwick"), w->titleBarView());
    title->setGeometry(350, 14, 300, 20);
    title->setAlignment(Qt::AlignCenter);
    title->setStyleSheet(QStringLiteral("color: white; font-size: 18px; font-weight: bold;"));
    w->move(20, 20);
    w->show();
    QCoreApplication::processEvents();
    return w;
}

class ConfirmationPanel : public PanelHostedController {
public:
    ConfirmationPanel()
    {
        resize(420, 220);
        auto *text = new QLabel(QStringLiteral("确定要开始复制吗？"), this);
        text->setGeometry(0, 60, 420, 30);
        text->setAlignment(Qt::AlignCenter);
        text->setStyleSheet(QStringLiteral("color: white; font-size: 16px;"));
        auto *ok = new QPushButton(QStringLiteral("确定"), this);
        ok->setGeometry(230, 150, 120, 32);
        auto *cancel = new QPushButton(QStringLiteral("取消"), this);
        cancel->setGeometry(70, 150, 120, 32);
    }
};

class MenuView : public QWidget {
public:
    MenuView()
    {
        resize(150, 64);
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(10, 6, 10, 6);
        for (const QString &t : {QStringLiteral("复制全部文件"), QStringLiteral("复制部分文件")}) {
            auto *l = new QLabel(t, this);
            l->setStyleSheet(QStringLiteral("color: white; font-size: 13px;"));
            layout->addWidget(l);
        }
    }
};

bool hasOpaqueDarkPixel(const QImage &img)
{
    for (int y = 0; y < img.height(); y += 3)
        for (int x = 0; x < img.width(); x += 3) {
            const QColor c = img.pixelColor(x, y);
            if (c.alpha() == 255 && c.red() < 60)
                return true;
        }
    return false;
}

} // namespace

TEST(WindowScreenshots, MainWindowFrame)
{
    auto main = mainWindow();
    const QImage img = QImage(TestSupport::saveScreenshot(main.get(), QStringLiteral("window_main_frame")));
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.pixelColor(800, 25), QColor(38, 38, 38)); // the bar
    EXPECT_EQ(img.pixelColor(500, 300), QColor(Qt::white)); // the content
    EXPECT_EQ(img.pixelColor(0, 0).alpha(), 0);             // rounded top corner
}

TEST(WindowScreenshots, Panel)
{
    auto main = mainWindow();
    auto *panel = MainWindowPanel::show(new ConfirmationPanel, main.get());
    ASSERT_TRUE(panel);
    const QImage img = QImage(TestSupport::saveScreenshot(panel, QStringLiteral("window_panel")));
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), QSize(420, 220));
    EXPECT_TRUE(hasOpaqueDarkPixel(img));
    panel->close();
}

TEST(WindowScreenshots, ErrorBubble)
{
    auto main = mainWindow();
    ErrorViewController vc;
    auto bubble = NODEAttachedWindow::initWithView(&vc, QPointF(446, 223), main.get(), 3, 0.0);
    vc.setErrorStr(QStringLiteral("目标盘磁盘空间不足，请选择另一个盘。"));
    bubble->show();
    const QImage img = QImage(TestSupport::saveScreenshot(bubble.get(), QStringLiteral("window_error_bubble")));
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), vc.size() + QSize(4, 4));
    EXPECT_EQ(img.pixelColor(5, img.height() / 2), QColor(33, 33, 33));
}

TEST(WindowScreenshots, DropDownMenu)
{
    auto main = mainWindow();
    MenuView view;
    auto menu = RMAAttachedWindow::initWithView(&view, QPointF(443, 137), main.get(), 3, 0.0, 0.8);
    menu->show();
    const QImage img = QImage(TestSupport::saveScreenshot(menu.get(), QStringLiteral("window_dropdown_menu")));
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), QSize(154, 68));
    EXPECT_TRUE(hasOpaqueDarkPixel(img));
}
