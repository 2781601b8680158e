// The Disk Image page's look: its content stands on the light panel the Disk
// Copy page has, so its texts read on the dark main window.
#include "DmgViewController.h"

#include "TestSupport.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>

namespace {

double luminance(const QColor &c)
{
    auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace

TEST(DmgPageLook, TextsStandOnTheLightPanelOfTheDiskCopyPage)
{
    // The main window's tab container is dark.
    QWidget host;
    host.setAutoFillBackground(true);
    QPalette p = host.palette();
    p.setColor(QPalette::Window, QColor(55, 55, 55));
    host.setPalette(p);
    host.resize(970, 632);
    DmgViewController page(&host);
    page.resize(970, 632);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    const QImage shot(TestSupport::saveScreenshot(&host, QStringLiteral("dmgpage_look")));
    ASSERT_FALSE(shot.isNull());
    const qreal dpr = shot.devicePixelRatio();
    const QColor text(79, 81, 82);
    for (QWidget *w : {static_cast<QWidget *>(page.findChild<QLabel *>(QStringLiteral("topLabel"))),
                       static_cast<QWidget *>(page.findChild<QLabel *>(QStringLiteral("formatLabel"))),
                       static_cast<QWidget *>(page.makeDmgBut()), static_cast<QWidget *>(page.makeZipBut())}) {
        ASSERT_TRUE(w);
        // Just inside the widget's top-right corner, where no text is.
        const QPoint corner = w->mapTo(&host, QPoint(w->width() - 2, 1));
        const QColor behind = shot.pixelColor(int(corner.x() * dpr), int(corner.y() * dpr));
        EXPECT_GE(contrast(text, behind), 4.5) << w->objectName().toStdString() << " stands on " << behind.red() << ","
                                               << behind.green() << "," << behind.blue();
    }
}
