#include "hosttablemodel.h"

#include <QBrush>

#include <limits>

HostTableModel::HostTableModel(QObject *parent) : QAbstractListModel(parent) { }

int HostTableModel::rowCount(const QModelIndex &parent) const
{
    // Item views count rows in int; a table never comes near that many clients.
    return parent.isValid()
               ? 0
               : int(std::min<qsizetype>(m_table.size(), std::numeric_limits<int>::max()));
}

QVariant HostTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return m_table.rowText(index.row());
    case Qt::BackgroundRole:
        return sharesAddress(index.row()) && m_markColor.isValid() ? QBrush(m_markColor)
                                                                   : QVariant();
    case Qt::AccessibleDescriptionRole:
        return sharesAddress(index.row()) ? QStringLiteral("address shared with another row")
                                          : QVariant();
    default:
        return {};
    }
}

bool HostTableModel::sharesAddress(int row) const
{
    return m_table.isRepeated(row) || (row + 1 < rowCount() && m_table.isRepeated(row + 1));
}

void HostTableModel::setMarkColor(const QColor &color)
{
    m_markColor = color;
    if (rowCount() > 0)
        emit dataChanged(index(0), index(rowCount() - 1), {Qt::BackgroundRole});
}

void HostTableModel::setTable(kelto::HostTable table)
{
    beginResetModel();
    m_table = std::move(table);
    endResetModel();
}

void HostTableModel::clear()
{
    setTable({});
}

QItemSelection HostTableModel::repeatedRows() const
{
    QItemSelection selection;
    for (const kelto::RowRange &range : m_table.repeatedRows())
        selection.select(index(int(range.first)), index(int(range.last)));
    return selection;
}
