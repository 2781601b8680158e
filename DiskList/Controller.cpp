#include "Controller.h"

#include "Workspace.h"

Controller::Controller(ControllerDelegate *delegate) : m_aDelegate(delegate) {}

// The engine goes first: once it is gone no end call can reach this object.
Controller::~Controller() { m_eumeRoot.reset(); }

void Controller::eumeAllRootFileNodeWithRootArr(const FileNodeArrayPtr &arr, const QString &withRootPath,
                                                bool withCopyAll, bool withCopyFiles)
{
    // Dropping the previous engine first keeps its end call from reading the new flags.
    m_eumeRoot.reset();
    m_isCopyAllFiles = withCopyAll;
    m_isCopyFiles = withCopyFiles;
    m_eumeRoot = std::make_unique<EumeRoot>(this);
    m_eumeRoot->eumeAllRootFileNodeWithRootArr(arr, withRootPath);
    m_aRootArr = m_eumeRoot->rootNodeArr();
}

void Controller::getNodeListWithFaterNode(FileNode *node)
{
    if (!m_eumeRoot)
        m_eumeRoot = std::make_unique<EumeRoot>(this);
    m_eumeRoot->getNodeListWithFaterNode(node);
}

float Controller::getProgress() const { return m_eumeRoot ? m_eumeRoot->getProgress() : 0.0f; }

void Controller::takeSelectNodeArr(const FileNodeArray &arr)
{
    FileNodeList taken;
    FileNode::walkSelectionNodes(arr, [&taken](const FileNodePtr &node) { taken.append(node); });
    m_selectNodeArr = std::move(taken);
}

bool Controller::isScanning() const { return m_eumeRoot && m_eumeRoot->isScanning(); }

void Controller::openFileWithFileNode(const FileNode *node)
{
    if (!node || node->path.isEmpty())
        return;
    // A file-manager window shows the item selected in its folder.
    Platform::Workspace::shared().selectFile(node->path);
}

void Controller::changeSelectWithNode(FileNode *node, qint8 withSelectState)
{
    changeChildrenFilNodeStateWithFileNode(node, withSelectState);
    changeSelectAllButtonState();
    reloadTree();
}

void Controller::changeChildrenFilNodeStateWithFileNode(FileNode *node, qint8 withSelectState)
{
    if (!node)
        return;
    const qint64 state = withSelectState ? FileNode::Checked : FileNode::Unchecked;
    node->state = state;
    if (!node->isDirectory)
        return;
    for (const FileNodePtr &child : std::as_const(node->children)) {
        child->state = state;
        if (child->isDirectory && node->isExpand)
            changeSelectWithNode(child.get(), withSelectState);
    }
}

void Controller::changeFatherNodeSelectStateWithFileNode(FileNode *node, qint8 withSelectState)
{
    if (node && node->father) {
        FileNode *father = node->father;
        qsizetype checked = 0;
        bool anyPartly = false;
        for (const FileNodePtr &child : std::as_const(father->children)) {
            if (child->state == FileNode::Checked)
                ++checked;
            else if (child->state == FileNode::PartlyChecked)
                anyPartly = true;
        }
        if (checked == father->children.size())
            father->state = FileNode::Checked;
        else if (checked >= 1 || anyPartly)
            father->state = FileNode::PartlyChecked;
        else
            father->state = FileNode::Unchecked;
        changeFatherNodeSelectStateWithFileNode(father, withSelectState);
    }
    changeSelectAllButtonState();
    reloadTree();
}

void Controller::changeSelectAllButtonState()
{
    if (ControllerDelegate *d = aDelegate())
        d->changeSelectAllButtonState();
}

void Controller::reloadTree()
{
    if (ControllerDelegate *d = aDelegate())
        d->reloadTreeList();
}

void Controller::clickCheckBoxWithNode(FileNode *node)
{
    if (!node)
        return;
    const qint8 newState = node->state == FileNode::Checked ? 0 : 1;
    node->state = newState;
    if (node->isExpand)
        changeSelectWithNode(node, newState);
    changeFatherNodeSelectStateWithFileNode(node, newState);
}

void Controller::expandNode(FileNode *node)
{
    if (!node)
        return;
    node->isExpand = true;
    if (node->children.isEmpty()) {
        getNodeListWithFaterNode(node);
        return;
    }
    if (node->state != FileNode::PartlyChecked)
        changeSelectWithNode(node, qint8(node->state));
}

void Controller::collapseNode(FileNode *node)
{
    if (node)
        node->isExpand = false;
}

int Controller::selectAllStateForArr(const FileNodeArray &arr)
{
    if (arr.isEmpty())
        return 0;
    qsizetype checked = 0;
    bool anyPartly = false;
    for (const FileNodePtr &node : arr) {
        if (node->state == FileNode::Checked)
            ++checked;
        else if (node->state == FileNode::PartlyChecked)
            anyPartly = true;
    }
    if (checked == arr.size())
        return 1;
    if (checked >= 1 || anyPartly)
        return 2;
    return 0;
}

int Controller::setAllSelectOrNoSelect(FileNodeArray &arr, int selectAllButSt)
{
    const int newState = selectAllButSt == 1 ? 0 : 1;
    for (const FileNodePtr &node : std::as_const(arr)) {
        node->state = newState;
        changeNodeState(node.get());
    }
    reloadTree();
    return newState;
}

void Controller::changeNodeState(FileNode *node)
{
    if (!node || !node->isExpand)
        return;
    for (const FileNodePtr &child : std::as_const(node->children)) {
        child->state = node->state;
        changeNodeState(child.get());
    }
}

void Controller::endScan()
{
    if (!m_isCopyAllFiles)
        return;
    ControllerDelegate *d = aDelegate();
    if (!d)
        return;
    if (m_isCopyFiles)
        d->copyFileScanFiles();
    else
        d->endScanFiles();
}

void Controller::endEumeNode() { reloadTree(); }
