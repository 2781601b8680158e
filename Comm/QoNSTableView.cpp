#include "QoNSTableView.h"

#include <QKeyEvent>
#include <QLabel>
#include <QTimer>

#include "Clock.h"
#include "CustomHeaderView.h"
#include "NotificationCenter.h"
#include "QoImage.h"

namespace {
const QString SpacePreviewFile = QStringLiteral("SpacePreviewFile");
}

QoNSTableView::QoNSTableView(QWidget *parent) : QTableView(parent) { _setupHeaderCell(); }

void QoNSTableView::_setupHeaderCell() { CustomHeaderView::replaceHeader(this, 20); }

void QoNSTableView::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Space) {
        Platform::NotificationCenter::defaultCenter().post(SpacePreviewFile);
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void QoNSTableView::pressureChangeWithEvent(int eventType, int stage)
{
    if (eventType != PressureEventType || stage != ForceClickStage || _isClicking)
        return;
    _isClicking = true;
    Platform::NotificationCenter::defaultCenter().post(SpacePreviewFile);
    QTimer::singleShot(Platform::Clock::realMs(1.0), this, [this] { mouseUp(); });
}

void QoNSTableView::mouseUp() { _isClicking = false; }

void QoNSTableView::mouseReleaseEvent(QMouseEvent *event)
{
    mouseUp();
    // Unlike the original table, whose own tracking took the button-up before
    // this handler saw it, a Qt view selects and reports clicks here.
    QTableView::mouseReleaseEvent(event);
}

void QoNSTableView::changeNoValue(const QString &message)
{
    if (message.isEmpty()) {
        if (_noValueView)
            _noValueView->hide();
        return;
    }
    if (!_noValueView) {
        _noValueView = new QWidget(this);
        _noValueView->setAttribute(Qt::WA_TransparentForMouseEvents);
        _nodeView = new QLabel(_noValueView);
        auto *picture = static_cast<QLabel *>(_nodeView.data());
        picture->setPixmap(QoImage::named(QStringLiteral("bg_150")).pixmap(QSize(150, 150)));
        picture->setGeometry(75, 0, 150, 150);
        auto *arrow = new QLabel(_noValueView);
        arrow->setPixmap(QoImage::named(QStringLiteral("arrow")).pixmap(QSize(40, 40)));
        arrow->setGeometry(130, 160, 40, 40);
        _noValueLabel = new QLabel(_noValueView);
        QFont font = _noValueLabel->font();
        font.setPixelSize(14);
        _noValueLabel->setFont(font);
        _noValueLabel->setAlignment(Qt::AlignCenter);
        QPalette palette = _noValueLabel->palette();
        palette.setColor(QPalette::WindowText, QColor(128, 132, 136));
        _noValueLabel->setPalette(palette);
        _noValueLabel->setGeometry(0, 210, 300, 20);
        _noValueView->resize(300, 230);
    }
    _noValueLabel->setText(message);
    _noValueView->show();
    _noValueView->raise();
    changeFrame();
}

void QoNSTableView::changeFrame()
{
    if (!_noValueView)
        return;
    const QSize size = _noValueView->size();
    _noValueView->move((width() - size.width()) / 2, (height() - size.height()) / 2);
}

void QoNSTableView::resizeEvent(QResizeEvent *event)
{
    QTableView::resizeEvent(event);
    changeFrame();
}
