#include "FullDiskAccessViewController.h"
#include "ui_FullDiskAccessViewController.h"

#include "QoImage.h"
#include "QoPublicUtilities.h"
#include "TextImageButton.h"

#include "App.h"
#include "Workspace.h"

#include <QMouseEvent>

FullDiskAccessViewController::FullDiskAccessViewController(QWidget *parent)
    : QWidget(parent, Qt::Dialog | Qt::FramelessWindowHint), ui(std::make_unique<Ui::FullDiskAccessViewController>())
{
    ui->setupUi(this);
    // The rounded box draws the window; the corners outside it stay see-through.
    setAttribute(Qt::WA_TranslucentBackground);
    ui->closeButton->setIcon(QIcon(QoImage::named(QStringLiteral("ic_close")).pixmap(QSize(16, 16))));
    ui->closeButton->setIconSize(QSize(16, 16));
    connect(ui->closeButton, &QPushButton::clicked, this, &FullDiskAccessViewController::closeWindow);
    ui->openSetButton->setButtonEnabled(true);
    ui->openSetButton->setImageFromFileNormalName(QStringLiteral("btn_pri"), QStringLiteral("btn_pri_press"),
                                                  QStringLiteral("btn_pri_hover"), QStringLiteral("btn_pri_disable"));
    ui->openSetButton->setTextWithName(QStringLiteral("打开设置"));
    connect(ui->openSetButton, &QPushButton::clicked, this, &FullDiskAccessViewController::openSetView);
}

FullDiskAccessViewController::~FullDiskAccessViewController() = default;

TextImageButton *FullDiskAccessViewController::openSetButton() const { return ui->openSetButton; }
QPushButton *FullDiskAccessViewController::closeButton() const { return ui->closeButton; }

void FullDiskAccessViewController::closeWindow()
{
    close();
    Platform::App::stopModal();
}

void FullDiskAccessViewController::openSetView()
{
    if (QoPublicUtilities::getSystemVersion() >= 1014)
        Platform::Workspace::shared().openURL(QString::fromLatin1(PrivacySettingsLink));
    closeWindow();
}

// Movable by its background: a press anywhere that is not a control drags the window.
void FullDiskAccessViewController::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_dragging = true;
        m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
    }
    QWidget::mousePressEvent(event);
}

void FullDiskAccessViewController::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        move(event->globalPosition().toPoint() - m_dragOffset);
    QWidget::mouseMoveEvent(event);
}
