#include "DiskListViewController.h"

#include "ui_DiskListViewController.h"

#include "DiskListVCDelegate.h"
#include "DiskListView.h"

#include "CocoaGeometry.h"
#include "DiskSizeProgress.h"
#include "QoImage.h"

#include "QoPublicUtilities.h"

#include "PlainText.h"
#include "SystemRoot.h"

#include <QApplication>
#include <QFontMetrics>
#include <algorithm>

DiskListViewController::DiskListViewController(QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::DiskListViewController>())
{
    ui->setupUi(this);
    ui->aView->setDiskViewDelegate(this);
    for (QLabel *label : {ui->diskIconImageView, ui->nameLabel, ui->diskInfoLabel, ui->sizeLabel})
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
    QFont nameFont = QApplication::font();
    nameFont.setPixelSize(13);
    ui->nameLabel->setFont(nameFont);
    QFont smallFont = QApplication::font();
    smallFont.setPixelSize(10);
    ui->sizeLabel->setFont(smallFont);
    smallFont.setPixelSize(11);
    ui->diskInfoLabel->setFont(smallFont);
}

DiskListViewController::~DiskListViewController() = default;

DiskListView *DiskListViewController::aView() const { return ui->aView; }
QLabel *DiskListViewController::diskIconImageView() const { return ui->diskIconImageView; }
QLabel *DiskListViewController::nameLabel() const { return ui->nameLabel; }
QLabel *DiskListViewController::sizeLabel() const { return ui->sizeLabel; }
QLabel *DiskListViewController::diskInfoLabel() const { return ui->diskInfoLabel; }

QString DiskListViewController::iconNameForVolume(const VolumeObj &volume)
{
    if (volume.bCanEject)
        return QStringLiteral("ic_usb_main");
    // The startup volume's mount point is the system root ("/" on the
    // original platform).
    if (volume.volumeMountPoint == QLatin1String("/") || Platform::isStartupMountPoint(volume.volumeMountPoint))
        return QStringLiteral("ic_os_main_b");
    return QStringLiteral("ic_disk_main");
}

float DiskListViewController::usageValue(const VolumeObj &volume, bool isOnlyShowEx)
{
    float value = 0;
    if (volume.volumeTotalSizeNum != 0) {
        // In 128 bits so that no free size can overflow the product.
        const auto p =
            static_cast<qint64>(static_cast<__int128>(volume.volumeFreeSizeNum) * 100 / volume.volumeTotalSizeNum);
        value = (p >= 0 && p <= 100) ? float(100 - p) : 100.0f;
    }
    // A volume without a size has no share to show: its bar stays empty.
    if (isOnlyShowEx)
        value = 0.1f;
    return value;
}

void DiskListViewController::setIcon()
{
    m_iconName = m_volumeObj ? iconNameForVolume(*m_volumeObj) : QStringLiteral("ic_disk_main");
    ui->diskIconImageView->setPixmap(
        QoImage::named(m_iconName).pixmap(ui->diskIconImageView->size(), devicePixelRatioF()));
}

void DiskListViewController::refreshaView()
{
    setIcon();
    if (!m_volumeObj)
        return;
    const VolumeObj &v = *m_volumeObj;
    Platform::setPlainText(ui->nameLabel, v.volumeName);
    ui->nameLabel->setToolTip(Platform::plainToolTip(v.volumeName));
    if (m_isOnlyShowEx) {
        QFont menu = QApplication::font("QMenu");
        menu.setPixelSize(12);
        ui->nameLabel->setFont(menu);
        ui->nameLabel->resize(180, 14);
        Platform::setPlainText(ui->sizeLabel, v.volumeTotalSize);
    } else {
        const QString used = QoPublicUtilities::longlongDiskSize(v.volumeTotalSizeNum - v.volumeFreeSizeNum);
        Platform::setPlainText(ui->sizeLabel, QStringLiteral("%1/%2").arg(used, v.volumeTotalSize));
    }
    Platform::setPlainText(ui->diskInfoLabel, v.volumeType);
    fitName(v.volumeName);
    creatDiskSizeProgress();
}

void DiskListViewController::fitName(const QString &name)
{
    QLabel *label = ui->nameLabel;
    QLabel *info = ui->diskInfoLabel;
    // The type text is right-aligned in its label: the name may run up to
    // a small gap before it.
    constexpr int Gap = 6;
    int end = info->geometry().right() + 1;
    if (!info->text().isEmpty())
        end -= QFontMetrics(info->font()).horizontalAdvance(info->text()) + Gap;
    const int room = std::max(0, std::min(label->width(), end - label->x()));
    label->setText(QFontMetrics(label->font()).elidedText(name, Qt::ElideRight, room));
}

void DiskListViewController::creatDiskSizeProgress()
{
    if (m_diskSizeProgress)
        delete m_diskSizeProgress.data();
    auto *bar = new DiskSizeProgress(ui->aView);
    bar->setAttribute(Qt::WA_TransparentForMouseEvents);
    bar->setGeometry(CocoaGeometry::toQt(QRectF(76, 12, 250, 4), ui->aView->height()).toRect());
    bar->changeProgressValue(m_volumeObj ? usageValue(*m_volumeObj, m_isOnlyShowEx) : 0.0f);
    bar->show();
    m_diskSizeProgress = bar;
}

void DiskListViewController::doSelectDisk()
{
    if (m_diskListVCDelegate)
        m_diskListVCDelegate->doSelectDiskWithVolume(m_volumeObj);
}

void DiskListViewController::mouseInView() { setIcon(); }

void DiskListViewController::mouseOutView() { setIcon(); }
