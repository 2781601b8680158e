#pragma once
// The shadow a frameless window casts on what lies under it: a soft dark
// edge that follows the window's outline, a little lower than the window. A
// see-through window of its own draws it, reaching `Margin` points beyond
// the window on every side: the window's own geometry stays its frame, and
// its content, mouse handling and pictures are those of a window without
// shadow.
//
// The shadow window takes no input (the pointer reaches what lies under
// it), is no window of the window manager's (never listed, never stacked by
// it) and lies directly below its window in the window system's stacking,
// whatever raised or restacked either. It follows its window: shown and
// hidden with it (not while the window is minimised, maximised or full
// screen), moved and resized with it, faded with it.
//
// It is drawn from the outline the window reports (ShadowCaster), never
// from a picture of its content: a rectangle with rounded corners is one
// small blurred shape made once per process and stretched to every size, so
// a live resize blurs nothing; any other outline is blurred once per shape
// and size and kept. It is only made where the platform blends see-through
// windows (Platform::WindowCompositing): elsewhere its transparent margin
// would show as a black frame.
#include <QImage>
#include <QPainterPath>
#include <QPointer>
#include <QWidget>
#include <variant>

// What a window with a shadow tells it about its shape.
class ShadowCaster {
public:
    // A rectangle the size of the window with round corners of these radii.
    struct RoundedRect {
        double topRadius = 0;
        double bottomRadius = 0;
    };
    using Outline = std::variant<RoundedRect, QPainterPath>;

    virtual ~ShadowCaster() = default;
    // The outline in the window's own (top-left) coordinates, as it is now;
    // a path for any shape other than a rounded rectangle.
    virtual Outline shadowOutline() const = 0;
};

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
    // `window` has a new outline: its shadow is drawn again (soon when shown,
    // else when next shown).
    static void invalidate(const QWidget *window);

    // The shadow around a window of `size` with `outline` (its size plus
    // Margin on every side; the window's own area cut out).
    static QImage shadowImage(const ShadowCaster::Outline &outline, const QSize &size);
    // How many outlines the process has blurred so far.
    static int blurs();

    QWidget *shadowedWindow() const { return m_window; }
    // The shadow as it is drawn now.
    QImage image() const;
    // How many times the shadow took a new shape from its window.
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
    void draw(QPainter &p) const;

    QPointer<QWidget> m_window;
    ShadowCaster::Outline m_outline;
    // A stretched rounded rectangle: the shape made for the smallest window
    // of those radii; any other outline: the whole shadow of this size.
    QImage m_image;
    bool m_stretched = false;
    bool m_dirty = true;
    bool m_redrawPosted = false;
    int m_redraws = 0;
    QMetaObject::Connection m_opacityConnection;
};
