#pragma once
#include "AttachedWindow.h"
#include "RMAAttachedWindowDelegate.h"

// The drop-down menu window. Its designated form takes one more number, a
// background alpha, which it does not use.
class RMAAttachedWindow : public AttachedWindow<QWidget>, public AttachedWindowFactory<RMAAttachedWindow> {
public:
    using AttachedWindowFactory<RMAAttachedWindow>::initWithView;
    static std::unique_ptr<RMAAttachedWindow> initWithView(QWidget *view, const QPointF &point, QWidget *window,
                                                           int side, double distance, double withWindowBgAlpha);
    static AttachedWindowDefaults defaults();

    RMAAttachedWindowDelegate *mattachedWDelegate() const { return m_delegate; }
    void setMattachedWDelegate(RMAAttachedWindowDelegate *delegate) { m_delegate = delegate; }

protected:
    void windowDidResignKey() override;

private:
    friend class AttachedWindowFactory<RMAAttachedWindow>;
    RMAAttachedWindow(QWidget *view, const QPointF &point, QWidget *window, int side, float distance);
    static std::unique_ptr<RMAAttachedWindow> designated(QWidget *view, const QPointF &point, QWidget *window, int side,
                                                         double distance)
    {
        return initWithView(view, point, window, side, distance, 0);
    }

    RMAAttachedWindowDelegate *m_delegate = nullptr;
};
