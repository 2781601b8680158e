#pragma once
#include <QMetaType>
#include <QSizeF>
#include <QString>
#include <memory>

class QImage;
class QPainter;
class QPixmap;
class QRectF;
class QSize;

// An image of the application bundle's resources, found by its name the way
// the views ask for it ("btn_pri", "ic_usb_main", "popWBg" ...). Our images are
// SVG drawings (a PNG of the same name is taken when there is no SVG), so they
// draw sharp at any size. A name with no such file gives a null image, and a
// null image draws nothing: every caller treats that as "this state has no
// picture".
//
// Images are shared, cheap to copy, and meant for the main thread.
class QoImage {
public:
    QoImage() = default;

    // Looks the name up in Platform::Bundle::mainBundle().resourcePath().
    // The name may carry its extension ("arrow.svg"); names holding a path
    // separator are never looked up.
    static QoImage named(const QString &name);
    // Drops every image loaded so far (a test that points the main bundle
    // elsewhere calls this).
    static void clearCache();

    bool isNull() const { return !d; }
    QString name() const;
    // The drawing's own size in points; (0, 0) for a null image.
    QSizeF size() const;

    // Draws the whole image scaled into `dst`.
    void draw(QPainter &painter, const QRectF &dst) const;
    // Draws the part `src` of the image (in the image's own points, origin at
    // its top-left corner) scaled into `dst`.
    void draw(QPainter &painter, const QRectF &dst, const QRectF &src) const;

    // The image rendered at its own size times `scale`.
    QImage toImage(qreal scale = 1.0) const;
    // The image rendered to fill `size` (in points) at the given pixel ratio.
    QPixmap pixmap(const QSize &size, qreal devicePixelRatio = 1.0) const;

    bool operator==(const QoImage &other) const { return d == other.d; }
    bool operator!=(const QoImage &other) const { return d != other.d; }

private:
    struct Data;
    static QoImage fromCache(const QString &path);
    static void remember(const QString &path, const std::shared_ptr<Data> &data);
    explicit QoImage(std::shared_ptr<Data> data) : d(std::move(data)) {}
    std::shared_ptr<Data> d;
};

Q_DECLARE_METATYPE(QoImage)
