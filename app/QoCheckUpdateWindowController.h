#pragma once
#include "ZrImageWindowDelegate.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QVariantMap>
#include <memory>
#include <optional>

class QFont;
class QLabel;
class QProgressBar;
class QPropertyAnimation;
class QScrollArea;
class QWidget;
class TextImageButton;
class ZrImageWindow;
namespace Ui {
class UpdateVersionXib;
}

// The update-check window (interface file "UpdateVersionXib"). It fetches
// the update list from the link "IniURL" on a thread of its own, compares its
// "VersionCheck" with the resource copy's, and ends in exactly one of three
// panels: no network, no update, or the new version's list of changes with
// an install button that opens the download page. It runs application-modal
// and stops the modal loop itself.
//
// The list comes from the network, so its values are checked for their type
// before use: a line that is not a string is left out, and a "VersionCheck"
// that is not a number counts as 0.
class QoCheckUpdateWindowController : public QObject, public ZrImageWindowDelegate {
    Q_OBJECT
    // The window's alpha as the fades animate it; the window shows it where
    // the platform can make windows translucent.
    Q_PROPERTY(double alphaValue READ alphaValue WRITE setAlphaValue)
public:
    // How long the fetch waits for the list.
    static constexpr double kFetchTimeoutSeconds = 15;

    // Loads the interface file, runs awakeFromNib and windowDidLoad; the
    // latter starts the fetch.
    explicit QoCheckUpdateWindowController(QObject *parent = nullptr);
    ~QoCheckUpdateWindowController() override;

    ZrImageWindow *window() const { return aWindow.get(); }

    void awakeFromNib();
    void windowDidLoad();
    // The fetch, on its own detached thread: touches no view and hands its
    // result to the main queue for `controller`, which may be gone by then.
    static void getVersionChange(QPointer<QoCheckUpdateWindowController> controller);
    // Main thread: shows the panel for the fetched list (nothing when the
    // list could not be fetched or read) and lays out its lines.
    void whatIsNewVersionDiff(const std::optional<QVariantMap> &list);
    // The height the text needs in `font` at `width`, wrapped at words.
    static double heightForStringDrawing(const QString &text, const QFont &font, double width);

    // A close asked for the ordinary way fades the window out instead.
    bool windowShouldClose(ZrImageWindow *window) override;
    void animationDidStop(bool finished);

    double alphaValue() const { return _alphaValue; }
    void setAlphaValue(double alpha);

    QWidget *titleBarView() const { return _titleBarView; }
    QWidget *checkProgressView() const;
    QWidget *noNetworkView() const;
    QWidget *noUpdateView() const;
    QWidget *haveUpdateView() const;
    QLabel *titleLable() const;
    QLabel *titleLabel() const;
    QLabel *versionLabel() const;
    QScrollArea *changeValueScrollView() const;
    QWidget *showVersionScrollView() const;
    QProgressBar *progressBar() const;
    TextImageButton *installButton() const;
    void setInstallButton(TextImageButton *button);
    bool shuttingDown() const { return _shuttingDown; }
    void *delegate() const { return _delegate; }
    void setDelegate(void *delegate) { _delegate = delegate; }
    // The lines placed in the list, in order.
    QList<QLabel *> lineFields() const;

public slots:
    // The title bar's close button and the panels' close button: stop the
    // modal loop, then close at once, without fading.
    void closeWindow();
    void closeWindowAction();
    // Opens the download page.
    void updateClickHereAction();

private:
    void animateAlpha(double to);
    void closeNow();
    // Hides the four panels and shows `panel` (none for nullptr).
    void showPanel(QWidget *panel);

    std::unique_ptr<Ui::UpdateVersionXib> ui;
    std::unique_ptr<ZrImageWindow> aWindow;
    QPointer<QWidget> _titleBarView;
    QPointer<TextImageButton> _installButton;
    QPointer<QPropertyAnimation> _alphaAnimation;
    double _alphaValue = 1;
    bool _shuttingDown = false;
    bool _closing = false;
    void *_delegate = nullptr;
};
