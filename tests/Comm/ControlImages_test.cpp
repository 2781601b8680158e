// The image loader and the image set of the bundle.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QSet>

#include "Bundle.h"
#include "QoImage.h"
#include "QoImageSet.h"
#include "TestSupport.h"

namespace {

TEST(ImageLoader, EveryNameTheProgramUsesLoads)
{
    const QStringList names = QoImageSet::names();
    EXPECT_EQ(QSet<QString>(names.begin(), names.end()).size(), names.size()) << "a name is listed twice";
    for (const QString &name : names) {
        const QoImage image = QoImage::named(name);
        EXPECT_FALSE(image.isNull()) << name.toStdString();
        EXPECT_GT(image.size().width(), 0) << name.toStdString();
        EXPECT_GT(image.size().height(), 0) << name.toStdString();
        EXPECT_TRUE(QFileInfo(Platform::Bundle::mainBundle().resourcePath() + "/" + name + ".svg").isFile())
            << name.toStdString() << " is not installed in the bundle";
    }
}

TEST(ImageLoader, EveryDrawingInTheSourceIsAListedName)
{
    const QStringList names = QoImageSet::names();
    const QSet<QString> listed(names.begin(), names.end());
    const QDir images(QStringLiteral(TARNWICK_SOURCE_DIR "/Resources/images"));
    for (const QFileInfo &file : images.entryInfoList(QDir::Files))
        EXPECT_TRUE(listed.contains(file.completeBaseName())) << file.fileName().toStdString();
}

TEST(ImageLoader, MissingNameGivesANullImageThatDrawsNothing)
{
    for (const QString &name : {QStringLiteral("no_such_image"), QString(), QStringLiteral("tools/diskutil"),
                                QStringLiteral("../Info"), QStringLiteral("..")}) {
        const QoImage image = QoImage::named(name);
        EXPECT_TRUE(image.isNull()) << name.toStdString();
        EXPECT_EQ(image.size(), QSizeF(0, 0));
        EXPECT_TRUE(image.pixmap(QSize(10, 10)).isNull());
        EXPECT_TRUE(image.toImage().isNull());
        QImage canvas(10, 10, QImage::Format_ARGB32);
        canvas.fill(Qt::transparent);
        QPainter painter(&canvas);
        image.draw(painter, QRectF(0, 0, 10, 10));
        painter.end();
        EXPECT_EQ(canvas.pixelColor(5, 5).alpha(), 0);
    }
}

TEST(ImageLoader, NameWithItsExtensionAndRepeatedLookUps)
{
    const QoImage plain = QoImage::named(QStringLiteral("btn_pri"));
    const QoImage withExtension = QoImage::named(QStringLiteral("btn_pri.svg"));
    EXPECT_EQ(plain, withExtension); // one shared image
    EXPECT_EQ(plain.size(), QSizeF(140, 40));
    EXPECT_EQ(plain.name(), QStringLiteral("btn_pri"));
}

TEST(ImageLoader, DrawsAPartScaledIntoItsRectangle)
{
    // The right half of a button drawn alone fills the whole target.
    const QoImage image = QoImage::named(QStringLiteral("btn_pri"));
    QImage canvas(70, 40, QImage::Format_ARGB32);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    image.draw(painter, QRectF(0, 0, 70, 40), QRectF(70, 0, 70, 40));
    painter.end();
    EXPECT_EQ(canvas.pixelColor(5, 20), QColor(2, 125, 255)); // the left edge of the right half is inside the button
    EXPECT_LT(canvas.pixelColor(69, 1).alpha(), 255);         // the rounded top-right corner
}

TEST(ImageLoader, RendersAtAnyScale)
{
    const QoImage image = QoImage::named(QStringLiteral("checkbox_sel"));
    EXPECT_EQ(image.toImage().size(), QSize(16, 16));
    EXPECT_EQ(image.toImage(2).size(), QSize(32, 32));
    EXPECT_EQ(image.pixmap(QSize(20, 20), 2).size(), QSize(40, 40));
}

} // namespace
