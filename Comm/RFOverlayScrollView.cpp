#include "RFOverlayScrollView.h"

#include <QAbstractItemView>
#include <QHeaderView>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableView>
#include <QTreeView>

#include "RFOverlayScroller.h"

RFOverlayScrollView::RFOverlayScrollView(QWidget *parent) : QWidget(parent), _scroller(new RFOverlayScroller(this))
{
    _scroller->hide();
}

void RFOverlayScrollView::setDocumentView(QWidget *content)
{
    if (_clip) {
        QScrollBar *oldBar = _clip->verticalScrollBar();
        disconnect(oldBar, nullptr, _scroller, nullptr);
        disconnect(_scroller, nullptr, oldBar, nullptr);
    }
    // Our own wrapper goes, with the previous content inside it.
    if (_wrapper && _wrapper->widget() == content)
        _wrapper->takeWidget();
    delete _wrapper;
    _document = content;
    _clip = nullptr;
    if (!content) {
        _headerOffset = 0;
        _scroller->hide();
        tile();
        return;
    }
    if (auto *area = qobject_cast<QAbstractScrollArea *>(content)) {
        area->setParent(this);
        _clip = area;
    } else {
        auto *wrapper = new QScrollArea(this);
        wrapper->setFrameShape(QFrame::NoFrame);
        wrapper->setWidgetResizable(true);
        wrapper->setWidget(content);
        _wrapper = wrapper;
        _clip = wrapper;
    }
    _clip->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    _clip->show();
    followContentBar();
    _headerOffset = tableHeaderOffsetFromSuperview();
    tile();
}

void RFOverlayScrollView::followContentBar()
{
    QScrollBar *bar = _clip->verticalScrollBar();
    const auto syncRange = [this, bar] {
        _scroller->setRange(bar->minimum(), bar->maximum());
        _scroller->setPageStep(bar->pageStep());
        _scroller->setSingleStep(bar->singleStep());
        _scroller->setVisible(bar->maximum() > bar->minimum());
    };
    connect(bar, &QScrollBar::rangeChanged, _scroller, syncRange);
    connect(bar, &QScrollBar::valueChanged, _scroller, [this](int v) {
        if (_scroller->value() != v)
            _scroller->setValue(v);
    });
    connect(_scroller, &QScrollBar::valueChanged, bar, [bar](int v) {
        if (bar->value() != v)
            bar->setValue(v);
    });
    syncRange();
    _scroller->setValue(bar->value());
}

int RFOverlayScrollView::tableHeaderOffsetFromSuperview() const
{
    QHeaderView *header = nullptr;
    if (auto *table = qobject_cast<QTableView *>(_clip.data()))
        header = table->horizontalHeader();
    else if (auto *outline = qobject_cast<QTreeView *>(_clip.data()))
        header = outline->header();
    if (!header || header->isHidden())
        return 0;
    if (header->minimumHeight() == header->maximumHeight())
        return header->maximumHeight();
    return header->sizeHint().height();
}

void RFOverlayScrollView::setHeaderOffset(int offset)
{
    _headerOffset = offset;
    tile();
}

void RFOverlayScrollView::tile()
{
    if (_clip)
        _clip->setGeometry(rect());
    const int w = RFOverlayScroller::scrollerWidth();
    _scroller->setGeometry(width() - w, _headerOffset, w, std::max(0, height() - _headerOffset));
    for (QObject *child : children()) {
        if (auto *scroller = qobject_cast<RFOverlayScroller *>(child))
            scroller->raise();
    }
}

void RFOverlayScrollView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    tile();
}
