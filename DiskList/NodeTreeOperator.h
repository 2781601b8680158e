#pragma once
#include "FileNode.h"

#include <QString>
#include <atomic>
#include <memory>

// Asked by a NodeTreeOperator's bulk walk between entries: whether to go on.
// The answer may block while the walk is to pause. Called on the walk's thread.
class NodeTreeOperatorDelegate {
public:
    virtual ~NodeTreeOperatorDelegate() = default;
    // false: the walk ends where it is. Returns once the walk may go on.
    virtual bool canGoOnScan() { return true; }
};

// The scanner's size source: a file's logical size as the file system records
// it, read once when the file is listed; and a bulk walk that lists a folder
// with everything below it.
class NodeTreeOperator {
public:
    NodeTreeOperator() = default;

    // The logical size of the entry at `path` itself (a link counts its own
    // size and is not followed; a folder has none); 0 when it cannot be read.
    // Safe to call from any thread.
    quint64 getOneFileSizeWithPath(const QString &path) const;
    quint64 getOneFileSizeWithPath(const QByteArray &path) const;

    // The bulk walk: a folder node for `path` holding its whole tree, each
    // folder's size the sum of what lies below it and each folder's children
    // ordered by size, largest first (the size-ordered insert). Links are not
    // followed (a link counts its own size); entries that cannot be read count
    // 0. Runs on the caller's thread, which must not be the main thread for a
    // big tree. Before each entry it checks isStopScan and asks opDelegate;
    // a stop ends it there and gives the part walked so far (folders summed
    // over what they got). Null when `path` is no folder.
    FileNodePtr getNodeTreeWithPath(const QByteArray &path);
    // The walk under way (and every later one on this operator) stops at its next entry.
    void stopScan() { m_isStopScan = true; }
    bool isStopScan() const { return m_isStopScan; }

    // Not owned: it must outlive any walk under way, unless `keepAlive`
    // (what holds it) is given, which this operator then keeps.
    NodeTreeOperatorDelegate *opDelegate() const { return m_opDelegate; }
    void setOpDelegate(NodeTreeOperatorDelegate *delegate, std::shared_ptr<void> keepAlive = {});

    NodeTreeOperator(const NodeTreeOperator &) = delete;
    NodeTreeOperator &operator=(const NodeTreeOperator &) = delete;

private:
    bool goOn();

    std::atomic<bool> m_isStopScan{false};
    std::atomic<NodeTreeOperatorDelegate *> m_opDelegate{nullptr};
    std::shared_ptr<void> m_keepAlive; // set before any walk starts
};
