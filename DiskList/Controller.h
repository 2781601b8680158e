#pragma once
#include "EumeRoot.h"
#include "FileNode.h"

#include <QString>
#include <atomic>
#include <memory>

// Receives the scanner's results and the tree's redraw requests. Every call is
// optional: the empty bodies stand for "not implemented".
class ControllerDelegate {
public:
    virtual ~ControllerDelegate() = default;
    virtual void reloadTreeList() {}
    virtual void changeSelectAllButtonState() {}
    // End of a root scan started with the copy-all flag: without the
    // copy-files flag endScanFiles, with it copyFileScanFiles. Both arrive on
    // a background thread.
    virtual void endScanFiles() {}
    virtual void copyFileScanFiles() {}
    // Declared for scanners that report each entry; this one never sends it.
    virtual void changeProgressWithPoint(float point, const QString &withPath)
    {
        Q_UNUSED(point);
        Q_UNUSED(withPath);
    }
};

// The facade over the scanner and the check marks that the file browser and
// the Disk Copy and Disk Image pages each own. Lives on the main thread.
class Controller : public EumeRootDelegate {
public:
    explicit Controller(ControllerDelegate *delegate = nullptr);
    ~Controller() override;

    ControllerDelegate *aDelegate() const { return m_aDelegate.load(); }
    void setADelegate(ControllerDelegate *delegate) { m_aDelegate = delegate; }

    // Scanning.
    void eumeAllRootFileNodeWithRootArr(const FileNodeArrayPtr &arr, const QString &withRootPath, bool withCopyAll,
                                        bool withCopyFiles);
    void getNodeListWithFaterNode(FileNode *node);
    float getProgress() const;
    // The latest root scan still puts nodes into its array.
    bool isScanning() const;
    // Shows the node selected in a file-manager window; where no file manager
    // answers, its folder is opened. A node without a path shows nothing.
    void openFileWithFileNode(const FileNode *node);

    FileNodeArrayPtr aRootArr() const { return m_aRootArr; }
    // What a selection takes whole (FileNode::walkSelection) as of the last
    // takeSelectNodeArr: the browser takes it when OK hands its tree on.
    const FileNodeList &selectNodeArr() const { return m_selectNodeArr; }
    void setSelectNodeArr(const FileNodeList &nodes) { m_selectNodeArr = nodes; }
    void takeSelectNodeArr(const FileNodeArray &arr);
    bool isStopRemove() const { return m_isStopRemove; }
    void setIsStopRemove(bool stop) { m_isStopRemove = stop; }
    bool isCopyAllFiles() const { return m_isCopyAllFiles; }
    bool isCopyFiles() const { return m_isCopyFiles; }
    EumeRoot *eumeRoot() const { return m_eumeRoot.get(); }

    // Check marks.
    // Sets a node and pushes the mark down to its loaded children, and on
    // through every expanded folder; then the select-all box and the tree are
    // brought up to date.
    void changeSelectWithNode(FileNode *node, qint8 withSelectState);
    void changeChildrenFilNodeStateWithFileNode(FileNode *node, qint8 withSelectState);
    // Recomputes every ancestor of a node from its children.
    void changeFatherNodeSelectStateWithFileNode(FileNode *node, qint8 withSelectState);
    void changeSelectAllButtonState();
    void reloadTree();

    // The browser's gestures, carried out on the tree (the browser ignores box
    // clicks itself while its scan runs).
    // A click on a node's box: checked becomes unchecked, anything else checked.
    void clickCheckBoxWithNode(FileNode *node);
    // Expanding lists a folder the first time; later it pushes the folder's
    // plain mark down again, since collapsed folders do not follow their marks.
    void expandNode(FileNode *node);
    void collapseNode(FileNode *node);
    // The select-all box: its state (0, 1, 2) for a top-level array, and a
    // click on it (returns the box's new state; the box is not recomputed).
    static int selectAllStateForArr(const FileNodeArray &arr);
    int setAllSelectOrNoSelect(FileNodeArray &arr, int selectAllButSt);
    // The select-all push: through expanded nodes only.
    static void changeNodeState(FileNode *node);

    // EumeRootDelegate
    void endScan() override;
    void endEumeNode() override;

    Controller(const Controller &) = delete;
    Controller &operator=(const Controller &) = delete;

private:
    FileNodeArrayPtr m_aRootArr;
    FileNodeList m_selectNodeArr;
    bool m_isStopRemove = false;
    std::atomic<bool> m_isCopyAllFiles{false};
    std::atomic<bool> m_isCopyFiles{false};
    std::unique_ptr<EumeRoot> m_eumeRoot;
    std::atomic<ControllerDelegate *> m_aDelegate{nullptr};
};
