#pragma once
#include "DragViewDelegate.h"
#include "FileNode.h"
#include "SelectBgViewDelegate.h"

#include "DragView.h"
#include "SelectBgView.h"
#include "SizeView.h"
#include "TextImageButton.h"

#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QWidget>
#include <memory>

class SelectValueViewDelegate;

namespace Ui {
class SelectValueView;
}

// A source or target card of a job page ("SelectValueView"). The page fills
// its texts and icon and sets whether a value is chosen; the card shows the
// matching background, a hover look while nothing is chosen and the error
// look the page asks for, and turns clicks, the close button and dropped
// files into calls to the page. While isCanSelect is clear it does none of
// that (except passing on selectFileButtonAction).
//
// The close button starts hidden; the page shows it while a value is chosen.
class SelectValueView : public QWidget, public SelectBgViewDelegate, public DragViewDelegate {
    Q_OBJECT
public:
    explicit SelectValueView(QWidget *parent = nullptr);
    ~SelectValueView() override;

    SelectValueViewDelegate *delegate() const { return m_delegate; }
    void setDelegate(SelectValueViewDelegate *delegate) { m_delegate = delegate; }

    qint32 diskFrom() const { return m_diskFrom; }
    void setDiskFrom(qint32 diskFrom) { m_diskFrom = diskFrom; }
    bool isHaveD() const { return m_isHaveD; }
    void setIsHaveD(bool isHaveD) { m_isHaveD = isHaveD; }
    bool isCanSelect() const { return m_isCanSelect; }
    void setIsCanSelect(bool isCanSelect) { m_isCanSelect = isCanSelect; }

    // Outlets.
    SizeView *proSizeView() const;
    QLabel *nameLabel() const;
    QLabel *sizeLabel() const;
    QLabel *nodeSelectLabel() const;
    QPushButton *selectDiskBut() const;
    TextImageButton *closeDisk() const;
    DragView *dragVie() const;
    QLabel *imageView() const;
    QLabel *bgImageView() const;
    QPushButton *nameButton() const;
    QLabel *errorImage() const;
    SelectBgView *bgView() const;

    // The name of the background image shown now ("source", "source_hover",
    // "source_sel", "source_sel_error").
    QString bgImageName() const { return m_bgImageName; }

    // Enters (true) or leaves (false) the error look.
    void changeBgImageViewWithError(bool error);
    // Hooks the pages call; the card has nothing to do for them.
    void setOpenIcon();
    void changeViewRect(bool error);

    // The card's actions: the select button, the interface file's menu
    // action, the close button, and the file button of the drop protocol.
    void selectDiskButton(QObject *sender);
    void openMenuButtonAction(QObject *sender);
    void closeDiskValue(QObject *sender);
    void selectFileButtonAction(QObject *sender) override;

    // Dropped paths → checked top-level nodes in drop order, skip-list names
    // left out, files with their logical size.
    static FileNodeArrayPtr eumeArr(const QList<QByteArray> &paths);
    static FileNodeArrayPtr eumeArr(const QStringList &paths);

    // SelectBgViewDelegate
    void mouseInSelectBgView(bool inside) override;
    void mouseDownAction() override;
    // DragViewDelegate
    void viewDragAction(const QList<QByteArray> &paths) override;

protected:
    // A name longer than its label is drawn cut at its end, with "…".
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setBgImage(const QString &name);

    std::unique_ptr<Ui::SelectValueView> ui;
    qint32 m_diskFrom = 0;
    bool m_isHaveD = false;
    bool m_isCanSelect = true;
    QString m_bgImageName;
    SelectValueViewDelegate *m_delegate = nullptr;
};
