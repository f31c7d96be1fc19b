#include "healthwindow.h"

#include "health.h"
#include "ipv4.h"
#include "lookup.h"
#include "pools.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QProgressBar>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int RowRole = Qt::UserRole; // the host table row an item leads to

enum PoolColumn {
    Name,
    Addresses,
    Size,
    Held,
    Active,
    Expired,
    NoLeaseEnd,
    Free,
    Use,
    FreeAddresses
};

// The selected items in list order, one per line, their columns apart by tabs, as they
// are shown.
QString selectedText(QTreeWidget *tree)
{
    QString text;
    for (QTreeWidgetItemIterator it(tree, QTreeWidgetItemIterator::Selected); *it; ++it) {
        QStringList columns;
        for (int column = 0; column < tree->columnCount(); ++column)
            columns << (*it)->text(column);
        while (!columns.isEmpty() && columns.back().isEmpty())
            columns.removeLast();
        text += columns.join(u'\t') + u'\n';
    }
    return text;
}

// A list whose Ctrl+C and context menu copy every selected item, as the host table does;
// the view's own Ctrl+C copies only the current one.
class CopyingTree : public QTreeWidget
{
public:
    CopyingTree()
    {
        auto *copy = new QAction(QStringLiteral("Copy"), this);
        copy->setShortcuts(QKeySequence::keyBindings(QKeySequence::Copy));
        copy->setShortcutContext(Qt::WidgetShortcut);
        connect(copy, &QAction::triggered, this, &CopyingTree::copy);
        addAction(copy);
        setContextMenuPolicy(Qt::ActionsContextMenu);
    }

    void copy() { QGuiApplication::clipboard()->setText(selectedText(this)); }

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->matches(QKeySequence::Copy)) {
            copy();
            event->accept();
            return;
        }
        QTreeWidget::keyPressEvent(event);
    }
};

QTreeWidget *list(const char *name, const QString &accessibleName, const QStringList &headers)
{
    auto *tree = new CopyingTree;
    tree->setObjectName(QLatin1StringView(name));
    tree->setAccessibleName(accessibleName);
    tree->setColumnCount(int(headers.size()));
    tree->setHeaderLabels(headers);
    tree->setHeaderHidden(headers.size() == 1);
    tree->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tree->setUniformRowHeights(true);
    tree->setTextElideMode(Qt::ElideNone);
    tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tree->header()->setStretchLastSection(false);
    return tree;
}

// A finding that names rows of the host table: the finding, with its rows below it as
// the table shows them, each leading to its row.
void addRowFinding(QTreeWidget *tree, const QString &text, const kelto::HostTable &table,
                   const kelto::RowList &rows, const QFont &rowFont)
{
    auto *finding = new QTreeWidgetItem(tree, {text});
    if (!rows.empty())
        finding->setData(0, RowRole, qlonglong(rows.front()));
    for (const qsizetype row : rows) {
        auto *item = new QTreeWidgetItem(finding, {table.rowText(row)});
        item->setData(0, RowRole, qlonglong(row));
        item->setFont(0, rowFont);
    }
    finding->setExpanded(true);
}

void addLineFinding(QTreeWidget *tree, qsizetype line, const QString &text)
{
    new QTreeWidgetItem(tree, {QStringLiteral("line %1: %2").arg(line).arg(text)});
}

QString quoted(const QString &text)
{
    return u'"' + text + u'"';
}

QString numbers(const std::vector<qsizetype> &lines)
{
    QStringList texts;
    for (const qsizetype line : lines)
        texts << QString::number(line);
    return texts.join(QStringLiteral(", "));
}

QStringList countColumns(const QString &name, const QString &addresses,
                         const kelto::PoolCounts &counts)
{
    return {name,
            addresses,
            QString::number(counts.size),
            QString::number(counts.held),
            QString::number(counts.active),
            QString::number(counts.expired),
            QString::number(counts.noLeaseEnd),
            QString::number(counts.free()),
            QStringLiteral("%1%").arg(counts.usePercent())};
}

void addUseBar(QTreeWidget *tree, QTreeWidgetItem *item, const kelto::PoolCounts &counts)
{
    auto *bar = new QProgressBar;
    bar->setRange(0, 100);
    bar->setValue(counts.usePercent());
    bar->setAccessibleName(QStringLiteral("Use of %1").arg(item->text(Name)));
    tree->setItemWidget(item, Use, bar);
}

} // namespace

HealthWindow::HealthWindow(const QFont &rowFont, QWidget *parent)
    : QWidget(parent, Qt::Window), m_rowFont(rowFont)
{
    // The table's rows, at the size of the text around them.
    m_rowFont.setPointSizeF(font().pointSizeF());
    setObjectName(QStringLiteral("HealthWindow"));
    setWindowTitle(QStringLiteral("Kelto - health and pools"));
    m_state = new QLabel(this);
    m_state->setObjectName(QStringLiteral("state"));
    m_state->setTextFormat(Qt::PlainText);
    m_state->setWordWrap(true);
    m_findings = list("findings", QStringLiteral("Findings"), {QStringLiteral("Finding")});
    m_pools = list("pools", QStringLiteral("Pools"),
                   {QStringLiteral("Pool"), QStringLiteral("Addresses"), QStringLiteral("Size"),
                    QStringLiteral("Held"), QStringLiteral("Active"), QStringLiteral("Expired"),
                    QStringLiteral("No lease end"), QStringLiteral("Free"), QStringLiteral("Use"),
                    QStringLiteral("Free addresses")});
    constexpr int UseBarWidth = 110;
    m_pools->header()->setSectionResizeMode(Use, QHeaderView::Fixed);
    m_pools->header()->resizeSection(Use, UseBarWidth);
    connect(m_findings, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem *item) {
        if (const QVariant row = item->data(0, RowRole); row.isValid())
            emit rowActivated(qsizetype(row.toLongLong()));
    });

    auto *splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(m_findings);
    splitter->addWidget(m_pools);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_state);
    layout->addWidget(splitter);
    resize(720, 480);
}

void HealthWindow::showReports(const kelto::HostTable &table, const kelto::HealthReport &health,
                               const kelto::PoolsReport &pools)
{
    showFindings(table, health);
    showPools(pools);
    m_state->setText(QStringLiteral("Findings: %1. Pools: %2.")
                         .arg(m_findings->topLevelItemCount() - (health.isEmpty() ? 1 : 0))
                         .arg(pools.pools.size()));
}

void HealthWindow::showFailure(const QString &cause)
{
    m_findings->clear();
    m_pools->clear();
    m_state->setText(QStringLiteral("read failed: %1").arg(cause));
}

void HealthWindow::showFindings(const kelto::HostTable &table, const kelto::HealthReport &health)
{
    m_findings->clear();
    for (const kelto::RowList &rows : health.sharedAddresses)
        addRowFinding(m_findings,
                      QStringLiteral("address %1 is held by %2 clients")
                          .arg(kelto::fieldsOf(table.row(rows.front())).address)
                          .arg(rows.size()),
                      table, rows, m_rowFont);
    for (const kelto::SharedMac &mac : health.sharedMacs)
        addRowFinding(m_findings,
                      QStringLiteral("MAC %1 heads %2 client sections (lines %3)")
                          .arg(mac.text)
                          .arg(mac.headerLines.size())
                          .arg(numbers(mac.headerLines)),
                      table, mac.rows, m_rowFont);
    for (const kelto::RowList &rows : health.sharedHostNames)
        addRowFinding(m_findings,
                      QStringLiteral("host name %1 is on more than one MAC")
                          .arg(quoted(kelto::fieldsOf(table.row(rows.front())).hostName)),
                      table, rows, m_rowFont);
    kelto::forEachLineFinding(
        health,
        [this](const kelto::AddressLineProblem &problem) {
            addLineFinding(m_findings, problem.line,
                           QStringLiteral("address %1 is not a dotted IPv4 address: %2")
                               .arg(quoted(problem.value),
                                    problem.keyStartsLine ? kelto::describe(problem.problem)
                                                          : QString(kelto::KeyNotAtLineStart)));
        },
        [this](const kelto::KeyLine &key) {
            addLineFinding(
                m_findings, key.line,
                QStringLiteral("%1 is %2").arg(quoted(key.text), kelto::UnreadAddressKey));
        },
        [this](const kelto::HostNameBeforeAddress &name) {
            addLineFinding(m_findings, name.line,
                           QStringLiteral("host name %1 stands before the address of its "
                                          "section: the table shows %2 for %3")
                               .arg(quoted(name.hostName),
                                    name.shownHostName.isEmpty() ? QStringLiteral("no host name")
                                                                 : quoted(name.shownHostName),
                                    name.address));
        },
        [this](const kelto::KeyLine &lease) {
            addLineFinding(
                m_findings, lease.line,
                QStringLiteral("LeaseEnd %1 is %2").arg(quoted(lease.text), kelto::BadLeaseEnd));
        });
    if (health.notServerFile)
        new QTreeWidgetItem(m_findings, {kelto::NotServerFile});
    if (health.isEmpty())
        new QTreeWidgetItem(m_findings, {QStringLiteral("no findings")});
}

void HealthWindow::showPools(const kelto::PoolsReport &report)
{
    m_pools->clear();
    for (const kelto::PoolStatus &pool : report.pools) {
        const QString addresses
            = pool.value == pool.setting->value
                  ? pool.value
                  : QStringLiteral("%1 = %2").arg(pool.setting->value, pool.value);
        auto *item = new QTreeWidgetItem(m_pools,
                                         countColumns(pool.setting->name, addresses, pool.counts));
        item->setText(FreeAddresses,
                      pool.free.empty() ? QStringLiteral("none") : kelto::compactRanges(pool.free));
        addUseBar(m_pools, item, pool.counts);
        for (const kelto::KeyLine &address : pool.templates)
            new QTreeWidgetItem(item, {QStringLiteral("a template section may assign addresses "
                                                      "here: line %1, %2")
                                           .arg(address.line)
                                           .arg(address.text)});
        item->setExpanded(true);
    }
    if (report.oneBigPool && !report.pools.empty()) {
        auto *all = new QTreeWidgetItem(
            m_pools, countColumns(QStringLiteral("all pools, as one"), {}, report.total));
        addUseBar(m_pools, all, report.total);
    }
    for (const kelto::PoolReading &skipped : report.skipped)
        new QTreeWidgetItem(
            m_pools,
            {skipped.setting->name,
             QStringLiteral("%1: not read, %2").arg(skipped.setting->value, skipped.problem)});
}
