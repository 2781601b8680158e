// The OS Clone page in the main window: its start button is unusable until a
// target is chosen, and it looks so from the first paint on.
#include <gtest/gtest.h>

#include "MainWindowController.h"
#include "SelectDrivceViewController.h"
#include "LeftButton.h"
#include "TextImageButton.h"
#include "ZrImageWindow.h"

#include "DiskWorldFixture.h"
#include "Dispatch.h"
#include "TestSupport.h"

#include <QLabel>
#include <QTest>

TEST(ClonePageFirstPaint, TheUnusableStartButtonPaintsItsGreyLabelBeforeAnyHover)
{
    TestSupport::DiskWorldFixture world;
    ASSERT_TRUE(world.ok()) << world.error().toStdString();
    {
        MainWindowController controller;
        controller.window()->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(controller.window()));
        QTest::mouseClick(controller.tab_bootable(), Qt::LeftButton);
        SelectDrivceViewController *page = controller.bootableVC();
        TestSupport::waitUntil([&] { return page->usedSize() != -1; });
        TextImageButton *button = page->cloneButton();
        ASSERT_FALSE(button->isButtonUsable());
        ASSERT_TRUE(button->textField());
        EXPECT_EQ(button->textField()->palette().color(QPalette::WindowText), QColor(128, 132, 136));
        // What the button draws over a transparent ground: no white text.
        QImage drawn(button->size(), QImage::Format_ARGB32_Premultiplied);
        drawn.fill(Qt::transparent);
        button->render(&drawn, QPoint(), QRegion(), QWidget::DrawChildren);
        int white = 0;
        for (int y = 0; y < drawn.height(); ++y)
            for (int x = 0; x < drawn.width(); ++x) {
                const QColor c = drawn.pixelColor(x, y);
                white += (c.alpha() > 200 && c.red() > 235 && c.green() > 235 && c.blue() > 235) ? 1 : 0;
            }
        EXPECT_EQ(white, 0);
        Platform::Dispatch::waitForGlobalQueue();
    }
    Platform::Dispatch::waitForGlobalQueue();
}
