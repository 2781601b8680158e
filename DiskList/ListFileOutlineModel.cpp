#include "ListFileOutlineModel.h"

#include "ListFileViewController.h"

#include "PlainText.h"

ListFileOutlineModel::ListFileOutlineModel(ListFileViewController *dataSource, QObject *parent)
    : QAbstractItemModel(parent), m_dataSource(dataSource)
{
}

void ListFileOutlineModel::setRootArr(const FileNodeArrayPtr &arr)
{
    beginResetModel();
    m_rootArr = arr;
    m_top = arr ? *arr : FileNodeList();
    m_topRows.clear();
    m_childRows.clear();
    endResetModel();
}

void ListFileOutlineModel::reload()
{
    emit layoutAboutToBeChanged();
    const QModelIndexList from = persistentIndexList();
    // The old top level stays alive until every old index has been mapped.
    const FileNodeList old = std::exchange(m_top, m_rootArr ? *m_rootArr : FileNodeList());
    QList<const FileNode *> nodes;
    nodes.reserve(from.size());
    for (const QModelIndex &index : from)
        nodes.append(static_cast<const FileNode *>(index.internalPointer()));
    m_topRows.clear();
    m_childRows.clear();
    QModelIndexList to;
    to.reserve(from.size());
    for (qsizetype i = 0; i < from.size(); ++i)
        to.append(indexForNode(nodes[i], from[i].column()));
    changePersistentIndexList(from, to);
    emit layoutChanged();
}

FileNode *ListFileOutlineModel::nodeForIndex(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this)
        return nullptr;
    return static_cast<FileNode *>(index.internalPointer());
}

int ListFileOutlineModel::rowOf(const FileNode *node) const
{
    if (!node)
        return -1;
    if (!node->father) {
        if (m_topRows.isEmpty() && !m_top.isEmpty()) {
            m_topRows.reserve(m_top.size());
            for (qsizetype i = 0; i < m_top.size(); ++i)
                m_topRows.insert(m_top[i].get(), int(i));
        }
        return m_topRows.value(node, -1);
    }
    // A node counts only while its whole line of fathers is shown.
    if (rowOf(node->father) < 0)
        return -1;
    auto it = m_childRows.constFind(node);
    if (it == m_childRows.cend()) {
        const FileNodeList &siblings = node->father->children;
        for (qsizetype i = 0; i < siblings.size(); ++i)
            m_childRows.insert(siblings[i].get(), int(i));
        it = m_childRows.constFind(node);
        if (it == m_childRows.cend())
            return -1;
    }
    return it.value();
}

QModelIndex ListFileOutlineModel::indexForNode(const FileNode *node, int column) const
{
    const int row = rowOf(node);
    if (row < 0 || column < 0 || column >= columnCount())
        return {};
    return createIndex(row, column, const_cast<FileNode *>(node));
}

QModelIndex ListFileOutlineModel::index(int row, int column, const QModelIndex &parent) const
{
    if (row < 0 || column < 0 || column >= columnCount())
        return {};
    if (!parent.isValid()) {
        if (row >= m_top.size())
            return {};
        return createIndex(row, column, m_top[row].get());
    }
    const FileNode *father = nodeForIndex(parent);
    if (!father || parent.column() != 0 || row >= father->children.size())
        return {};
    return createIndex(row, column, father->children[row].get());
}

QModelIndex ListFileOutlineModel::parent(const QModelIndex &child) const
{
    const FileNode *node = nodeForIndex(child);
    if (!node || !node->father)
        return {};
    return indexForNode(node->father, 0);
}

int ListFileOutlineModel::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return int(m_top.size());
    if (parent.column() != 0)
        return 0;
    const FileNode *node = nodeForIndex(parent);
    return node ? int(node->children.size()) : 0;
}

int ListFileOutlineModel::columnCount(const QModelIndex &) const
{
    return int(m_dataSource->columnIdentifiers().size());
}

bool ListFileOutlineModel::hasChildren(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return !m_top.isEmpty();
    if (parent.column() != 0)
        return false;
    const FileNode *node = nodeForIndex(parent);
    return node && m_dataSource->isItemExpandable(node);
}

QString ListFileOutlineModel::identifierOf(int column) const { return m_dataSource->columnIdentifiers().value(column); }

QVariant ListFileOutlineModel::data(const QModelIndex &index, int role) const
{
    const FileNode *node = nodeForIndex(index);
    if (!node)
        return {};
    const QString identifier = identifierOf(index.column());
    switch (role) {
    case Qt::DisplayRole:
        return m_dataSource->objectValueForTableColumn(identifier, node);
    case Qt::ToolTipRole:
        return identifier == QLatin1String("Path") || identifier == QLatin1String("Name")
                   ? QVariant(Platform::plainToolTip(ListFileViewController::shownPath(node)))
                   : QVariant();
    case Qt::DecorationRole:
    case Qt::ForegroundRole:
    case ImageNameRole:
    case EditableRole: {
        const ListFileViewController::CellLook look = m_dataSource->willDisplayCell(identifier, node);
        if (role == Qt::DecorationRole)
            return look.image.isNull() ? QVariant() : QVariant(look.image);
        if (role == Qt::ForegroundRole)
            return look.textColor.isValid() ? QVariant(look.textColor) : QVariant();
        if (role == ImageNameRole)
            return look.imageName;
        return look.editable;
    }
    default:
        return {};
    }
}

QVariant ListFileOutlineModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return m_dataSource->columnTitles().value(section);
}

Qt::ItemFlags ListFileOutlineModel::flags(const QModelIndex &index) const
{
    const FileNode *node = nodeForIndex(index);
    if (!node)
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled;
    if (!m_dataSource->isItemExpandable(node))
        f |= Qt::ItemNeverHasChildren;
    return f;
}
