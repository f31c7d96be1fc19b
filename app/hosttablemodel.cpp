#include "hosttablemodel.h"

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
    default:
        return {};
    }
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
