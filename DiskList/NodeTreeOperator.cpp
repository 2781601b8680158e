#include "NodeTreeOperator.h"

#include "EumeRoot.h"
#include "FileManager.h"

#include <QFile>
#include <functional>

quint64 NodeTreeOperator::getOneFileSizeWithPath(const QString &path) const
{
    return getOneFileSizeWithPath(QFile::encodeName(path));
}

quint64 NodeTreeOperator::getOneFileSizeWithPath(const QByteArray &path) const
{
    const Platform::FileAttributes a = Platform::FileManager::defaultManager().nativeAttributes(path);
    switch (a.type) {
    case Platform::FileAttributes::Type::Missing:
    case Platform::FileAttributes::Type::Directory:
        return 0;
    default:
        return a.size > 0 ? quint64(a.size) : 0;
    }
}

void NodeTreeOperator::setOpDelegate(NodeTreeOperatorDelegate *delegate, std::shared_ptr<void> keepAlive)
{
    m_opDelegate = delegate;
    m_keepAlive = std::move(keepAlive);
}

bool NodeTreeOperator::goOn()
{
    if (m_isStopScan)
        return false;
    NodeTreeOperatorDelegate *d = m_opDelegate.load();
    if (d && !d->canGoOnScan())
        return false;
    return !m_isStopScan;
}

namespace {

struct Walk {
    std::function<bool()> goOn;
    bool stopped = false;

    // Fills `node` (an opened folder) with its children, sums its size and
    // orders the children.
    void fill(FileNode *node, const Platform::OpenFolder &folder)
    {
        FileNodeArray kids;
        quint64 total = 0;
        const QList<QByteArray> names = folder.names();
        for (const QByteArray &name : names) {
            if (stopped || !goOn()) {
                stopped = true;
                break;
            }
            const Platform::FileAttributes a = folder.attributes(name);
            const bool isDirectory = a.type == Platform::FileAttributes::Type::Directory;
            const QByteArray full = node->pathBytes() == "/" ? "/" + name : node->pathBytes() + '/' + name;
            FileNodePtr child = FileNode::initWithNativePath(full, isDirectory, node);
            child->device = a.device;
            child->inode = a.inode;
            child->isSymbolicLink = a.type == Platform::FileAttributes::Type::SymbolicLink;
            if (isDirectory) {
                const Platform::OpenFolder sub = folder.child(name, &a);
                if (sub.isOpen())
                    fill(child.get(), sub);
            } else if (a.type != Platform::FileAttributes::Type::Missing && a.size > 0) {
                child->size = quint64(a.size);
            }
            total += child->size;
            EumeRoot::insertFileInArr(kids, child);
        }
        node->children = std::move(kids);
        node->size = total;
    }
};

} // namespace

FileNodePtr NodeTreeOperator::getNodeTreeWithPath(const QByteArray &path)
{
    const Platform::OpenFolder folder = Platform::OpenFolder::open(path);
    if (!folder.isOpen())
        return nullptr;
    FileNodePtr root = FileNode::initWithNativePath(path, true, nullptr);
    root->recordListing();
    Walk walk{[this] { return goOn(); }};
    walk.fill(root.get(), folder);
    return root;
}
