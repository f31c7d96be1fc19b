#include "filefacts.h"

#include "text.h"

#include <algorithm>

namespace kelto {

namespace {

constexpr QLatin1StringView SettingsSection("settings");
constexpr QLatin1StringView PoolKeyPrefix("IPPOOL_");
constexpr QLatin1StringView ServerAddressKey("IPADDR");

QStringView skipBlanks(QStringView text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    return text;
}

QStringView withoutTrailingBlanks(QStringView text)
{
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

bool isPoolKey(QStringView key)
{
    if (key.size() <= PoolKeyPrefix.size() || !key.startsWith(PoolKeyPrefix, Qt::CaseInsensitive))
        return false;
    const QStringView number = key.sliced(PoolKeyPrefix.size());
    return std::all_of(number.begin(), number.end(),
                       [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// The value of `key` (ASCII, any letter case) at the start of a line, blanks allowed
// before it and around "="; nothing when the line holds no such key.
std::optional<QStringView> keyValue(QStringView line, QLatin1StringView key)
{
    line = skipBlanks(line);
    // Nearly every line of a client section starts with another letter: ASCII folding
    // decides at once, where Qt's general case-insensitive comparison costs far more.
    if (line.size() < key.size())
        return std::nullopt;
    for (qsizetype i = 0; i < key.size(); ++i) {
        if (foldAscii(line[i].unicode()) != foldAscii(key[i].unicode()))
            return std::nullopt;
    }
    line = skipBlanks(line.sliced(key.size()));
    if (!line.startsWith(u'='))
        return std::nullopt;
    return skipBlanks(line.sliced(1));
}

constexpr QLatin1StringView LeaseEndKey("LeaseEnd");

} // namespace

QString settingValue(QStringView afterEquals)
{
    bool quoted = false;
    qsizetype end = 0;
    for (; end < afterEquals.size(); ++end) {
        if (afterEquals[end] == u'"')
            quoted = !quoted;
        else if (afterEquals[end] == u';' && !quoted)
            break;
    }
    QStringView value = afterEquals.first(end).trimmed();
    if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
        value = value.sliced(1, value.size() - 2);
    return value.toString();
}

std::optional<qint64> readLeaseEnd(QStringView value)
{
    bool ok = false;
    const qint64 seconds = value.toLongLong(&ok);
    const bool digits = std::all_of(value.begin(), value.end(),
                                    [](QChar c) { return c >= u'0' && c <= u'9'; });
    return ok && digits ? std::optional(seconds) : std::nullopt;
}

std::optional<QStringView> leaseEndValue(QStringView line)
{
    const std::optional<QStringView> value = keyValue(line, LeaseEndKey);
    if (!value)
        return std::nullopt;
    return withoutTrailingBlanks(cutAtSemicolon(*value));
}

std::optional<QStringView> serverAddressValue(QStringView line)
{
    const std::optional<QStringView> found = keyValue(line, ServerAddressKey);
    if (!found)
        return std::nullopt;
    const QStringView value = *found;
    const auto end = std::find_if(value.begin(), value.end(),
                                  [](QChar c) { return c == u';' || c.isSpace(); });
    return value.first(end - value.begin());
}

bool hasAddressMacro(QStringView value)
{
    for (qsizetype at = value.indexOf(u'%'); at >= 0; at = value.indexOf(u'%', at + 1)) {
        const QStringView rest = value.sliced(at + 1);
        if (rest.size() >= 2 && rest[0] == u'm' && rest[1] >= u'0' && rest[1] <= u'5')
            return true;
        if (rest.size() >= 3 && rest.startsWith(QLatin1StringView("ip")) && rest[2] >= u'0'
            && rest[2] <= u'3')
            return true;
    }
    return false;
}

void FactsReader::takeLine(qsizetype number, QStringView line, bool addressLine)
{
    if (line.startsWith(u'['))
        takeSection(line);
    else if (m_inClientSection)
        takeClientLine(number, line, addressLine);
    else
        takeSetting(number, line);
}

void FactsReader::takeSection(QStringView line)
{
    const qsizetype close = line.indexOf(u']');
    m_section
        = line.sliced(1, (close < 0 ? line.size() : close) - 1).trimmed().toString().toLower();
    m_inSettings = m_section == SettingsSection;
    m_facts.hasSettingsSection = m_facts.hasSettingsSection || m_inSettings;
    m_inClientSection = false;
    m_inTemplateSection = false;
}

void FactsReader::takeClientLine(qsizetype number, QStringView line, bool addressLine)
{
    if (const std::optional<QStringView> lease = leaseEndValue(line)) {
        takeLeaseEnd(number, *lease);
        return;
    }
    const std::optional<QStringView> value = serverAddressValue(line);
    if (!value)
        return;
    if (hasAddressMacro(*value)) {
        m_facts.templateAddresses.push_back({number, value->toString()});
        return;
    }
    // A value without a macro names one address, whatever section holds it.
    if (const DottedAddress address = readDottedAddress(*value); address.hasValue())
        m_facts.heldAddresses.push_back({address.value, m_sectionLeaseEnd});
    if (m_inTemplateSection)
        return; // a template section's keys are the server's syntax, never findings
    if (!addressLine)
        m_facts.unreadAddressKeys.push_back({number, withoutTrailingBlanks(line).toString()});
}

void FactsReader::takeLeaseEnd(qsizetype number, QStringView value)
{
    const std::optional<qint64> read = readLeaseEnd(value);
    if (!read) {
        m_facts.badLeaseEnds.push_back({number, value.toString()});
        return;
    }
    const qint64 seconds = *read;
    // The section's addresses, those above the line and those below it.
    m_sectionLeaseEnd = seconds;
    for (size_t i = m_sectionHeld; i < m_facts.heldAddresses.size(); ++i)
        m_facts.heldAddresses[i].leaseEnd = seconds;
}

void FactsReader::takeSetting(qsizetype number, QStringView line)
{
    const qsizetype equals = line.indexOf(u'=');
    if (equals < 0)
        return;
    const QStringView key = line.first(equals).trimmed();
    const QString value = settingValue(line.sliced(equals + 1));
    const QString name = m_section + u'\\' + key.toString().toLower();
    if (!m_facts.settings.contains(name))
        m_facts.settings.insert(name, {number, value});
    if (m_inSettings && isPoolKey(key))
        m_facts.pools.push_back({number, key.toString(), value});
}

void FactsReader::takeMacHeader(qsizetype number, QStringView mac)
{
    if (m_reading == Reading::Everything)
        m_facts.macHeaders.push_back({number, m_facts.macKeys.keyOf(mac)});
    m_inSettings = false;
    m_inClientSection = true;
    m_inTemplateSection = mac.contains(u'?');
    m_sectionHeld = m_facts.heldAddresses.size();
    m_sectionLeaseEnd = 0;
}

void FactsReader::takeAddressLine(qsizetype number, qsizetype keyPosition, QStringView value)
{
    if (m_inTemplateSection || hasAddressMacro(value))
        return; // valid server syntax, filled in for each client
    const AddressProblem problem = readDottedAddress(value).problem;
    if (problem != AddressProblem::None || keyPosition != 0)
        m_facts.addressProblems.push_back({number, value.toString(), problem, keyPosition == 0});
}

} // namespace kelto
