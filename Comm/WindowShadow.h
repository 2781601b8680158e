#pragma once
// The shadow a frameless window casts on what lies under it: a soft dark
// edge that follows the outline the window draws (wherever its pixels are
// opaque), a little lower than the window. A see-through window of its own
// draws it, reaching `Margin` points beyond the window on every side and
// taking no input: the window's own geometry stays its frame, and its
// content, mouse handling and pictures are those of a window without shadow.
//
// The shadow follows its window: shown and hidden with it (not while the
// window is minimised, maximised or full screen), moved and resized with
// it, faded with it, and drawn again when the window's size changes or the
// window reports a new outline. It is only made where the platform blends
// see-through windows (Platform::WindowCompositing): elsewhere its
// transparent margin would show as a black frame.
#include <QImage>
#include <QPointer>
#include <QWidget>

class WindowShadow : public QWidget {
public:
    static constexpr int Margin = 24;
    static constexpr double BlurRadius = 24;
    static constexpr double OffsetY = 3;
    static constexpr int Alpha = 160;

    // Gives `window` its shadow or takes it away: the one switch every
    // window class goes through.
    static void setWindowHasShadow(QWidget *window, bool on);
    // The shadow of `window`, or null when it has none.
    static WindowShadow *of(const QWidget *window);
    // `window` drew a new outline: its shadow is drawn again (soon when shown,
    // else when next shown).
    static void invalidate(const QWidget *window);

    // The shadow around a window's picture (its size plus Margin on every
    // side; the window's own opaque area cut out).
    static QImage shadowImage(const QImage &window);

    QWidget *shadowedWindow() const { return m_window; }
    const QImage &image() const { return m_image; }
    // How many times the shadow was drawn from its window.
    int redraws() const { return m_redraws; }

    ~WindowShadow() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    explicit WindowShadow(QWidget *window);
    void follow();
    void redraw();
    void scheduleRedraw();

    QPointer<QWidget> m_window;
    QImage m_image;
    bool m_dirty = true;
    bool m_redrawPosted = false;
    int m_redraws = 0;
    QMetaObject::Connection m_opacityConnection;
};
