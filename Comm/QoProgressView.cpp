#include "QoProgressView.h"

#include "BgProgressView.h"
#include "CocoaGeometry.h"
#include "NSProgressBar.h"
#include "UsedBar.h"

QoProgressView::QoProgressView(QWidget *parent)
    : QWidget(parent), _bg(new BgProgressView(this)), _pProgress1(new NSProgressBar(this))
{
    placeParts();
}

void QoProgressView::placeParts()
{
    // Both parts sit on the bar's bottom edge.
    _bg->setGeometry(CocoaGeometry::toQt(QRectF(0, 0, 436, 22), height()).toRect());
    _pProgress1->setGeometry(CocoaGeometry::toQt(QRectF(0, 0, _used, 22), height()).toRect());
}

void QoProgressView::changeProgressValue(float percent)
{
    _used = UsedBar::usedWidth(float(geometry().width()), percent);
    _pProgress1->setGeometry(CocoaGeometry::toQt(QRectF(0, 0, _used, 22), height()).toRect());
    _pProgress1->update();
}

void QoProgressView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeParts();
}
