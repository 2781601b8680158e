#pragma once
// The window's own delegate for its whole life: it answers where sheets go
// itself and passes everything else on to the delegate the window's user set
// (not owned).
#include <QRectF>

class QWidget;
class ZrImageWindow;
class ZrImageWindowDelegate;

class ZrImageWindowDelegateProxy {
public:
    ZrImageWindowDelegate *secondaryDelegate() const { return m_secondaryDelegate; }
    void setSecondaryDelegate(ZrImageWindowDelegate *delegate) { m_secondaryDelegate = delegate; }

    // The rectangle a sheet opens from (bottom-left window coordinates), with
    // its y moved to the lower edge of the window's own title bar.
    QRectF windowWillPositionSheet(const ZrImageWindow *window, const QWidget *sheet, const QRectF &rect) const;

    bool windowShouldClose(ZrImageWindow *window) const;
    void windowWillClose(ZrImageWindow *window) const;
    void windowDidBecomeKey(ZrImageWindow *window) const;
    void windowDidResignKey(ZrImageWindow *window) const;
    void windowDidResize(ZrImageWindow *window) const;
    void windowDidMove(ZrImageWindow *window) const;

private:
    ZrImageWindowDelegate *m_secondaryDelegate = nullptr;
};
