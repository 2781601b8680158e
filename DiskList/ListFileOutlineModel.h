#pragma once
#include "FileNode.h"

#include <QAbstractItemModel>
#include <QHash>

class ListFileViewController;

// The file browser's outline as the view sees it: the top-level array and
// each node's children, with the values and looks the browser gives per
// column. The view is told of changes only through reload(): until then it
// keeps seeing the top level as it was at the last reload, so a root scan
// that adds nodes between two reloads never changes rows under it. Expanded
// rows and the highlighted row survive a reload; rows whose node has gone
// (a refresh emptied the array) are dropped.
class ListFileOutlineModel : public QAbstractItemModel {
    Q_OBJECT
public:
    // What a cell tells besides its text.
    enum Role { ImageNameRole = Qt::UserRole + 1, EditableRole };

    explicit ListFileOutlineModel(ListFileViewController *dataSource, QObject *parent = nullptr);

    // A new array to show (or none): the view starts afresh.
    void setRootArr(const FileNodeArrayPtr &arr);
    FileNodeArrayPtr rootArr() const { return m_rootArr; }
    // Takes in whatever changed in the tree since the last reload.
    void reload();

    FileNode *nodeForIndex(const QModelIndex &index) const;
    QModelIndex indexForNode(const FileNode *node, int column = 0) const;
    // The rows the view shows at the top level now.
    const FileNodeList &shownTopLevel() const { return m_top; }

    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    bool hasChildren(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    int rowOf(const FileNode *node) const;
    QString identifierOf(int column) const;

    ListFileViewController *m_dataSource;
    FileNodeArrayPtr m_rootArr;
    // The top level as last shown; it also keeps those nodes (and all below
    // them) alive for as long as the view may ask about them.
    FileNodeList m_top;
    mutable QHash<const FileNode *, int> m_topRows;
    mutable QHash<const FileNode *, int> m_childRows;
};
