#pragma once
#include <QList>
#include <QStringList>
#include <QTreeView>
#include <QVariantMap>

class QAbstractItemModel;

// A flat outline view that is its own data source: it holds its rows itself,
// one dictionary per row from column identifier to the value shown, and no
// row has children or can be expanded. As with any outline, the view takes
// in changed rows only when reloadData is called.
class CommOutlineView : public QTreeView {
    Q_OBJECT
public:
    explicit CommOutlineView(QWidget *parent = nullptr);
    ~CommOutlineView() override;

    // The columns by identifier, with their header titles (the identifier
    // where no title is given).
    void setColumnIdentifiers(const QStringList &identifiers, const QStringList &titles = {});
    QStringList columnIdentifiers() const { return m_identifiers; }
    int columnWithIdentifier(const QString &identifier) const { return int(m_identifiers.indexOf(identifier)); }

    // The rows it holds; shown from the next reloadData.
    void setItems(const QList<QVariantMap> &items) { m_items = items; }
    QList<QVariantMap> items() const { return m_items; }
    void reloadData();

    // Its answers as data source, for the rows shown since the last reload:
    // the root (row -1) has one child per row, a row has none.
    int numberOfChildrenOfItem(int row) const;
    bool isItemExpandable(int row) const;
    QVariant objectValueForTableColumn(const QString &identifier, int row) const;

private:
    QStringList m_identifiers;
    QList<QVariantMap> m_items;
    QList<QVariantMap> m_shown;
    QAbstractItemModel *m_model = nullptr;
};
