#include "CommOutlineView.h"

#include <QAbstractItemModel>

#include <functional>

namespace {

// The view's rows as Qt's item views ask for them; every answer comes from
// the view itself.
class SelfModel : public QAbstractItemModel {
public:
    explicit SelfModel(CommOutlineView *view) : QAbstractItemModel(view), m_view(view) {}

    void reset(const std::function<void()> &change)
    {
        beginResetModel();
        change();
        endResetModel();
    }

    QModelIndex index(int row, int column, const QModelIndex &parent) const override
    {
        if (parent.isValid() || row < 0 || row >= m_view->numberOfChildrenOfItem(-1) || column < 0 ||
            column >= columnCount({}))
            return {};
        return createIndex(row, column);
    }
    QModelIndex parent(const QModelIndex &) const override { return {}; }
    int rowCount(const QModelIndex &parent) const override
    {
        return m_view->numberOfChildrenOfItem(parent.isValid() ? parent.row() : -1);
    }
    int columnCount(const QModelIndex &) const override { return int(m_view->columnIdentifiers().size()); }
    bool hasChildren(const QModelIndex &parent) const override
    {
        return !parent.isValid() ? rowCount(parent) > 0 : m_view->isItemExpandable(parent.row());
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
            return {};
        return m_view->objectValueForTableColumn(m_view->columnIdentifiers().value(index.column()), index.row());
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return {};
        return m_titles.value(section);
    }
    Qt::ItemFlags flags(const QModelIndex &index) const override
    {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren : Qt::NoItemFlags;
    }

    QStringList m_titles;

private:
    CommOutlineView *m_view;
};

} // namespace

CommOutlineView::CommOutlineView(QWidget *parent) : QTreeView(parent)
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setExpandsOnDoubleClick(false);
    setUniformRowHeights(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_model = new SelfModel(this);
    setModel(m_model);
}

CommOutlineView::~CommOutlineView() = default;

void CommOutlineView::setColumnIdentifiers(const QStringList &identifiers, const QStringList &titles)
{
    auto *model = static_cast<SelfModel *>(m_model);
    model->reset([&] {
        m_identifiers = identifiers;
        model->m_titles.clear();
        for (int i = 0; i < identifiers.size(); ++i)
            model->m_titles << (i < titles.size() ? titles[i] : identifiers[i]);
    });
}

void CommOutlineView::reloadData()
{
    static_cast<SelfModel *>(m_model)->reset([this] { m_shown = m_items; });
}

int CommOutlineView::numberOfChildrenOfItem(int row) const { return row < 0 ? int(m_shown.size()) : 0; }

bool CommOutlineView::isItemExpandable(int) const { return false; }

QVariant CommOutlineView::objectValueForTableColumn(const QString &identifier, int row) const
{
    if (row < 0 || row >= m_shown.size())
        return {};
    return m_shown[row].value(identifier);
}
