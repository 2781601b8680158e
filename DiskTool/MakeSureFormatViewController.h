#pragma once
#include "FormatTypeVCDelegate.h"
#include "PanelHostedController.h"

#include <QPointer>
#include <memory>

class FormatTypeViewController;
class MakeSureFormatVCDelegate;
class QLabel;
class QLineEdit;
class QPushButton;
class RMAAttachedWindow;
class TextImageButton;

namespace Ui {
class MakeSureFormatViewController;
}

// The format confirmation laid over the main window
// ("MakeSureFormatViewController"): the volume's name, which the user may
// change, and its file-system type, chosen from a menu that opens above the
// chooser (not for an APFS volume, whose type stays). "继续" hands name and
// type to the delegate, "取消" cancels; either closes the panel.
class MakeSureFormatViewController : public PanelHostedController, public FormatTypeVCDelegate {
    Q_OBJECT
public:
    explicit MakeSureFormatViewController(QWidget *parent = nullptr);
    ~MakeSureFormatViewController() override;

    // Where the type menu is attached, in the panel window's bottom-left coordinates.
    static constexpr double menuPointX = 665;
    static constexpr double menuPointY = 182;

    // Not owned: the page outlives its panels.
    MakeSureFormatVCDelegate *delegate() const { return m_delegate; }
    void setDelegate(MakeSureFormatVCDelegate *delegate) { m_delegate = delegate; }

    // Fills the panel for a volume's name and its type text.
    void setName(const QString &name, const QString &setType);

    // Outlets.
    TextImageButton *okButton() const;
    TextImageButton *noButton() const;
    QLabel *nameLabel() const;
    QLabel *nodeLabel() const;
    QLineEdit *nameTextFiled() const;
    QLabel *typeLabel() const;
    QPushButton *typeSelectBut() const;
    QLabel *openImageV() const;
    QLabel *fileSysBg() const;

    bool isPopSortWin() const { return m_isPopSortWin; }
    FormatTypeViewController *formatTypeVC() const { return m_formatTypeVC.get(); }
    RMAAttachedWindow *sortAttachedWindow() const { return m_sortAttachedWindow.get(); }

public slots:
    void okButtonAction();
    void noButtonAction();
    void openMenuAction();
    void closeMattachedWindow();
    void chengTextStart();

public:
    // FormatTypeVCDelegate
    void selectFormatbyType(int type) override;
    void mouseEixtView(bool exited) override;

private:
    std::unique_ptr<Ui::MakeSureFormatViewController> ui;
    MakeSureFormatVCDelegate *m_delegate = nullptr;
    std::unique_ptr<FormatTypeViewController> m_formatTypeVC;
    std::unique_ptr<RMAAttachedWindow> m_sortAttachedWindow;
    bool m_isPopSortWin = false;
};
