#pragma once
#include "AttachedWindow.h"

// The plain white bubble.
class MAAttachedWindow : public AttachedWindow<QWidget>, public AttachedWindowFactory<MAAttachedWindow> {
public:
    using AttachedWindowFactory<MAAttachedWindow>::initWithView;
    static std::unique_ptr<MAAttachedWindow> initWithView(QWidget *view, const QPointF &point, QWidget *window,
                                                          int side, double distance);
    static AttachedWindowDefaults defaults();

private:
    friend class AttachedWindowFactory<MAAttachedWindow>;
    MAAttachedWindow(QWidget *view, const QPointF &point, QWidget *window, int side, float distance);
    static std::unique_ptr<MAAttachedWindow> designated(QWidget *view, const QPointF &point, QWidget *window, int side,
                                                        double distance)
    {
        return initWithView(view, point, window, side, distance);
    }
};
