#pragma once
#include <QAction>
#include <QLineEdit>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <memory>

class MainWindowController;
class QMenu;
class QWidget;
namespace Ui {
class MainMenu;
}

// The application's delegate. At start it records the interface fonts in the
// per-user settings copy (awakeFromNib, before any window reads them), then
// (applicationDidFinishLaunching) ends the process when another instance
// runs, sends the one-time install notice, and opens the main window. It
// carries the application menu: About, User Guide, Help, Check for Updates.
//
// The application menu is the title bar's context menu of the main window:
// this platform has no menu bar of its own for a frameless window.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    static constexpr const char *kBundleIdentifier = "com.kestrova.clone";
    // The vendor's web service that takes the install notice.
    static constexpr const char *kInstallServiceHost = "www.kestrova.com";
    // The notice blocks the first start, so it waits at most this long.
    static constexpr double kInstallNoticeTimeoutSeconds = 8;
    // How long a running instance that does not answer is given to end.
    static constexpr int kEndingInstanceWaitMs = 2000;

    // Loads the main menu's interface file (the menu and the font samples).
    explicit AppDelegate(QObject *parent = nullptr);
    ~AppDelegate() override;

    // Stores the five sample fields' fonts in the per-user settings copy.
    void awakeFromNib();
    // The start sequence: single instance, install notice, main window.
    void applicationDidFinishLaunching();

    // True when another process runs the application with this bundle
    // identifier; each such process is asked to come to the front. The own
    // process never counts, nor does one that does not answer and ends
    // within a moment (a start that is handing over to the launcher).
    bool checkAppDuplicateAndBringToFrontWithBundle(const QString &bundleIdentifier);
    // On a first start of this per-user copy ("IsFristTime" = "0"): the
    // notice, the About page, then "1" stored.
    void sendInstallNoticeOnFirstRun();
    void sendInstallRequest();
    // The machine identifier, or a null string.
    QString getOrCreateUID();
    // Makes the main window controller (once), centres and shows its window.
    void showMainWindow();

    // The install notice's address for a machine identifier (a null one is
    // written "(null)"), percent-encoded for a query.
    static QUrl installRequestUrl(const QString &uid);

    MainWindowController *mainWindowController() const { return _mainWindowController.get(); }
    QMenu *mainMenu() const { return _mainMenu.get(); }

    QLineEdit *fontNormal() const { return _fontNormal; }
    void setFontNormal(QLineEdit *field) { _fontNormal = field; }
    QLineEdit *fontLight() const { return _fontLight; }
    void setFontLight(QLineEdit *field) { _fontLight = field; }
    QLineEdit *fontMBold() const { return _fontMBold; }
    void setFontMBold(QLineEdit *field) { _fontMBold = field; }
    QLineEdit *fontSBold() const { return _fontSBold; }
    void setFontSBold(QLineEdit *field) { _fontSBold = field; }
    QLineEdit *fontBold() const { return _fontBold; }
    void setFontBold(QLineEdit *field) { _fontBold = field; }
    QAction *checkUpMenuItem() const { return _checkUpMenuItem; }
    void setCheckUpMenuItem(QAction *item) { _checkUpMenuItem = item; }
    QAction *lineMenuItem() const { return _lineMenuItem; }
    void setLineMenuItem(QAction *item) { _lineMenuItem = item; }

public slots:
    void aboutMenuItemAction();
    void userGuideMenuItemAction();
    void helpMenuItemAction();
    void checkUpdateMenuItemAction();

private:
    void bringToFront();
    static bool endsSoon(const QString &bundleIdentifier, qint64 processIdentifier);
    static void openLink(const QString &key);

    std::unique_ptr<Ui::MainMenu> ui;
    std::unique_ptr<QWidget> _menuNib;
    std::unique_ptr<QMenu> _mainMenu;
    std::unique_ptr<MainWindowController> _mainWindowController;
    QPointer<QLineEdit> _fontNormal;
    QPointer<QLineEdit> _fontLight;
    QPointer<QLineEdit> _fontMBold;
    QPointer<QLineEdit> _fontSBold;
    QPointer<QLineEdit> _fontBold;
    QPointer<QAction> _checkUpMenuItem;
    QPointer<QAction> _lineMenuItem;
};
