#include "LComboBox.h"

#include "ui_LComboBox.h"

#include "LComboBoxDelegate.h"

#include "QoImage.h"

LComboBox::LComboBox(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::LComboBox>())
{
    ui->setupUi(this);
    ui->subView->setDelegate(this);
    for (QWidget *w : {static_cast<QWidget *>(ui->strLabel), static_cast<QWidget *>(ui->iconImageView)})
        w->setAttribute(Qt::WA_TransparentForMouseEvents);
    ui->searchButton->setIcon(QIcon(QoImage::named(QStringLiteral("ic_folder")).pixmap(QSize(18, 18), 2.0)));
    connect(ui->searchButton, &QPushButton::clicked, this, [this] { searchButtonAction(ui->searchButton); });
}

LComboBox::~LComboBox() = default;

QString LComboBox::allFilesLabel() { return QStringLiteral("复制所有文件"); }
QString LComboBox::partFilesLabel() { return QStringLiteral("复制部分文件"); }

QLabel *LComboBox::strLabel() const { return ui->strLabel; }
TextImageButton *LComboBox::openButton() const { return ui->openButton; }
QPushButton *LComboBox::searchButton() const { return ui->searchButton; }
QLabel *LComboBox::iconImageView() const { return ui->iconImageView; }
LComboBoxSubView *LComboBox::subView() const { return ui->subView; }

void LComboBox::showFilterIcon()
{
    ui->iconImageView->setPixmap(
        QoImage::named(QStringLiteral("ic_filter")).pixmap(ui->iconImageView->size(), devicePixelRatioF()));
    ui->iconImageView->setProperty("imageName", QStringLiteral("ic_filter"));
}

void LComboBox::setStrLabelValue(const QString &text)
{
    showFilterIcon();
    ui->strLabel->setText(text);
    ui->searchButton->setHidden(true);
    m_isCanOpen = false;
    ui->openButton->setButtonEnabled(false);
    ui->openButton->setImageFromFileNormalName(QStringLiteral("ic_open"), QStringLiteral("ic_open_press"),
                                               QStringLiteral("ic_open_hover"), QStringLiteral("ic_open_disable"));
    if (!m_openActionSet) {
        m_openActionSet = true;
        connect(ui->openButton, &QPushButton::clicked, this, &LComboBox::openMenu);
    }
}

void LComboBox::setlComboBoxEnde(bool enabled)
{
    m_isCanOpen = enabled;
    ui->openButton->setButtonEnabled(enabled);
}

void LComboBox::changeSelectType(qint32 type)
{
    showFilterIcon();
    if (type != 0) {
        ui->strLabel->setText(partFilesLabel());
        ui->searchButton->setHidden(false);
        return;
    }
    ui->strLabel->setText(allFilesLabel());
    ui->searchButton->setHidden(true);
    if (m_lconboBoxDelegate)
        m_lconboBoxDelegate->changeSelectCopyType();
}

void LComboBox::doSelect()
{
    if (m_isCanOpen)
        openMenu();
}

void LComboBox::openMenu()
{
    if (m_lconboBoxDelegate)
        m_lconboBoxDelegate->showSelectAllVC();
}

void LComboBox::searchButtonAction(QObject *sender)
{
    (void)sender;
    if (m_lconboBoxDelegate)
        m_lconboBoxDelegate->doShowSearchView();
}
