#pragma once
// A borderless, see-through window that can be moved by its background and
// casts a shadow (WindowShadow); the base of the panel laid over the main
// window.
#include <QWidget>

class PopBaseWindow : public QWidget {
public:
    explicit PopBaseWindow(QWidget *parent = nullptr, Qt::WindowFlags flags = {});

    bool canBecomeKeyWindow() const { return true; }
    virtual bool canBecomeMainWindow() const { return true; }

    bool isMovableByWindowBackground() const { return m_movableByWindowBackground; }
    void setMovableByWindowBackground(bool movable) { m_movableByWindowBackground = movable; }
    bool hasShadow() const { return m_hasShadow; }
    void setHasShadow(bool shadow);
    // How many times the shadow was worked out again (after coming back from
    // the Dock, or after a redraw of the background).
    int shadowUpdates() const { return m_shadowUpdates; }
    // Draws the shadow again from what the window now shows.
    void invalidateShadow();

protected:
    // Runs whenever the window is about to close.
    virtual void windowWillClose();
    virtual void windowDidDeminiaturize();

    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    bool m_movableByWindowBackground = true;
    bool m_hasShadow = true;
    bool m_observing = true;
    int m_shadowUpdates = 0;
};
