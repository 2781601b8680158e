#pragma once
#include <QStringList>
#include <QTreeView>

class NewOutlineViewDelegate;

// The file browser's outline: dark column headers, no selection highlight of
// the platform's own, and one row drawn highlighted (rowNum, a visible row
// number counted from the top; 0 at creation, -1 for none) on a rounded grey
// band 692 points wide.
//
// Its columns are named by identifiers; the interface file gives them with
// their titles and widths (columnIdentifiers, columnTitles, columnWidths).
class NewOutlineView : public QTreeView {
    Q_OBJECT
    Q_PROPERTY(QStringList columnIdentifiers READ columnIdentifiers WRITE setColumnIdentifiers)
    Q_PROPERTY(QStringList columnTitles READ columnTitles WRITE setColumnTitles)
    Q_PROPERTY(QStringList columnWidths READ columnWidths WRITE setColumnWidths)
public:
    explicit NewOutlineView(QWidget *parent = nullptr);

    qint64 rowNum() const { return m_rowNum; }
    void setRowNum(qint64 row);
    // Not owned.
    NewOutlineViewDelegate *aDelegate() const { return m_aDelegate; }
    void setADelegate(NewOutlineViewDelegate *delegate) { m_aDelegate = delegate; }

    QStringList columnIdentifiers() const { return m_columnIdentifiers; }
    void setColumnIdentifiers(const QStringList &identifiers) { m_columnIdentifiers = identifiers; }
    QStringList columnTitles() const { return m_columnTitles; }
    void setColumnTitles(const QStringList &titles) { m_columnTitles = titles; }
    QStringList columnWidths() const { return m_columnWidths; }
    void setColumnWidths(const QStringList &widths) { m_columnWidths = widths; }
    // The column of an identifier, -1 when there is none.
    int columnWithIdentifier(const QString &identifier) const;
    QString identifierOfColumn(int column) const;
    // Gives the columns their widths from the interface file (once a model is set).
    void applyColumnWidths();

    // Visible rows, counted from the top of the outline.
    qint64 rowForIndex(const QModelIndex &index) const;
    QModelIndex indexForRow(qint64 row) const;

    // The band behind a row: the row's rectangle 692 points wide.
    static constexpr int highlightWidth = 692;
    static QColor highlightColor();

protected:
    void drawRow(QPainter *painter, const QStyleOptionViewItem &options, const QModelIndex &index) const override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    qint64 m_rowNum = 0;
    NewOutlineViewDelegate *m_aDelegate = nullptr;
    QStringList m_columnIdentifiers;
    QStringList m_columnTitles;
    QStringList m_columnWidths;
};
