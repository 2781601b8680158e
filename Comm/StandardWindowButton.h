#pragma once
// The window's standard buttons (close, minimise, zoom: round coloured
// buttons; full screen: a pair of arrows at the other end of the strip),
// placed by the window itself, as the platform does with its own.
#include <QAbstractButton>

class StandardWindowButton : public QAbstractButton {
    Q_OBJECT
public:
    // Button kinds, numbered as the platform numbers them.
    enum Kind { CloseButton = 0, MiniaturizeButton = 1, ZoomButton = 2, FullScreenButton = 7 };
    static constexpr int Width = 14;
    static constexpr int Height = 16;

    explicit StandardWindowButton(Kind kind, QWidget *parent = nullptr);
    Kind kind() const { return m_kind; }

    QSize sizeHint() const override { return QSize(Width, Height); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    Kind m_kind;
    bool m_hover = false;
};
