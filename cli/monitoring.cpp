#include "monitoring.h"

#include "terminal.h"

#include <QLocale>

#include <algorithm>

namespace kelto {

namespace {

constexpr QLatin1StringView PoolsService("POOLS");
constexpr QLatin1StringView CheckService("CHECK");
constexpr QStringView AllPools(u"all pools");
constexpr QStringView TotalLabel(u"total");

// "OK", "WARNING", "CRITICAL", as plugins write their state.
QString stateWord(PoolState state)
{
    return QString(stateName(state)).toUpper();
}

// A perfdata label: in single quotes, a quote in it doubled, as the plugin guidelines
// have it; nothing that would end the line or the label.
void writePerfLabel(Utf8Output &out, QStringView label)
{
    QString quoted;
    for (const QChar c : label) {
        if (c == u'\'')
            quoted += QLatin1StringView("''");
        else if (c != u'=' && c != u'|' && !isControlCharacter(c.unicode()))
            quoted += c;
    }
    out << '\'' << QStringView(quoted) << '\'';
}

// 'label'=held;warn;crit;0;size
void writePoolPerf(Utf8Output &out, QStringView label, const PoolCounts &counts,
                   const PoolThresholds &thresholds)
{
    out << ' ';
    writePerfLabel(out, label);
    out << '=';
    writeNumber(out, counts.held);
    for (const bool critical : {false, true}) {
        out << ';';
        if (const std::optional<quint32> held = thresholds.heldAt(critical, counts.size))
            writeNumber(out, *held);
    }
    out << QLatin1StringView(";0;");
    writeNumber(out, counts.size);
}

// "IPPOOL_1 92% used, 4 free of 50"
void writePoolSummary(Utf8Output &out, QStringView name, const PoolCounts &counts)
{
    out.field(name) << ' ';
    writeNumber(out, counts.usePercent());
    out << QLatin1StringView("% used, ");
    writeNumber(out, counts.free());
    out << QLatin1StringView(" free of ");
    writeNumber(out, counts.size);
}

// A Prometheus label value: backslash, double quote and line end escaped.
QString labelValue(QStringView text)
{
    QString escaped;
    for (const QChar c : text) {
        if (c == u'\\' || c == u'"')
            escaped += u'\\';
        if (c == u'\n')
            escaped += QLatin1StringView("\\n");
        else
            escaped += c;
    }
    return escaped;
}

class PrometheusWriter
{
public:
    explicit PrometheusWriter(Utf8Output &out) : m_out(out) { }

    // Starts a metric family: its help and its type, gauge for all of Kelto's.
    void family(QLatin1StringView name, QLatin1StringView help)
    {
        m_name = name;
        m_out << QLatin1StringView("# HELP ") << name << ' ' << help << '\n';
        m_out << QLatin1StringView("# TYPE ") << name << QLatin1StringView(" gauge\n");
    }
    // A sample of the current family; labels as name, value pairs.
    void sample(const std::vector<std::pair<QLatin1StringView, QString>> &labels, double value)
    {
        m_out << m_name;
        for (size_t i = 0; i < labels.size(); ++i) {
            m_out << (i == 0 ? '{' : ',') << labels[i].first << QLatin1StringView("=\"")
                  << QStringView(labelValue(labels[i].second)) << '"';
        }
        if (!labels.empty())
            m_out << '}';
        m_out << ' ' << QLatin1StringView(QByteArray::number(value, 'g', QLocale::FloatingPointShortest)) << '\n';
    }

private:
    Utf8Output &m_out;
    QLatin1StringView m_name;
};

} // namespace

void writePoolsNagios(Utf8Output &out, const PoolsReport &report,
                      const PoolThresholds &thresholds, const std::vector<PoolState> &states)
{
    // The worst of what is judged, the more used first among equals.
    qsizetype shown = -1;
    const auto countsOf = [&](qsizetype i) -> const PoolCounts & {
        return size_t(i) < report.pools.size() ? report.pools[size_t(i)].counts : report.total;
    };
    for (qsizetype i = report.oneBigPool ? qsizetype(report.pools.size()) : 0;
         i < qsizetype(states.size()); ++i) {
        if (shown < 0 || states[size_t(i)] > states[size_t(shown)]
            || (states[size_t(i)] == states[size_t(shown)]
                && countsOf(i).usePercent() > countsOf(shown).usePercent()))
            shown = i;
    }
    out << PoolsService << ' ' << QStringView(stateWord(states[size_t(shown)]))
        << QLatin1StringView(" - ");
    writePoolSummary(out,
                     size_t(shown) < report.pools.size() ? QStringView(report.pools[size_t(shown)].setting->name)
                                                         : AllPools,
                     countsOf(shown));
    out << QLatin1StringView(" |");
    for (const PoolStatus &pool : report.pools)
        writePoolPerf(out, pool.setting->name, pool.counts, thresholds);
    writePoolPerf(out, TotalLabel, report.total, thresholds);
    out << '\n';
}

void writeHealthNagios(Utf8Output &out, const HealthReport &report)
{
    const std::vector<FindingCount> counts = findingCounts(report);
    qsizetype all = 0;
    for (const FindingCount &count : counts)
        all += count.count;
    out << CheckService << ' '
        << QStringView(stateWord(all == 0 ? PoolState::Ok : PoolState::Warning))
        << QLatin1StringView(" - ");
    if (all == 0) {
        out << QLatin1StringView("no findings");
    } else {
        writeNumber(out, all);
        out << QLatin1StringView(all == 1 ? " finding:" : " findings:");
        bool first = true;
        for (const FindingCount &count : counts) {
            if (count.count == 0)
                continue;
            out << (first ? ' ' : ',');
            if (!first)
                out << ' ';
            writeNumber(out, count.count);
            out << ' ' << count.kind;
            first = false;
        }
    }
    out << QLatin1StringView(" |");
    for (const FindingCount &count : counts) {
        out << ' ';
        writePerfLabel(out, QString(count.kind));
        out << '=';
        writeNumber(out, count.count);
        out << QLatin1StringView(";;;0");
    }
    out << '\n';
}

void writeNagiosProblem(Utf8Output &out, QLatin1StringView service, QLatin1StringView state,
                        const QString &message)
{
    out << service << ' ' << state << QLatin1StringView(" - ")
        << QStringView(escapeForTerminal(message)) << '\n';
}

void writePrometheus(Utf8Output &out, const PoolsReport *pools, const ScanMetrics &scan)
{
    PrometheusWriter metrics(out);
    metrics.family(QLatin1StringView("kelto_scan_success"),
                   QLatin1StringView("Whether the configuration file was read to its end (1) or not (0)."));
    metrics.sample({}, scan.complete ? 1 : 0);
    if (scan.modified) {
        metrics.family(QLatin1StringView("kelto_file_modification_time_seconds"),
                       QLatin1StringView("When the configuration file was last written, in seconds since 1970."));
        metrics.sample({}, double(scan.modified->toMSecsSinceEpoch()) / 1000);
    }
    if (!scan.complete)
        return;
    metrics.family(QLatin1StringView("kelto_clients"),
                   QLatin1StringView("Rows of the host table: one per client address."));
    metrics.sample({}, double(scan.clients));
    qsizetype active = 0;
    qsizetype expired = 0;
    for (const HeldAddress &lease : scan.leases) {
        active += lease.leaseEnd != 0 && lease.leaseEnd > scan.now;
        expired += lease.leaseEnd != 0 && lease.leaseEnd <= scan.now;
    }
    metrics.family(QLatin1StringView("kelto_client_leases"),
                   QLatin1StringView("Addresses of client sections by their lease: active, expired, or none (a reservation)."));
    metrics.sample({{QLatin1StringView("lease"), QStringLiteral("active")}}, double(active));
    metrics.sample({{QLatin1StringView("lease"), QStringLiteral("expired")}}, double(expired));
    metrics.sample({{QLatin1StringView("lease"), QStringLiteral("none")}},
                   double(qsizetype(scan.leases.size()) - active - expired));
    if (scan.health) {
        metrics.family(QLatin1StringView("kelto_findings"),
                       QLatin1StringView("Findings of kelto-cli check, by kind."));
        for (const FindingCount &count : findingCounts(*scan.health))
            metrics.sample({{QLatin1StringView("kind"), QString(count.kind)}}, double(count.count));
    }
    if (!pools)
        return;
    // The pools, and the total over all of them named "all".
    std::vector<std::pair<std::vector<std::pair<QLatin1StringView, QString>>, const PoolCounts *>> rows;
    for (const PoolStatus &pool : pools->pools)
        rows.push_back({{{QLatin1StringView("pool"), pool.setting->name},
                         {QLatin1StringView("range"), pool.value}},
                        &pool.counts});
    rows.push_back({{{QLatin1StringView("pool"), QStringLiteral("all")},
                     {QLatin1StringView("range"), QString()}},
                    &pools->total});
    const auto each = [&](QLatin1StringView name, QLatin1StringView help, auto value) {
        metrics.family(name, help);
        for (const auto &[labels, counts] : rows)
            metrics.sample(labels, value(*counts));
    };
    each(QLatin1StringView("kelto_pool_size_addresses"),
         QLatin1StringView("Addresses of the pool that the server may offer (its own left out)."),
         [](const PoolCounts &c) { return double(c.size); });
    each(QLatin1StringView("kelto_pool_held_addresses"),
         QLatin1StringView("Addresses of the pool that a client holds."),
         [](const PoolCounts &c) { return double(c.held); });
    each(QLatin1StringView("kelto_pool_free_addresses"),
         QLatin1StringView("Addresses of the pool that no client holds."),
         [](const PoolCounts &c) { return double(c.free()); });
    each(QLatin1StringView("kelto_pool_use_ratio"),
         QLatin1StringView("Held addresses of the pool as a share of its size."),
         [](const PoolCounts &c) { return c.size == 0 ? 1.0 : double(c.held) / c.size; });
    metrics.family(QLatin1StringView("kelto_pool_leased_addresses"),
                   QLatin1StringView("Held addresses of the pool by their lease: active, expired, or none."));
    for (const auto &[labels, counts] : rows) {
        for (const auto &[lease, value] :
             {std::pair{"active", counts->active}, std::pair{"expired", counts->expired},
              std::pair{"none", counts->noLeaseEnd}}) {
            auto withLease = labels;
            withLease.push_back({QLatin1StringView("lease"), QString::fromLatin1(lease)});
            metrics.sample(withLease, double(value));
        }
    }
}

} // namespace kelto
