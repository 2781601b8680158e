#include "AppWindowFrame.h"

#include "ZrImageWindow.h"

#include <QGuiApplication>
#include <QScreen>

namespace AppWindowFrame {

std::unique_ptr<ZrImageWindow> windowWithContent(QWidget *content, double barHeight)
{
    const QRectF frame(0, 0, content->width(), content->height() + barHeight);
    auto window = std::make_unique<ZrImageWindow>(ZrImageWindow::contentRectForFrameRect(frame).size().toSize());
    window->setTitle(content->windowTitle());
    window->setContentView(content);
    return window;
}

void center(QWidget *window)
{
    const QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    window->move(area.x() + (area.width() - window->width()) / 2, area.y() + (area.height() - window->height()) / 2);
}

} // namespace AppWindowFrame
