#pragma once
// Named images of the window classes (title-bar buttons, panel backgrounds):
// looked up among the bundle's resources by name. A missing image gives a
// null pixmap, never a failure.
#include <QPixmap>
#include <QSize>
#include <QString>

// `size` is used for drawn (SVG) images; an empty size keeps their own size.
QPixmap windowImageNamed(const QString &name, const QSize &size = QSize(), qreal devicePixelRatio = 1.0);
