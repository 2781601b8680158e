#include "WindowImage.h"

#include "QoImage.h"

#include <QImage>

QPixmap windowImageNamed(const QString &name, const QSize &size, qreal devicePixelRatio)
{
    const QoImage image = QoImage::named(name);
    if (image.isNull())
        return QPixmap();
    if (size.isEmpty())
        return QPixmap::fromImage(image.toImage());
    return image.pixmap(size, devicePixelRatio);
}
