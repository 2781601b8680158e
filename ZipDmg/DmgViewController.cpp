#include "DmgViewController.h"

#include "ui_DmgViewController.h"

#include "DMGMakeSureWC.h"
#include "DmgVCDelegate.h"
#include "MakeDmg.h"

#include "ITProgressBar.h"
#include "QoImage.h"
#include "TextImageButton.h"

#include "GetColor.h"
#include "QoPublicUtilities.h"

#include "Platform/Clock.h"
#include "Platform/Dispatch.h"
#include "Platform/PlainText.h"
#include "Platform/SystemInfo.h"
#include "Platform/SystemRoot.h"

#include <QDateTime>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

namespace {

const QString kMakingImage = QStringLiteral("制作镜像中...");
const QString kEnumerating = QStringLiteral("正在枚举文件...");
constexpr double kStartDelay = 0.3;

bool isStartupPath(const QString &path) { return path == QLatin1String("/") || Platform::isStartupMountPoint(path); }

// The size summer reports once, on a background thread, to a plain pointer.
// This receiver outlives the page if need be and carries the report to the
// main thread, where the page checks that the sum is still wanted.
class SizeReceiver : public GetFilesSizeDelegate {
public:
    SizeReceiver(DmgViewController *page, quint64 serial, std::function<void(quint64, qint64)> deliver)
        : m_page(page), m_serial(serial), m_deliver(std::move(deliver))
    {
    }
    void allCopyFilesSize(qint64 size) override
    {
        QPointer<DmgViewController> page = m_page;
        const quint64 serial = m_serial;
        auto deliver = m_deliver;
        Platform::Dispatch::mainAsync([page, serial, size, deliver] {
            if (page)
                deliver(serial, size);
        });
        delete this; // exactly one report per sum
    }

private:
    QPointer<DmgViewController> m_page;
    quint64 m_serial;
    std::function<void(quint64, qint64)> m_deliver;
};

} // namespace

DmgViewController::DmgViewController(QWidget *parent)
    : SourceTargetPage(parent, Page::DiskImage), ui(std::make_unique<Ui::DmgViewController>())
{
    awakeFromNib();
}

DmgViewController::~DmgViewController()
{
    if (m_aTimer)
        m_aTimer->stop();
    if (m_makeDmg) {
        m_makeDmg->setMakeDmgDelegate(nullptr);
        if (m_jobRunning) {
            m_makeDmg->setIsCancelCopy(true);
            m_makeDmg->stopMakeDmg();
        }
    }
    if (DMGMakeSureWC *panel = makeSureWC())
        panel->setDelegate(nullptr);
}

// ---- Outlets

QPushButton *DmgViewController::makeZipBut() const { return ui->makeZipBut; }
QPushButton *DmgViewController::makeDmgBut() const { return ui->makeDmgBut; }

// ---- Set-up

void DmgViewController::awakeFromNib()
{
    m_isMakeZip = false;
    m_makeDmg = std::make_unique<MakeDmg>(this);
    loadPage(*ui);

    setButtonTitleColor();
    makeDmgButAction();
    connect(ui->makeZipBut, &QAbstractButton::clicked, this, &DmgViewController::makeZipButAction);
    connect(ui->makeDmgBut, &QAbstractButton::clicked, this, &DmgViewController::makeDmgButAction);
}

void DmgViewController::setButtonTitleColor()
{
    const QColor colour = getColor(79, 81, 82, 1);
    for (QPushButton *button : {ui->makeZipBut, ui->makeDmgBut}) {
        QFont font = button->font();
        font.setPointSizeF(13);
        button->setFont(font);
        QPalette palette = button->palette();
        palette.setColor(QPalette::ButtonText, colour);
        button->setPalette(palette);
        button->setStyleSheet(QStringLiteral("QPushButton { border: none; background: transparent; "
                                             "text-align: left; padding-left: 2px; color: rgb(79, 81, 82); }"));
    }
}

void DmgViewController::setRadio(QPushButton *button, bool selected)
{
    button->setIcon(
        QIcon(QoImage::named(selected ? QStringLiteral("radiobutton_sel") : QStringLiteral("radiobutton_unsel"))
                  .pixmap(button->iconSize(), devicePixelRatioF())));
    button->setChecked(selected);
}

void DmgViewController::makeZipButAction()
{
    setRadio(ui->makeZipBut, true);
    setRadio(ui->makeDmgBut, false);
    m_isMakeZip = true;
}

void DmgViewController::makeDmgButAction()
{
    setRadio(ui->makeDmgBut, true);
    setRadio(ui->makeZipBut, false);
    m_isMakeZip = false;
}

// ---- Drop

void DmgViewController::viewDragAction(const FileNodeArrayPtr &nodes)
{
    if (nodes)
        takeDrop(nodes);
}

// ---- Start, confirmation and the job

void DmgViewController::cloneButtonAction()
{
    if (takeSelectionOrListSource(false))
        doMakeZip();
}

void DmgViewController::endScanFiles() { queueConfirmation(); }

void DmgViewController::confirmSelection() { doMakeZip(); }

void DmgViewController::getZipFilePathArr(const FileNodeList &nodes, QStringList &withZipArr)
{
    FileNode::walkSelection(nodes, [&withZipArr](FileNode *node) { withZipArr << node->path; });
}

void DmgViewController::refuseEmptySelection() { showErrorWindowWithErrorStr(noFileText(), 1); }

void DmgViewController::doMakeZip()
{
    m_zipFilesArr.clear();
    if (_selection)
        getZipFilePathArr(*_selection, m_zipFilesArr);
    if (m_zipFilesArr.isEmpty()) {
        refuseEmptySelection();
        return;
    }
    openConfirmation<DMGMakeSureWC>(this, false);
}

void DmgViewController::beginToMakeDMGorZIP()
{
    if (m_jobRunning)
        return;
    ++m_jobSerial;
    m_jobRunning = true;
    m_waitingForSize = false;
    showJobScreen(kMakingImage);

    if (m_aTimer) {
        m_aTimer->stop();
        m_aTimer->deleteLater();
    }
    auto *timer = new QTimer(this);
    timer->setSingleShot(true);
    timer->setInterval(Platform::Clock::realMs(kStartDelay));
    const quint64 serial = m_jobSerial;
    const bool zip = m_isMakeZip;
    connect(timer, &QTimer::timeout, this, [this, serial, zip] {
        if (serial != m_jobSerial || !m_jobRunning)
            return;
        if (zip)
            doMakeZipWithFileArr();
        else
            doMakeDMGWithFileArr();
    });
    m_aTimer = timer;
    timer->start();
}

QString DmgViewController::getCreateName()
{
    return QStringLiteral("KestrovaDiskClone(%1)")
        .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
}

QString DmgViewController::targetFolder(const QString &volumePath, int systemVersion, const QString &userName)
{
    if (isStartupPath(volumePath)) {
        if (systemVersion > 1014)
            return QStringLiteral("/Users/%1/Desktop").arg(userName);
        return QStringLiteral("/");
    }
    return volumePath;
}

namespace {

// The Desktop of the person at the screen, not of the (root) process.
QString desktopUser() { return Platform::SystemInfo::consoleUser().name; }

} // namespace

void DmgViewController::withTargetFolder(std::function<void(const QString &)> then)
{
    // Who sits at the screen is the disks' answer (the world records it),
    // so the folder is looked up on a worker. The answer is taken only for
    // the job and the target it was asked for.
    const quint64 serial = m_jobSerial;
    const VolumeObjPtr target = _toVolume;
    const QString volumePath = target->volumePath;
    QPointer<DmgViewController> self(this);
    Platform::Dispatch::globalAsync([self, serial, target, volumePath, then = std::move(then)] {
        const QString folder = targetFolder(volumePath, QoPublicUtilities::getSystemVersion(), desktopUser());
        Platform::Dispatch::mainAsync([self, serial, target, folder, then] {
            if (self && serial == self->m_jobSerial && self->m_jobRunning && self->_toVolume == target)
                then(folder);
        });
    });
}

void DmgViewController::doMakeZipWithFileArr()
{
    if (m_aTimer) {
        m_aTimer->stop();
        m_aTimer->deleteLater();
        m_aTimer = nullptr;
    }
    if (!_toVolume || !_selection)
        return showFailView(failText());
    withTargetFolder([this, selection = _selection](const QString &folder) {
        _openUrl = folder;
        const QString zipPath =
            (folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/')) + getCreateName() + ".zip";
        m_makeDmg->doZipWithPath(Platform::rootPath(zipPath), *selection);
    });
}

void DmgViewController::doMakeDMGWithFileArr()
{
    if (m_aTimer) {
        m_aTimer->stop();
        m_aTimer->deleteLater();
        m_aTimer = nullptr;
    }
    changePathValue(kEnumerating, 10);
    // Dropped files count 0 in the page's checks, but the image must hold
    // them: they are summed like a ticked selection.
    if (_selectFilesSize != -1 && !_isDragValue) {
        startImageWithSize(_selectFilesSize);
        return;
    }
    if (!_isDragValue && _lComboBox->strLabel()->text() == LComboBox::allFilesLabel()) {
        startImageWithSize(_usedSize);
        return;
    }
    m_waitingForSize = true;
    QPointer<DmgViewController> self(this);
    auto *receiver = new SizeReceiver(this, m_jobSerial, [self](quint64 serial, qint64 size) {
        if (self && serial == self->m_jobSerial && self->m_waitingForSize)
            self->allCopyFilesSize(size);
    });
    const std::shared_ptr<GetFilesSize> summer = GetFilesSize::create(receiver);
    summer->getAllFilesSizeWithArr(_selection ? *_selection : FileNodeArray{});
}

void DmgViewController::allCopyFilesSize(qint64 size)
{
    if (!Platform::Dispatch::isMainThread()) {
        QPointer<DmgViewController> self(this);
        const quint64 serial = m_jobSerial;
        Platform::Dispatch::mainAsync([self, serial, size] {
            if (self && serial == self->m_jobSerial)
                self->allCopyFilesSize(size);
        });
        return;
    }
    if (!m_jobRunning)
        return;
    m_waitingForSize = false;
    startImageWithSize(size);
}

void DmgViewController::startImageWithSize(qint64 size)
{
    if (!m_jobRunning)
        return;
    if (!_toVolume)
        return showFailView(failText());
    withTargetFolder([this, size](const QString &folder) {
        _openUrl = folder;
        m_lastImageSize = size;
        m_makeDmg->makeTmpDmgWithPath(folder, getCreateName(), size);
    });
}

void DmgViewController::cancelMakeZip()
{
    m_makeDmg->setIsCancelCopy(true);
    m_makeDmg->stopMakeDmg();
}

void DmgViewController::cancelButtonAction()
{
    if (!m_jobRunning)
        return;
    // A stop before the engine has started is kept: the timer and a pending
    // size sum are dropped with the job's serial.
    if (m_aTimer) {
        m_aTimer->stop();
        m_aTimer->deleteLater();
        m_aTimer = nullptr;
    }
    m_waitingForSize = false;
    cancelMakeZip();
    showFailView(stopText());
}

// ---- Engine reports

void DmgViewController::beginToCopyDmg()
{
    if (!m_jobRunning)
        return;
    // The checked tree itself: the engine reads it by the same rule that
    // made zipFilesArr, and knows each item's top-level item and bytes.
    if (_selection)
        m_makeDmg->doCopyFilesToDmgWithDmg(*_selection);
    else
        m_makeDmg->doCopyFilesToDmgWithDmg(m_zipFilesArr);
}

void DmgViewController::copyFileToDmgWithFileName(const QString &fileName, float Withprogress)
{
    changePathValue(fileName, Withprogress);
}

void DmgViewController::makeDmgFailWithError(qint32 error)
{
    (void)error;
    QPointer<DmgViewController> self(this);
    Platform::Dispatch::mainAsync([self] {
        if (self && self->m_jobRunning)
            self->showFailView(failText());
    });
}

QString DmgViewController::statusLineForText(const QString &text)
{
    const qsizetype lineBreak = text.indexOf(QLatin1Char('\n'));
    if (lineBreak < 0)
        return text;
    const bool fromZip = text.contains(QLatin1String("(stored")) || text.contains(QLatin1String("(deflated"));
    if (!fromZip)
        return text;
    // A chunk of zip's listing: show its latest whole entry.
    const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (qsizetype i = lines.size() - 1; i >= 0; --i) {
        const QString line = lines.at(i).trimmed();
        if (line.contains(QLatin1String("(stored")) || line.contains(QLatin1String("(deflated")))
            return line;
    }
    return text.mid(lineBreak + 1).trimmed();
}

void DmgViewController::changePathValue(const QString &text, float withProValue)
{
    const QString line = statusLineForText(text);
    // The serial is read here only on the main thread; reports from workers
    // carry none and are checked against the job that runs when they land.
    if (Platform::Dispatch::isMainThread()) {
        const quint64 serial = m_jobSerial;
        QPointer<DmgViewController> self(this);
        Platform::Dispatch::mainAsync([self, serial, line, withProValue] {
            if (self)
                self->applyReport(serial, line, withProValue);
        });
        return;
    }
    QPointer<DmgViewController> self(this);
    Platform::Dispatch::mainAsync([self, line, withProValue] {
        if (self)
            self->applyReport(self->m_jobSerial, line, withProValue);
    });
}

void DmgViewController::applyReport(quint64 serial, const QString &line, float value)
{
    if (serial != m_jobSerial || !m_jobRunning)
        return;
    Platform::setPlainText(ui->pathLabel, line);
    showProgress(value);
}

void DmgViewController::jobEnded()
{
    m_jobRunning = false;
    m_waitingForSize = false;
}
