#pragma once

#include "hosttable.h"

#include <QAbstractListModel>
#include <QItemSelection>

// The host table as a list model: one row of text per host row, composed when the view
// asks for it, so a million rows cost no more than the table itself.
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

private:
    kelto::HostTable m_table;
};
