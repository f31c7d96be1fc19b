#include "vendors.h"

#include "filetext.h"
#include "mac.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFile>

#include <algorithm>
#include <optional>

namespace kelto {

const std::array<QLatin1StringView, 4> VendorRegistry::ListFiles = {
    QLatin1StringView("oui.csv"), QLatin1StringView("mam.csv"), QLatin1StringView("oui36.csv"),
    QLatin1StringView("iab.csv")};

namespace {

constexpr int MacBits = 48;

// The first field of a CSV line (RFC 4180) from `at` on, which is left after its comma:
// plain, or in double quotes with each quote inside doubled. Nothing when the line has
// no more fields, a quote is not closed, or the field runs on after its closing quote.
std::optional<QString> nextField(QStringView line, qsizetype &at)
{
    if (at > line.size())
        return std::nullopt; // the line ended with the field before
    QString field;
    if (at < line.size() && line[at] == u'"') {
        for (++at;; ++at) {
            if (at >= line.size())
                return std::nullopt;
            if (line[at] == u'"') {
                if (at + 1 < line.size() && line[at + 1] == u'"') {
                    field += u'"';
                    ++at;
                    continue;
                }
                ++at;
                break;
            }
            field += line[at];
        }
        if (at < line.size() && line[at] != u',')
            return std::nullopt;
    } else {
        const qsizetype comma = line.indexOf(u',', at);
        const qsizetype end = comma < 0 ? line.size() : comma;
        field = line.sliced(at, end - at).toString();
        at = end;
    }
    ++at; // the comma
    return field;
}

// Whether a line starts a record of one of the registries.
bool startsRecord(QStringView line)
{
    for (const char16_t *registry : {u"MA-L,", u"MA-M,", u"MA-S,", u"IAB,"}) {
        if (line.startsWith(QStringView(registry)))
            return true;
    }
    return false;
}

// How many hexadecimal digits a registry's assignments have.
std::optional<int> assignmentDigits(QStringView registry)
{
    if (registry == u"MA-L")
        return 6;
    if (registry == u"MA-M")
        return 7;
    if (registry == u"MA-S" || registry == u"IAB")
        return 9;
    return std::nullopt;
}

} // namespace

VendorRegistry VendorRegistry::readFolder(const QString &folder)
{
    VendorRegistry registry;
    for (const QLatin1StringView name : ListFiles) {
        QFile file(QDir(folder).filePath(name));
        if (file.open(QIODevice::ReadOnly))
            registry.readList(file.readAll(), name);
    }
    return registry;
}

void VendorRegistry::readList(const QByteArray &bytes, const QString &file)
{
    bool tooLarge = false;
    const FileText text = FileText::decode(bytes, tooLarge);
    const auto utf8 = text.bytes();
    const QString all = QString::fromUtf8(reinterpret_cast<const char *>(utf8.data()), qsizetype(utf8.size()));
    qsizetype skipped = 0;
    const QList<QStringView> lines = QStringView(all).split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QStringView line = lines[i];
        if (line.trimmed().isEmpty() || line.startsWith(u"Registry,"))
            continue;
        // A quoted field may hold line ends (the registry's addresses do): the record
        // goes on up to the line that closes its quote, but never over a line that starts
        // a record of its own, so that a quote left open loses one record, not the rest.
        qsizetype quotes = line.count(u'"');
        while (quotes % 2 == 1 && i + 1 < lines.size() && !startsRecord(lines[i + 1])) {
            ++i;
            line = QStringView(line.data(), lines[i].data() + lines[i].size());
            quotes += lines[i].count(u'"');
        }
        if (!readLine(line))
            ++skipped;
    }
    if (skipped > 0)
        m_skipped.push_back({file, skipped});
    sort();
}

bool VendorRegistry::readLine(QStringView line)
{
    qsizetype at = 0;
    const std::optional<QString> registry = nextField(line, at);
    const std::optional<QString> assignment = registry ? nextField(line, at) : std::nullopt;
    const std::optional<QString> name = assignment ? nextField(line, at) : std::nullopt;
    if (!name || name->trimmed().isEmpty())
        return false;
    const std::optional<int> digits = assignmentDigits(*registry);
    bool hex = false;
    const quint64 prefix = assignment->toULongLong(&hex, 16);
    if (!digits || assignment->size() != *digits || !hex || assignment->startsWith(u'+'))
        return false;
    const Length length = *digits == 9 ? Bits36 : *digits == 7 ? Bits28 : Bits24;
    m_assignments[length].push_back({prefix, quint32(m_names.size())});
    m_names.push_back(name->trimmed());
    return true;
}

void VendorRegistry::sort()
{
    // A prefix listed twice keeps its first organisation: a stable sort, then the later
    // ones dropped.
    for (std::vector<Assignment> &assignments : m_assignments) {
        std::stable_sort(assignments.begin(), assignments.end());
        assignments.erase(std::unique(assignments.begin(), assignments.end(),
                                      [](const Assignment &a, const Assignment &b) {
                                          return a.prefix == b.prefix;
                                      }),
                          assignments.end());
    }
}

QString vendorListFolder(const QString &given)
{
    if (!given.isEmpty())
        return given;
    QString fromEnvironment = qEnvironmentVariable("KELTO_OUI_DIR");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
#ifdef Q_OS_WIN
    return QCoreApplication::applicationDirPath() + QStringLiteral("/ieee-data");
#else
    return QStringLiteral("/usr/share/ieee-data");
#endif
}

QString vendorListsNote(const QString &folder)
{
    const QDir dir(folder);
    QDateTime newest;
    for (const QLatin1StringView name : VendorRegistry::ListFiles) {
        const QFileInfo list(dir.filePath(name));
        if (list.isFile() && (!newest.isValid() || list.lastModified() > newest))
            newest = list.lastModified();
    }
    const QString where = QDir::toNativeSeparators(folder);
    if (!newest.isValid())
        return QStringLiteral("no IEEE registry lists in %1").arg(where);
    // Debian's update-ieee-data writes the time of the lists' download.
    QFile stamp(dir.filePath(QStringLiteral(".lastupdate")));
    bool number = false;
    const qint64 seconds = stamp.open(QIODevice::ReadOnly) ? stamp.readAll().trimmed().toLongLong(&number) : 0;
    const QDateTime date = number ? QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC) : newest.toUTC();
    return QStringLiteral("IEEE registry lists of %1 in %2").arg(date.toString(QStringLiteral("yyyy-MM-dd")), where);
}

QString VendorRegistry::vendorOf(QStringView mac) const
{
    const std::optional<quint64> value = macValue(mac);
    return value ? vendorOf(*value) : QString();
}

QString VendorRegistry::vendorOf(quint64 mac) const
{
    const quint64 firstOctet = mac >> (MacBits - 8);
    if (firstOctet & 0x01)
        return QStringLiteral("multicast address");
    if (firstOctet & 0x02)
        return QStringLiteral("private (randomised) address");
    constexpr std::array<int, Lengths> Bits = {36, 28, 24};
    for (int length = 0; length < Lengths; ++length) {
        const std::vector<Assignment> &assignments = m_assignments[size_t(length)];
        const Assignment wanted{mac >> (MacBits - Bits[size_t(length)]), 0};
        const auto found = std::lower_bound(assignments.begin(), assignments.end(), wanted);
        if (found != assignments.end() && found->prefix == wanted.prefix)
            return m_names[found->name];
    }
    return {};
}

} // namespace kelto
