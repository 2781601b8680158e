#pragma once
#include "AttachedWindow.h"

// The error bubble beside a source or target card.
class NODEAttachedWindow : public AttachedWindow<QWidget>, public AttachedWindowFactory<NODEAttachedWindow> {
public:
    using AttachedWindowFactory<NODEAttachedWindow>::initWithView;
    static std::unique_ptr<NODEAttachedWindow> initWithView(QWidget *view, const QPointF &point, QWidget *window,
                                                            int side, double distance);
    static AttachedWindowDefaults defaults();

private:
    friend class AttachedWindowFactory<NODEAttachedWindow>;
    NODEAttachedWindow(QWidget *view, const QPointF &point, QWidget *window, int side, float distance);
    static std::unique_ptr<NODEAttachedWindow> designated(QWidget *view, const QPointF &point, QWidget *window,
                                                          int side, double distance)
    {
        return initWithView(view, point, window, side, distance);
    }
};
