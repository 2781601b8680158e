#pragma once
#include "LComboBoxSubViewDelegate.h"

#include "LComboBoxSubView.h"
#include "TextImageButton.h"

#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <memory>

class LComboBoxDelegate;

namespace Ui {
class LComboBox;
}

// The copy-mode box under a source card ("LComboBox"): a label with the
// current mode, an open button (and a click anywhere on the box) that asks
// the page for the drop-down of modes, and in the "part" mode a search
// button that asks the page for the file browser. Mode 0 is "all files",
// any other number "part of the files".
class LComboBox : public QWidget, public LComboBoxSubViewDelegate {
    Q_OBJECT
public:
    explicit LComboBox(QWidget *parent = nullptr);
    ~LComboBox() override;

    static QString allFilesLabel();  // "复制所有文件"
    static QString partFilesLabel(); // "复制部分文件"

    LComboBoxDelegate *lconboBoxDelegate() const { return m_lconboBoxDelegate; }
    void setLconboBoxDelegate(LComboBoxDelegate *delegate) { m_lconboBoxDelegate = delegate; }

    // Outlets.
    QLabel *strLabel() const;
    TextImageButton *openButton() const;
    QPushButton *searchButton() const;
    QLabel *iconImageView() const;
    LComboBoxSubView *subView() const;
    bool isCanOpen() const { return m_isCanOpen; }

    // The first set-up, from the page that loads the box: the label, the
    // icon, the open button's images and action; closed for opening.
    void setStrLabelValue(const QString &text);
    // Whether the box may be opened.
    void setlComboBoxEnde(bool enabled);
    // Shows a mode; going back to "all files" tells the page.
    void changeSelectType(qint32 type);
    // The open button's action; the box's click when it may be opened.
    void openMenu();
    void searchButtonAction(QObject *sender);

    // LComboBoxSubViewDelegate
    void doSelect() override;

private:
    void showFilterIcon();

    std::unique_ptr<Ui::LComboBox> ui;
    bool m_isCanOpen = false;
    bool m_openActionSet = false;
    LComboBoxDelegate *m_lconboBoxDelegate = nullptr;
};
