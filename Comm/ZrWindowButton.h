#pragma once
// An image button that can stand in for a standard window button of a
// ZrImageWindow. Buttons of one group share a rollover state. The pointer
// counts as over the button up to 4 points outside its edge.
#include <QAbstractButton>
#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QWindow>

class ZrWindowButtonGroup;

class ZrWindowButton : public QAbstractButton {
    Q_OBJECT
public:
    // A button of `size` in the group `groupIdentifier` (empty: the default group).
    static ZrWindowButton *windowButtonWithSize(const QSize &size, const QString &groupIdentifier,
                                                QWidget *parent = nullptr);
    ZrWindowButton(const QSize &size, const QString &groupIdentifier, QWidget *parent = nullptr);
    ~ZrWindowButton() override;

    QString groupIdentifier() const { return m_groupIdentifier; }
    ZrWindowButtonGroup *group() const;

    QPixmap activeImage() const { return m_activeImage; }
    void setActiveImage(const QPixmap &image) { m_activeImage = image; }
    QPixmap activeNotKeyWindowImage() const { return m_activeNotKeyWindowImage; }
    void setActiveNotKeyWindowImage(const QPixmap &image) { m_activeNotKeyWindowImage = image; }
    QPixmap inactiveImage() const { return m_inactiveImage; }
    void setInactiveImage(const QPixmap &image) { m_inactiveImage = image; }
    QPixmap rolloverImage() const { return m_rolloverImage; }
    void setRolloverImage(const QPixmap &image) { m_rolloverImage = image; }
    // Shown while the button is held down.
    QPixmap pressedImage() const { return m_alternateImage; }
    void setPressedImage(const QPixmap &image) { m_alternateImage = image; }
    // The image the button shows now (when not held down).
    QPixmap image() const { return m_image; }

    // setEnabled() (QWidget's, through any pointer) shows the active image
    // when enabled and the inactive one when not.

    // Disabled: the inactive image; enabled: the active image in the key
    // window, else the not-key image.
    void updateImage();
    void updateActiveImage();
    // The rollover image while the group shows rollover and the button is
    // enabled; else the image rule.
    void updateRollOverImage();
    void windowDidChangeFocus() { updateImage(); }

    void updateTrackingAreas();
    // The pointer area in the button's coordinates.
    QRect mouseTrackingArea() const { return m_trackingArea; }
    void mouseEntered();
    void mouseExited();
    // After a live resize of the window: the group's rollover count is reset
    // and taken again from where the pointer is now.
    void viewDidEndLiveResize();
    // How long the window's size must stay still for a resize to have ended.
    static constexpr double LiveResizeSettleSeconds = 0.3;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void viewWillMoveToWindow(QWidget *window);
    void viewDidMoveToWindow();
    void setImage(const QPixmap &image);

    QString m_groupIdentifier;
    QPixmap m_activeImage;
    QPixmap m_activeNotKeyWindowImage;
    QPixmap m_inactiveImage;
    QPixmap m_rolloverImage;
    QPixmap m_alternateImage;
    QPixmap m_image;
    QRect m_trackingArea;
    bool m_pointerInside = false;
    QPointer<QWidget> m_window;
    QPointer<QWindow> m_windowHandle;
    QTimer m_liveResizeEnd;
};
