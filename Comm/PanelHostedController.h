#pragma once
// A view controller that is shown in the panel over the main window. The
// panel is handed to it through setSuperDelegate; its closing action closes
// that panel. Once shown, the panel owns the controller: it goes when the
// panel closes, so a page that keeps one holds it through a QPointer.
#include <QPointer>
#include <QWidget>

class StatusAttachedWindow;

class PanelHostedController : public QWidget {
    Q_OBJECT
public:
    explicit PanelHostedController(QWidget *parent = nullptr);

    StatusAttachedWindow *superDelegate() const;
    void setSuperDelegate(StatusAttachedWindow *window);

public slots:
    // Closes the panel when one is set.
    void closeWindow();

private:
    QPointer<QWidget> m_superDelegate;
};
