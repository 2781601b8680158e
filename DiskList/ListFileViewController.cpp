#include "ListFileViewController.h"

#include "ui_ListFileViewController.h"

#include "EumeRoot.h"
#include "LagImageATextCell.h"
#include "ListFileOutlineModel.h"
#include "ListFileViewControllerDelagate.h"
#include "NewOutlineView.h"

#include "CancelTextImageButton.h"
#include "ConfirmPanel.h"
#include "CustomHeaderView.h"
#include "QoImage.h"
#include "TextImageButton.h"
#include "ZrImageWindow.h"

#include "GetColor.h"
#include "RFOverlayScrollView.h"
#include "QoPublicUtilities.h"

#include "Clock.h"
#include "FileManager.h"
#include "Dispatch.h"
#include "SystemRoot.h"

#include <QFile>
#include <QHash>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <functional>

namespace {

const QString kCheckBox = QStringLiteral("CheckBox");
const QString kName = QStringLiteral("Name");
const QString kSize = QStringLiteral("Size");
const QString kPath = QStringLiteral("Path");
const QString kOpenFinder = QStringLiteral("OpenFinder");
const QString kPareview = QStringLiteral("Pareview");

QString checkBoxImageName(qint64 state)
{
    switch (state) {
    case FileNode::Checked:
        return QStringLiteral("checkbox_sel");
    case FileNode::Unchecked:
        return QStringLiteral("checkbox_unsel");
    case FileNode::PartlyChecked:
        return QStringLiteral("checkbox_halfsel");
    default:
        return {};
    }
}

QString selectAllImageName(int state) { return checkBoxImageName(state); }

// How often a sum that waits for the scan looks whether the scan has ended.
constexpr int kScanEndPollMs = 20;

} // namespace

// The marks of a kept selection when the browser opened: the top level, and
// for every node below it its state, its children and whether it was shown
// expanded. Holding the nodes keeps them alive through a refresh.
struct ListFileViewController::Marks {
    struct Entry {
        FileNodePtr node;
        qint64 state;
        FileNodeList children;
        bool isExpand;
    };
    FileNodeArrayPtr arr;
    FileNodeArray top;
    QList<Entry> entries;
};

ListFileViewController::ListFileViewController(QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::ListFileViewController>())
{
    ui->setupUi(this);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, getColor(38, 38, 38, 1));
    setPalette(p);

    setUpPanelButton(ui->cancelButton, PanelButtonLook::Secondary, QStringLiteral("取消"));
    setUpPanelButton(ui->doneButton, PanelButtonLook::Primary, QStringLiteral("好的"));
    setUpPanelButton(ui->refeshButton, PanelButtonLook::Secondary, QStringLiteral("刷新"));
    connect(ui->cancelButton, &QPushButton::clicked, this, [this] { cancelButtonAction(ui->cancelButton); });
    connect(ui->doneButton, &QPushButton::clicked, this, [this] { doneButtonAction(ui->doneButton); });
    connect(ui->refeshButton, &QPushButton::clicked, this, [this] { refreshButtonAction(ui->refeshButton); });

    NewOutlineView *outline = ui->outlineView;
    QPalette op = outline->palette();
    op.setColor(QPalette::Base, getColor(38, 38, 38, 1));
    op.setColor(QPalette::Window, getColor(38, 38, 38, 1));
    op.setColor(QPalette::Text, getColor(255, 255, 255, 1));
    // The disclosure triangles are drawn in the window text colour.
    op.setColor(QPalette::WindowText, getColor(199, 199, 199, 1));
    op.setColor(QPalette::ButtonText, getColor(199, 199, 199, 1));
    outline->setPalette(op);
    m_model = new ListFileOutlineModel(this, this);
    outline->setModel(m_model);
    outline->setItemDelegateForColumn(outline->columnWithIdentifier(kName), new LagImageATextCell(outline));
    // The tree's indentation and disclosure triangles go into the name column:
    // every row's check box stands at the same place, however deep the row.
    outline->setTreePosition(outline->columnWithIdentifier(kName));
    m_controller = std::make_unique<Controller>(this);
    headerView();
    outline->applyColumnWidths();
    // The list scrolls under a thin overlay scroller over its right edge, not
    // a stock bar beside it; its fixed columns fill the width.
    m_outlineScrollView = new RFOverlayScrollView(ui->listView);
    m_outlineScrollView->setObjectName(QStringLiteral("outlineScrollView"));
    m_outlineScrollView->setGeometry(outline->geometry());
    m_outlineScrollView->setDocumentView(outline);
    outline->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    connect(outline, &QTreeView::clicked, this, &ListFileViewController::cellClicked);
    connect(outline, &QTreeView::pressed, this,
            [this](const QModelIndex &index) { shouldSelectItem(m_model->nodeForIndex(index)); });
    connect(outline, &QTreeView::expanded, this,
            [this](const QModelIndex &index) { outlineViewItemDidExpand(m_model->nodeForIndex(index)); });
    connect(outline, &QTreeView::collapsed, this,
            [this](const QModelIndex &index) { outlineViewItemDidCollapse(m_model->nodeForIndex(index)); });
}

ListFileViewController::~ListFileViewController()
{
    if (m_summer)
        m_summer->setDelegate(nullptr);
    stopWork();
}

NewOutlineView *ListFileViewController::outlineView() const { return ui->outlineView; }
CancelTextImageButton *ListFileViewController::cancelButton() const { return ui->cancelButton; }
TextImageButton *ListFileViewController::doneButton() const { return ui->doneButton; }
TextImageButton *ListFileViewController::refeshButton() const { return ui->refeshButton; }
QPushButton *ListFileViewController::donotCopyTrashButton() const { return ui->donotCopyTrashButton; }
QWidget *ListFileViewController::waitView() const { return ui->waitView; }
QProgressBar *ListFileViewController::loadProView() const { return ui->loadProView; }
TableBgView *ListFileViewController::listView() const { return ui->listView; }
QWidget *ListFileViewController::aLoadView() const { return ui->aLoadView; }

QIcon ListFileViewController::namedIcon(const QString &name)
{
    static QHash<QString, QIcon> icons;
    auto it = icons.constFind(name);
    if (it != icons.cend())
        return it.value();
    const QoImage image = QoImage::named(name);
    const QIcon icon = image.isNull() ? QIcon() : QIcon(image.pixmap(QSize(16, 16), 2.0));
    icons.insert(name, icon);
    return icon;
}

QHeaderView *ListFileViewController::headerView()
{
    m_selectAllButSt = 0;
    CustomHeaderView *header = CustomHeaderView::replaceHeader(ui->outlineView, 30);
    header->setSectionResizeMode(QHeaderView::Fixed);
    auto *box = new QPushButton(header);
    box->setObjectName(QStringLiteral("selectAllButton"));
    box->setGeometry(20, 8, 16, 16);
    box->setFlat(true);
    box->setFocusPolicy(Qt::NoFocus);
    box->setIconSize(QSize(16, 16));
    box->setStyleSheet(QStringLiteral("QPushButton { border: none; background: transparent; padding: 0; }"));
    connect(box, &QPushButton::clicked, this, [this, box] { setAllSelectOrNoSelect(box); });
    box->show();
    m_selectAllButton = box;
    setSelectAllBox(0);
    return header;
}

void ListFileViewController::setSelectAllBox(int state)
{
    m_selectAllImageName = selectAllImageName(state);
    if (m_selectAllButton) {
        m_selectAllButton->setIcon(namedIcon(m_selectAllImageName));
        m_selectAllButton->setProperty("imageName", m_selectAllImageName);
    }
}

void ListFileViewController::getRootNodeListWithPath(const QString &path)
{
    ui->refeshButton->setButtonEnabled(false);
    ui->doneButton->setButtonEnabled(false);
    m_searchPath = path;
    showDetailPage();
    if (!m_rootNodeArr)
        m_rootNodeArr = std::make_shared<FileNodeArray>();
    m_rootNodeArr->clear();
    m_model->setRootArr(m_rootNodeArr);
    m_controller->eumeAllRootFileNodeWithRootArr(m_rootNodeArr, path, false, false);
    m_selectAllButSt = 1;
    setSelectAllBox(1);
    ui->doneButton->setButtonEnabled(true);
}

void ListFileViewController::showDetailPage()
{
    m_isScan = true;
    if (m_sortTimer)
        delete m_sortTimer.data();
    auto *timer = new QTimer(this);
    timer->setInterval(Platform::Clock::realMs(1.0));
    connect(timer, &QTimer::timeout, this, &ListFileViewController::reloadTreeList);
    timer->start();
    m_sortTimer = timer;
}

void ListFileViewController::setArrForListWithArr(const FileNodeArrayPtr &arr, const QString &withSearchPath)
{
    m_searchPath = withSearchPath;
    m_rootNodeArr = arr ? arr : std::make_shared<FileNodeArray>();
    m_droppedPaths = droppedPathsOf(*m_rootNodeArr, withSearchPath);
    takeMarksOnOpen();
    m_model->setRootArr(m_rootNodeArr);
    restoreExpansion();
    changeSelectAllButtonState();
}

void ListFileViewController::restoreExpansion()
{
    // The outline shows the folders that were open when the selection was
    // last seen; this is only the view following the marks, so the rules
    // that an expansion by the user runs are left out.
    m_isRestoringExpansion = true;
    std::function<void(const FileNodeList &)> walk = [&](const FileNodeList &nodes) {
        for (const FileNodePtr &node : nodes) {
            if (!node || !node->isExpand)
                continue;
            ui->outlineView->expand(m_model->indexForNode(node.get()));
            walk(node->children);
        }
    };
    walk(m_model->shownTopLevel());
    m_isRestoringExpansion = false;
}

QList<QByteArray> ListFileViewController::droppedPathsOf(const FileNodeArray &arr, const QString &searchPath)
{
    // A selection whose items do not all lie directly in the browsed folder
    // came from a drop: it is remade from the items themselves.
    const auto &fm = Platform::FileManager::defaultManager();
    // The browsed folder as the page names it, and as this machine does.
    QList<QByteArray> folders;
    if (!searchPath.isEmpty()) {
        for (const QString &form : {searchPath, Platform::rootPath(searchPath)}) {
            const QByteArray bytes = QFile::encodeName(form);
            folders << bytes << fm.canonicalPath(bytes);
        }
    }
    bool fromDrop = folders.isEmpty();
    QList<QByteArray> paths;
    for (const FileNodePtr &node : arr) {
        if (!node)
            continue;
        const QByteArray path = node->pathBytes();
        paths.append(path);
        const qsizetype slash = path.lastIndexOf('/');
        const QByteArray parent = slash <= 0 ? QByteArray("/") : path.left(slash);
        if (!fromDrop && !folders.contains(parent) && !folders.contains(fm.canonicalPath(parent)))
            fromDrop = true;
    }
    return fromDrop && !paths.isEmpty() ? paths : QList<QByteArray>();
}

void ListFileViewController::refreshButtonAction(QObject *sender)
{
    (void)sender;
    if (m_droppedPaths.isEmpty()) {
        getRootNodeListWithPath(m_searchPath);
        return;
    }
    // What was dropped is listed again, into the same array, every mark set.
    stopWork();
    m_model->setRootArr(nullptr);
    *m_rootNodeArr = *EumeRoot::nodesForDroppedPaths(m_droppedPaths);
    m_model->setRootArr(m_rootNodeArr);
    changeSelectAllButtonState();
}

void ListFileViewController::reloadTreeList()
{
    m_model->reload();
    if (m_isScan && m_controller->getProgress() >= 100) {
        m_isScan = false;
        ui->refeshButton->setButtonEnabled(true);
        if (m_sortTimer) {
            m_sortTimer->stop();
            m_sortTimer->deleteLater();
        }
        m_sortTimer = nullptr;
    }
}

void ListFileViewController::changeSelectAllButtonState()
{
    m_selectAllButSt = m_rootNodeArr ? Controller::selectAllStateForArr(*m_rootNodeArr) : 0;
    setSelectAllBox(m_selectAllButSt);
}

void ListFileViewController::setAllSelectOrNoSelect(QObject *sender)
{
    (void)sender;
    if (m_isScan || !m_rootNodeArr)
        return;
    m_selectAllButSt = m_controller->setAllSelectOrNoSelect(*m_rootNodeArr, m_selectAllButSt);
    setSelectAllBox(m_selectAllButSt);
}

void ListFileViewController::doneButtonAction(QObject *sender)
{
    (void)sender;
    Platform::Dispatch::mainSync([this] { doShowLoadView(); });
    if (ListFileViewControllerDelagate *host = m_detagate.load())
        host->getSelectFilesSize(true);
    // A sum reads the whole tree: while the root scan still adds nodes it
    // waits behind the wait view, and starts once the list is complete.
    if (m_controller->isScanning()) {
        m_isWaitingForScan = true;
        auto *poll = new QTimer(this);
        poll->setInterval(kScanEndPollMs);
        connect(poll, &QTimer::timeout, this, &ListFileViewController::checkScanEndForSum);
        poll->start();
        m_scanEndTimer = poll;
        return;
    }
    startSum();
}

void ListFileViewController::checkScanEndForSum()
{
    if (!m_isWaitingForScan || m_controller->isScanning())
        return;
    m_isWaitingForScan = false;
    if (m_scanEndTimer) {
        m_scanEndTimer->stop();
        m_scanEndTimer->deleteLater();
    }
    m_scanEndTimer = nullptr;
    reloadTreeList();
    startSum();
}

void ListFileViewController::startSum()
{
    if (m_summer)
        m_summer->setDelegate(nullptr);
    if (m_rootNodeArr)
        m_controller->takeSelectNodeArr(*m_rootNodeArr);
    m_summer = GetFilesSize::create(this);
    m_summer->getAllFilesSizeWithArr(m_rootNodeArr);
}

void ListFileViewController::cancelButtonAction(QObject *sender)
{
    (void)sender;
    // The window's close button is wired to its controller's closing.
    if (auto *w = qobject_cast<ZrImageWindow *>(window())) {
        if (QAbstractButton *close = w->standardWindowButton(0)) {
            close->click();
            return;
        }
    }
    window()->close();
}

void ListFileViewController::doShowLoadView()
{
    ui->waitView->show();
    ui->waitView->raise();
    ui->loadProView->show();
    ui->refeshButton->setButtonEnabled(false);
    ui->doneButton->setButtonEnabled(false);
}

void ListFileViewController::doHiddenLoadView()
{
    ui->waitView->hide();
    ui->refeshButton->setButtonEnabled(true);
    ui->doneButton->setButtonEnabled(true);
}

void ListFileViewController::allCopyFilesSize(qint64 size)
{
    // The summer's thread: the view's work goes to the main thread, the
    // result to the host.
    QPointer<ListFileViewController> guard(this);
    const FileNodeArrayPtr arr = m_rootNodeArr;
    ListFileViewControllerDelagate *host = m_detagate.load();
    Platform::Dispatch::mainAsync([guard] {
        if (guard)
            guard->doHiddenLoadView();
    });
    if (host)
        host->closeWindowWithSelect(arr, size);
}

QStringList ListFileViewController::columnIdentifiers() const { return ui->outlineView->columnIdentifiers(); }

QStringList ListFileViewController::columnTitles() const { return ui->outlineView->columnTitles(); }

bool ListFileViewController::isItemExpandable(const FileNode *node) const
{
    if (!node || !node->isDirectory)
        return false;
    return !node->name.endsWith(QLatin1String(".app"), Qt::CaseSensitive) &&
           !node->name.endsWith(QLatin1String(".framework"), Qt::CaseSensitive);
}

QString ListFileViewController::shownPath(const FileNode *node)
{
    // The path the system knows the item by, never the host folder of a world.
    const QString path = Platform::systemPath(node->path);
    return path.isEmpty() ? node->path : path;
}

QVariant ListFileViewController::objectValueForTableColumn(const QString &identifier, const FileNode *node) const
{
    if (!node)
        return {};
    if (identifier == kName)
        return node->displayName();
    if (identifier == kSize)
        return node->isDirectory ? QStringLiteral("-") : QoPublicUtilities::convertVolSpace(node->size);
    if (identifier == kPath)
        return shownPath(node);
    return {};
}

ListFileViewController::CellLook ListFileViewController::willDisplayCell(const QString &identifier,
                                                                         const FileNode *node) const
{
    CellLook look;
    if (!node)
        return look;
    if (identifier == kCheckBox) {
        // A system file keeps its box, but shows no picture and takes no click.
        if (node->isSystemFile())
            return look;
        look.imageName = checkBoxImageName(node->state);
        look.image = look.imageName.isEmpty() ? QIcon() : namedIcon(look.imageName);
        look.editable = !look.imageName.isEmpty();
    } else if (identifier == kName) {
        look.image = node->icon();
        // An entry the workspace has no picture for (a link whose target has
        // gone) still gets one, so its name stands in line with the others.
        if (look.image.isNull())
            look.image = style()->standardIcon(node->isSymbolicLink ? QStyle::SP_FileLinkIcon : QStyle::SP_FileIcon);
        look.textColor = getColor(255, 255, 255, 1);
    } else if (identifier == kSize || identifier == kPath) {
        look.textColor = getColor(199, 199, 199, 1);
    } else if (identifier == kOpenFinder) {
        look.imageName = QStringLiteral("ic_folder");
        look.image = namedIcon(look.imageName);
    }
    return look;
}

void ListFileViewController::cellClicked(const QModelIndex &index)
{
    FileNode *node = m_model->nodeForIndex(index);
    if (!node)
        return;
    setObjectValueForTableColumn(ui->outlineView->identifierOfColumn(index.column()), node);
}

void ListFileViewController::setObjectValueForTableColumn(const QString &identifier, FileNode *node)
{
    if (!node)
        return;
    if (identifier == kCheckBox) {
        if (m_isScan || node->isSystemFile())
            return;
        m_controller->clickCheckBoxWithNode(node);
    } else if (identifier == kOpenFinder) {
        m_controller->openFileWithFileNode(node);
    }
}

void ListFileViewController::outlineViewItemDidExpand(FileNode *node)
{
    if (m_isRestoringExpansion || !node)
        return;
    m_controller->expandNode(node);
    m_selectedRow = -1;
    ui->outlineView->setRowNum(-1);
}

void ListFileViewController::outlineViewItemDidCollapse(FileNode *node)
{
    if (!node)
        return;
    m_controller->collapseNode(node);
    m_selectedRow = -1;
    ui->outlineView->setRowNum(-1);
}

bool ListFileViewController::shouldSelectItem(FileNode *node)
{
    if (!node)
        return false;
    m_selectedRow = ui->outlineView->rowForIndex(m_model->indexForNode(node));
    ui->outlineView->setRowNum(m_selectedRow);
    return true;
}

bool ListFileViewController::shouldEditTableColumn(const QString &identifier, const FileNode *node) const
{
    (void)identifier;
    (void)node;
    return false;
}

void ListFileViewController::outlineViewSelectionDidChange() {}

void ListFileViewController::takeMarksOnOpen()
{
    auto marks = std::make_unique<Marks>();
    marks->arr = m_rootNodeArr;
    marks->top = *m_rootNodeArr;
    std::function<void(const FileNodeList &)> walk = [&](const FileNodeList &nodes) {
        for (const FileNodePtr &node : nodes) {
            if (!node)
                continue;
            marks->entries.append({node, node->state, node->children, node->isExpand});
            walk(node->children);
        }
    };
    walk(marks->top);
    m_marks = std::move(marks);
}

void ListFileViewController::restoreMarksTakenOnOpen()
{
    if (!m_marks)
        return;
    stopWork();
    // The view lets go of every row before nodes may go.
    m_model->setRootArr(nullptr);
    *m_marks->arr = m_marks->top;
    for (const Marks::Entry &e : std::as_const(m_marks->entries)) {
        e.node->state = e.state;
        e.node->children = e.children;
        e.node->isExpand = e.isExpand;
    }
    m_marks.reset();
}

void ListFileViewController::stopWork()
{
    if (m_sortTimer) {
        m_sortTimer->stop();
        delete m_sortTimer.data();
    }
    if (m_scanEndTimer) {
        m_scanEndTimer->stop();
        delete m_scanEndTimer.data();
    }
    m_isWaitingForScan = false;
    // A new controller drops the old one's scan: nothing more is put into the array.
    if (m_controller && m_controller->isScanning())
        m_controller = std::make_unique<Controller>(this);
}
