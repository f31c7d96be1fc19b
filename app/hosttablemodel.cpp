#include "hosttablemodel.h"

#include "lookup.h"

#include <QBrush>
#include <QDateTime>
#include <QStringList>

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
        if (sharesAddress(index.row()) && m_markColor.isValid())
            return QBrush(m_markColor);
        return isNew(index.row()) && m_newColor.isValid() ? QBrush(m_newColor) : QVariant();
    case Qt::ToolTipRole:
        return toolTip(index.row());
    case Qt::AccessibleDescriptionRole: {
        const QStringList notes = notesOf(index.row());
        return notes.isEmpty() ? QVariant() : notes.join(QStringLiteral("; "));
    }
    default:
        return {};
    }
}

QStringList HostTableModel::notesOf(int row) const
{
    QStringList notes;
    if (sharesAddress(row))
        notes << QStringLiteral("address shared with another row");
    if (const auto seen = m_newRows.constFind(row); seen != m_newRows.constEnd())
        notes << QStringLiteral("new since %1").arg(seen->toString(QStringLiteral("HH:mm")));
    return notes;
}

QString HostTableModel::toolTip(int row) const
{
    const kelto::HostFields fields = kelto::fieldsOf(m_table.row(row));
    QStringList lines{QStringLiteral("Address: %1").arg(fields.address),
                      QStringLiteral("Host name: %1").arg(fields.hostName),
                      QStringLiteral("MAC: %1").arg(fields.mac)};
    const kelto::RowLease lease = kelto::leaseOf(m_table, row, QDateTime::currentSecsSinceEpoch());
    if (!lease.end.isEmpty())
        lines << QStringLiteral("Lease end: %1 (%2)").arg(lease.end, lease.state);
    if (const QString vendor = vendorOf(row); !vendor.isEmpty())
        lines << QStringLiteral("Vendor: %1").arg(vendor);
    return (lines + notesOf(row)).join(u'\n');
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

void HostTableModel::setVendorFolder(const QString &folder)
{
    m_vendorFolder = folder;
    m_vendors.reset();
}

QString HostTableModel::vendorOf(int row) const
{
    const kelto::HostFields fields = kelto::fieldsOf(m_table.row(row));
    if (fields.mac.isEmpty())
        return {};
    if (!m_vendors)
        m_vendors = kelto::VendorRegistry::readFolder(kelto::vendorListFolder(m_vendorFolder));
    return m_vendors->vendorOf(fields.mac);
}

void HostTableModel::setNewRows(QHash<int, QTime> rows)
{
    m_newRows = std::move(rows);
    if (rowCount() > 0)
        emit dataChanged(index(0), index(rowCount() - 1),
                         {Qt::BackgroundRole, Qt::ToolTipRole, Qt::AccessibleDescriptionRole});
}

void HostTableModel::setNewColor(const QColor &color)
{
    m_newColor = color;
    if (rowCount() > 0)
        emit dataChanged(index(0), index(rowCount() - 1), {Qt::BackgroundRole});
}

void HostTableModel::setTable(kelto::HostTable table)
{
    beginResetModel();
    m_table = std::move(table);
    m_newRows.clear();
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
