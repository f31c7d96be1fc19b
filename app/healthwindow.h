#pragma once

#include <QWidget>

namespace kelto {
class HostTable;
struct HealthReport;
struct PoolsReport;
} // namespace kelto

class QLabel;
class QTreeWidget;

// What the reservation health check and the pools say of the file the window shows, in a
// window of its own beside it: the findings, each row of a finding leading to that row of
// the host table, and each pool with its counts, a bar of its use and its free addresses.
class HealthWindow : public QWidget
{
    Q_OBJECT

public:
    // Rows of the host table are shown in `rowFont`, the table's fixed-pitch font.
    explicit HealthWindow(const QFont &rowFont, QWidget *parent = nullptr);

    // The findings and pools of a complete read; the rows that `health` names are rows of
    // `table`, as the host table shows them.
    void showReports(const kelto::HostTable &table, const kelto::HealthReport &health,
                     const kelto::PoolsReport &pools);
    // A read that failed: nothing is known of the file.
    void showFailure(const QString &cause);

signals:
    // A row of a finding was activated (Enter, double click): the row of the host table.
    void rowActivated(qsizetype row);

private:
    void showFindings(const kelto::HostTable &table, const kelto::HealthReport &health);
    void showPools(const kelto::PoolsReport &pools);

    QFont m_rowFont;
    QLabel *m_state = nullptr;
    QTreeWidget *m_findings = nullptr;
    QTreeWidget *m_pools = nullptr;
};
