#include "QoImage.h"

#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QMutex>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include "Bundle.h"

struct QoImage::Data {
    QString name;
    QString path;
    QSizeF size;
    std::unique_ptr<QSvgRenderer> svg; // null for a bitmap
    QImage bitmap;
};

namespace {

QMutex &cacheMutex()
{
    static QMutex mutex;
    return mutex;
}

// Keyed by the full file path, so a test that moves the main bundle never
// sees an image of the old one.
QHash<QString, std::shared_ptr<void>> &cache()
{
    static QHash<QString, std::shared_ptr<void>> images;
    return images;
}

QString resolve(const QString &name)
{
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) ||
        name == QLatin1String(".") || name == QLatin1String(".."))
        return {};
    const QString folder = Platform::Bundle::mainBundle().resourcePath() + QLatin1Char('/');
    const QString suffix = QFileInfo(name).suffix().toLower();
    if (suffix == QLatin1String("svg") || suffix == QLatin1String("png")) {
        if (QFileInfo(folder + name).isFile())
            return folder + name;
    }
    for (const char *ext : {".svg", ".png"}) {
        const QString candidate = folder + name + QLatin1String(ext);
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    return {};
}

} // namespace

QoImage QoImage::named(const QString &name)
{
    const QString path = resolve(name);
    if (path.isEmpty())
        return {};
    if (QoImage cached = fromCache(path); !cached.isNull())
        return cached;

    auto data = std::make_shared<Data>();
    data->name = name;
    data->path = path;
    if (path.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)) {
        auto renderer = std::make_unique<QSvgRenderer>(path);
        if (!renderer->isValid())
            return {};
        const QSize declared = renderer->defaultSize();
        data->size = declared.isEmpty() ? renderer->viewBoxF().size() : QSizeF(declared);
        data->svg = std::move(renderer);
    } else {
        QImage bitmap(path);
        if (bitmap.isNull())
            return {};
        data->size = QSizeF(bitmap.size()) / bitmap.devicePixelRatio();
        data->bitmap = bitmap;
    }
    remember(path, data);
    return QoImage(data);
}

QoImage QoImage::fromCache(const QString &path)
{
    QMutexLocker lock(&cacheMutex());
    return QoImage(std::static_pointer_cast<Data>(cache().value(path)));
}

void QoImage::remember(const QString &path, const std::shared_ptr<Data> &data)
{
    QMutexLocker lock(&cacheMutex());
    cache().insert(path, data);
}

void QoImage::clearCache()
{
    QMutexLocker lock(&cacheMutex());
    cache().clear();
}

QString QoImage::name() const { return d ? d->name : QString(); }

QSizeF QoImage::size() const { return d ? d->size : QSizeF(0, 0); }

void QoImage::draw(QPainter &painter, const QRectF &dst) const
{
    if (!d || dst.isEmpty())
        return;
    if (d->svg)
        d->svg->render(&painter, dst);
    else
        painter.drawImage(dst, d->bitmap);
}

void QoImage::draw(QPainter &painter, const QRectF &dst, const QRectF &src) const
{
    if (!d || dst.isEmpty() || src.isEmpty())
        return;
    if (src == QRectF(QPointF(0, 0), d->size)) {
        draw(painter, dst);
        return;
    }
    // Draw the whole image scaled so that `src` lands on `dst`, clipped to `dst`.
    const qreal sx = dst.width() / src.width();
    const qreal sy = dst.height() / src.height();
    const QRectF whole(dst.x() - src.x() * sx, dst.y() - src.y() * sy, d->size.width() * sx, d->size.height() * sy);
    painter.save();
    painter.setClipRect(dst, Qt::IntersectClip);
    draw(painter, whole);
    painter.restore();
}

QImage QoImage::toImage(qreal scale) const
{
    if (!d)
        return {};
    const QSize pixels = (d->size * scale).toSize().expandedTo(QSize(1, 1));
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    draw(painter, QRectF(QPointF(0, 0), QSizeF(pixels)));
    return image;
}

QPixmap QoImage::pixmap(const QSize &size, qreal devicePixelRatio) const
{
    if (!d || size.isEmpty())
        return {};
    QPixmap pixmap(size * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    draw(painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return pixmap;
}
