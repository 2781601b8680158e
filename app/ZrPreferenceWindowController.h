#pragma once
#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QPushButton>
#include <memory>

class QWidget;
class ZrImageWindow;
namespace Ui {
class ZrPreferenceWindowController;
}

// The About window: the product's name, version, introduction and legal
// notice as the interface file "ZrPreferenceWindowController" lays them out,
// and a link button to the About page. It runs application-modal and stops
// the modal loop itself when closed.
class ZrPreferenceWindowController : public QObject {
    Q_OBJECT
public:
    // Loads the interface file, then runs awakeFromNib and windowDidLoad.
    explicit ZrPreferenceWindowController(QObject *parent = nullptr);
    ~ZrPreferenceWindowController() override;

    ZrImageWindow *window() const { return aWindow.get(); }

    void awakeFromNib();
    void windowDidLoad();
    // Shows the link button's title in the link colour, same characters.
    void setAboutLink();

    QPushButton *linkButton() const;
    void setLinkButton(QPushButton *button);
    QLabel *titleLabel() const;
    QWidget *titleBarView() const { return _titleBarView; }
    // Two outlets of the interface file the controller leaves alone.
    QLabel *iconView() const;
    void setIconView(QLabel *view);
    QWidget *versionBgView() const;
    void setVersionBgView(QWidget *view);

public slots:
    // Opens the About page in the browser.
    void linkButtonAction();
    // Closes the window, then stops the modal loop.
    void closeWindow();

private:
    std::unique_ptr<Ui::ZrPreferenceWindowController> ui;
    std::unique_ptr<ZrImageWindow> aWindow;
    QPointer<QWidget> _titleBarView;
    QPointer<QPushButton> _linkButton;
    QPointer<QLabel> _iconView;
    QPointer<QWidget> _versionBgView;
};
