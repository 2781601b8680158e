#include "SelectDiskViewController.h"
#include "MountedVolumes.h"

#include "ui_SelectDiskViewController.h"

#include "DiskListView.h"
#include "DiskListViewController.h"
#include "SelectDiskVCDelegate.h"

#include "CocoaGeometry.h"

#include "GetColor.h"
#include "QoPublicUtilities.h"
#include "ShellRunners.h"
#include "ToolCommand.h"
#include "VolumeObjBuilders.h"

#include "Dispatch.h"
#include "Fonts.h"
#include "Workspace.h"

#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QProgressBar>
#include <QScrollArea>
#include <QScrollBar>
#include <algorithm>

namespace {

// The info commands were built in 64-byte buffers: a longer line is not run.
constexpr int kInfoLineBuffer = 64;

constexpr double kRowHeight = 48;
// Below the last row: twice the gap between two rows.
constexpr double kBottomGap = 8;

bool hasVolumeNamed(const QList<VolumeObjPtr> &arr, const QString &name)
{
    return std::any_of(arr.begin(), arr.end(), [&](const VolumeObjPtr &v) { return v && v->volumeName == name; });
}

QLabel *makeHeading(const QString &text, const QRectF &cocoaFrame, double documentHeight, QWidget *document)
{
    auto *label = new QLabel(text, document);
    label->setGeometry(CocoaGeometry::toQt(cocoaFrame, documentHeight).toRect());
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    label->setAutoFillBackground(false);
    const std::optional<QFont> named = Platform::Fonts::fontWithName(QoPublicUtilities::getMBoldFontName(), 13);
    QFont font = named.value_or(QApplication::font());
    font.setPixelSize(13);
    if (!named)
        font.setWeight(QFont::Medium);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, getColor(163, 160, 161, 1));
    label->setPalette(palette);
    label->setObjectName(QStringLiteral("heading"));
    label->show();
    return label;
}

} // namespace

SelectDiskViewController::SelectDiskViewController(QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::SelectDiskViewController>())
{
    ui->setupUi(this);
    ui->listScrollView->viewport()->setAutoFillBackground(false);
    ui->listScrollView->viewport()->setObjectName(QStringLiteral("diskListClipView"));
    ui->emptyDocumentView->setAutoFillBackground(false);
    ui->loadP->setHidden(true);
    m_allVolumeArr.reserve(10);
    // Rows move under a pointer that stays still while the list scrolls: the
    // hover goes with the row that is under the pointer now.
    connect(ui->listScrollView->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &SelectDiskViewController::followPointer);
}

void SelectDiskViewController::followPointer()
{
    QWidget *document = documentView();
    if (!document)
        return;
    QWidget *viewport = ui->listScrollView->viewport();
    const QPoint global = QCursor::pos();
    const bool inViewport = viewport->underMouse() && viewport->rect().contains(viewport->mapFromGlobal(global));
    for (DiskListView *view : document->findChildren<DiskListView *>()) {
        const bool inside = inViewport && view->rect().contains(view->mapFromGlobal(global));
        if (inside && !view->mouseIn())
            view->mouseEntered();
        else if (!inside && view->mouseIn())
            view->mouseExited();
    }
}

SelectDiskViewController::~SelectDiskViewController() = default;

QString SelectDiskViewController::internalHeading() { return QStringLiteral("内部盘"); }
QString SelectDiskViewController::externalHeading() { return QStringLiteral("外接盘"); }

QProgressBar *SelectDiskViewController::loadP() const { return ui->loadP; }
QScrollArea *SelectDiskViewController::listScrollView() const { return ui->listScrollView; }
QWidget *SelectDiskViewController::diskListClipView() const { return ui->listScrollView->viewport(); }
QWidget *SelectDiskViewController::documentView() const { return ui->listScrollView->widget(); }

void SelectDiskViewController::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    awakeFromNib();
}

void SelectDiskViewController::awakeFromNib()
{
    if (m_isStarted)
        return;
    m_isStarted = true;
    m_allVolumeArr.clear();
    ui->loadP->setHidden(false);

    // The discovery fills a list of its own and hands it over when done, so
    // the main thread never reads one that is still being filled; a picker
    // that has gone by then simply gets nothing.
    const bool onlyExternal = m_isOnlyShowEx;
    QPointer<SelectDiskViewController> guard(this);
    Platform::Dispatch::globalAsync([guard, onlyExternal] {
        QList<VolumeObjPtr> found;
        found.reserve(10);
        if (onlyExternal)
            QoGetUSBThreadImp(found);
        else
            doGetAllVolume_(found);
        Platform::Dispatch::mainAsync([guard, found] {
            if (!guard)
                return;
            guard->m_allVolumeArr = found;
            Platform::Dispatch::after(0.2, Platform::Dispatch::Queue::Main, [guard] {
                if (guard)
                    guard->showView();
            });
        });
    });
}

void SelectDiskViewController::doGetAllVolume_(QList<VolumeObjPtr> &allVolumeArr)
{
    allVolumeArr.clear();
    for (const QString &bsdName : MountedVolumeBSDNames())
        getVolumeAllObjWithVolumeName(allVolumeArr, bsdName);
}

void SelectDiskViewController::getVolumeAllObjWithVolumeName(QList<VolumeObjPtr> &allVolumeArr, const QString &bsdName)
{
    // The check compares with the names of the records, as the list always did.
    if (hasVolumeNamed(allVolumeArr, bsdName))
        return;
    const std::optional<QVariantMap> info = getDisjInfo(bsdName);
    if (!info || !info->contains(QStringLiteral("VolumeName")))
        return;
    if (isHTFSVolumes(bsdName))
        return;
    if (VolumeObjPtr volume = VolumeObjFromPicker(*info))
        allVolumeArr.append(volume);
}

bool SelectDiskViewController::isHTFSVolumes(const QString &bsdName)
{
    const QString path = QStringLiteral("/dev/") + bsdName;
    const Platform::Workspace &workspace = Platform::Workspace::shared();
    const std::optional<Platform::FileSystemInfo> info = workspace.fileSystemInfo(path);
    if (!info)
        return true;
    const std::optional<Platform::FileSystemAttributes> attributes = workspace.fileSystemAttributes(path);
    if (!attributes || attributes->size == 0)
        return true;
    return info->type == QLatin1String("ntfs");
}

std::optional<QVariantMap> SelectDiskViewController::getDisjInfo(const QString &bsdName)
{
    return execCommand(
               ToolCommand(QStringLiteral("diskutil"), {QStringLiteral("info"), QStringLiteral("-plist"), bsdName})
                   .withBuffer(kInfoLineBuffer))
        .dictionary();
}

void SelectDiskViewController::QoGetUSBThreadImp(QList<VolumeObjPtr> &allVolumeArr)
{
    const std::optional<QVariantMap> list =
        execCommand(ToolCommand(QStringLiteral("diskutil"), {QStringLiteral("list"), QStringLiteral("-plist")}))
            .dictionary();
    if (!list)
        return;
    const QVariantList wholeDisks = list->value(QStringLiteral("WholeDisks")).toList();
    for (const QVariant &entry : wholeDisks) {
        const QString disk = entry.toString();
        QoAddDiskToUSBObj(allVolumeArr, disk.mid(disk.lastIndexOf(QLatin1Char('/')) + 1));
    }
}

void SelectDiskViewController::QoAddDiskToUSBObj(QList<VolumeObjPtr> &allVolumeArr, const QString &bsdName)
{
    if (hasVolumeNamed(allVolumeArr, bsdName))
        return;
    const std::optional<QVariantMap> info = QoGetDiskInfo(bsdName);
    if (!info)
        return;
    if (VolumeObjPtr volume = externalDiskFromInfo(*info))
        allVolumeArr.append(volume);
}

std::optional<QVariantMap> SelectDiskViewController::QoGetDiskInfo(const QString &bsdName)
{
    return execCommand(ToolCommand(QStringLiteral("diskutil"), {QStringLiteral("info"), QStringLiteral("-plist"),
                                                                QStringLiteral("/dev/") + bsdName})
                           .withBuffer(kInfoLineBuffer))
        .dictionary();
}

VolumeObjPtr SelectDiskViewController::externalDiskFromInfo(const QVariantMap &info)
{
    if (info.value(QStringLiteral("BusProtocol")).toString() != QLatin1String("USB"))
        return nullptr;
    if (info.value(QStringLiteral("RAIDMaster")).toBool() ||
        info.value(QStringLiteral("CoreStorageEncrypted")).toBool())
        return nullptr;
    if (info.value(QStringLiteral("Content")).toString() == QLatin1String("Apple_HFSX"))
        return nullptr;
    if (info.value(QStringLiteral("VirtualOrPhysical")).toString() == QLatin1String("Virtual"))
        return nullptr;
    return VolumeObjFromExternalDisk(info);
}

SelectDiskViewController::ListLayout SelectDiskViewController::layoutFor(int internalCount, int externalCount,
                                                                         bool isOnlyShowEx)
{
    ListLayout layout;
    const int n = internalCount + externalCount;
    const int k = internalCount;
    // Offsets from the top of the document: each row's top edge.
    QList<double> internalTops;
    QList<double> externalTops;
    if (!isOnlyShowEx)
        for (int i = 0; i < internalCount; ++i)
            internalTops.append(kRowHeight * i + 32 + 4 * i);
    for (int j = 0; j < externalCount; ++j)
        externalTops.append(isOnlyShowEx ? kRowHeight * j + 33 + 4 * j : kRowHeight * j + kRowHeight * k + 65 + 4 * j);
    // 400 points up to seven records, else one row per record and room for the
    // headings; always tall enough that the last row shows whole, with the
    // gap below it that the rows keep between them.
    double H = (n < 4 || kRowHeight * n < 350) ? 400 : kRowHeight * n + 50;
    const QList<double> &lastGroup = externalTops.isEmpty() ? internalTops : externalTops;
    if (!lastGroup.isEmpty())
        H = std::max(H, lastGroup.last() + kRowHeight + kBottomGap);
    layout.height = H;
    if (!isOnlyShowEx)
        layout.internalHeading = QRectF(20, H - 30, 200, 20);
    for (const double top : std::as_const(internalTops))
        layout.internalRows.append(QPointF(0, H - top - kRowHeight));
    if (externalCount > 0) {
        const double headingY = isOnlyShowEx ? H - 30 : H - kRowHeight * k - 63;
        layout.externalHeading = QRectF(20, headingY, 200, 20);
        for (const double top : std::as_const(externalTops))
            layout.externalRows.append(QPointF(0, H - top - kRowHeight));
    }
    return layout;
}

void SelectDiskViewController::showView()
{
    if (!m_isStarted)
        return;
    ui->loadP->setHidden(true);

    QList<VolumeObjPtr> internals;
    QList<VolumeObjPtr> externals;
    for (const VolumeObjPtr &v : std::as_const(m_allVolumeArr)) {
        if (!v)
            continue;
        (v->bCanEject ? externals : internals).append(v);
    }
    // Only the normal listing has internal records; the external-only one
    // files every whole disk as external.
    const ListLayout layout = layoutFor(int(internals.size()), int(externals.size()), m_isOnlyShowEx);
    const double H = layout.height;

    auto *document = new QWidget;
    document->setObjectName(QStringLiteral("documentView"));
    document->setAutoFillBackground(false);
    document->resize(int(documentWidth), int(H));
    if (layout.internalHeading)
        makeHeading(internalHeading(), *layout.internalHeading, H, document);
    if (layout.externalHeading)
        makeHeading(externalHeading(), *layout.externalHeading, H, document);

    auto addRow = [&](const VolumeObjPtr &volume, const QPointF &origin, bool external) {
        auto *row = new DiskListViewController(document);
        row->setDiskListVCDelegate(this);
        if (external)
            row->setIsOnlyShowEx(m_isOnlyShowEx);
        row->setVolumeObj(volume);
        row->setGeometry(CocoaGeometry::toQt(QRectF(origin, QSizeF(row->width(), row->height())), H).toRect());
        row->refreshaView();
        row->show();
        m_diskListVC = row;
    };
    for (qsizetype i = 0; i < layout.internalRows.size(); ++i)
        addRow(internals[i], layout.internalRows[i], false);
    for (qsizetype j = 0; j < layout.externalRows.size(); ++j)
        addRow(externals[j], layout.externalRows[j], true);

    ui->listScrollView->setWidget(document);
    // The list lies on the popover's own background.
    document->setAutoFillBackground(false);
    // Scrolled so that the top of the list shows: the clip's origin at
    // H - visible height in the document's bottom-left coordinates.
    const double visible = ui->listScrollView->viewport()->height();
    const QRectF clip = CocoaGeometry::toQt(QRectF(0, H - visible, documentWidth, visible), H);
    ui->listScrollView->verticalScrollBar()->setValue(int(clip.top()));
    m_isListShown = true;
}

void SelectDiskViewController::doSelectDiskWithVolume(const VolumeObjPtr &volume)
{
    if (m_selectDiskVCDelegate)
        m_selectDiskVCDelegate->doSelectDiskWithVolume(volume);
}
