#pragma once

#include "hosttable.h"
#include "vendors.h"

#include <QAbstractListModel>
#include <QColor>
#include <QHash>
#include <QItemSelection>
#include <QTime>

#include <optional>

// The host table as a list model: one row of text per host row, composed when the view
// asks for it, so a million rows cost no more than the table itself. Rows whose address
// is shared with a neighbour carry a mark of their own, so that a click, which changes
// the selection, never hides a duplicate.
class HostTableModel : public QAbstractListModel
{
    Q_OBJECT

public:
    explicit HostTableModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    const kelto::HostTable &table() const { return m_table; }
    void setTable(kelto::HostTable table);
    void clear();

    // The rows that repeat the address above them, as one selection of ranges.
    QItemSelection repeatedRows() const;
    // The vendor of the row's MAC, from the IEEE registry's lists; empty when unknown.
    QString vendorOf(int row) const;
    // Whether the row shares its address with the row before or after it: the repeated
    // rows and the first row of each of their runs. Only a complete scan marks any.
    bool sharesAddress(int row) const;
    // The background of the rows that share an address.
    void setMarkColor(const QColor &color);

    // Rows of clients that are new since the file was first read, each with the time it
    // was first seen: a tint of their own (below the mark of a shared address) and
    // "new since 14:05" as their tooltip and accessible description.
    void setNewRows(QHash<int, QTime> rows);
    // Where the vendor lists are (empty: where vendorListFolder() says), read when a
    // tooltip first asks for a vendor.
    void setVendorFolder(const QString &folder);
    void setNewColor(const QColor &color);
    bool isNew(int row) const { return m_newRows.contains(row); }

private:
    // What the row's accessible description says besides its text: a shared address, new.
    QStringList notesOf(int row) const;
    // Its fields one per line, the lease end and vendor where known, and the notes.
    QString toolTip(int row) const;

    kelto::HostTable m_table;
    QColor m_markColor;
    QHash<int, QTime> m_newRows;
    QString m_vendorFolder;
    mutable std::optional<kelto::VendorRegistry> m_vendors;
    QColor m_newColor;
};
