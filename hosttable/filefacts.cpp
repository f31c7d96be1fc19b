#include "filefacts.h"

#include "hugepages.h"
#include "text.h"

#include <algorithm>

namespace kelto {

namespace {

constexpr QLatin1StringView SettingsSection("SETTINGS");
constexpr QLatin1StringView PoolKeyPrefix("IPPOOL_");
constexpr qsizetype AddressValuePosition = 7; // column 8, where the scan reads the value

QStringView cutAtSemicolon(QStringView text)
{
    const qsizetype semicolon = indexOfChar(text, u';');
    return semicolon < 0 ? text : text.first(semicolon);
}

bool isPoolKey(QStringView key)
{
    if (key.size() <= PoolKeyPrefix.size() || !key.startsWith(PoolKeyPrefix, Qt::CaseInsensitive))
        return false;
    const QStringView number = key.sliced(PoolKeyPrefix.size());
    return std::all_of(number.begin(), number.end(),
                       [](QChar c) { return c >= u'0' && c <= u'9'; });
}

} // namespace

void FileFacts::reserve(qsizetype clients)
{
    reserveWithHugePages(macHeaders, size_t(clients));
}

void FactsReader::takeLine(qsizetype number, QStringView line)
{
    if (line.startsWith(u'[')) {
        const qsizetype close = indexOfChar(line, u']');
        const QStringView name = line.sliced(1, (close < 0 ? line.size() : close) - 1).trimmed();
        m_inSettings = name.size() == SettingsSection.size()
                       && name.compare(SettingsSection, Qt::CaseInsensitive) == 0;
        return;
    }
    if (!m_inSettings)
        return;
    const qsizetype equals = indexOfChar(line, u'=');
    if (equals < 0)
        return;
    const QStringView key = line.first(equals).trimmed();
    if (isPoolKey(key))
        m_facts.pools.push_back(
            {number, key.toString(), cutAtSemicolon(line.sliced(equals + 1)).trimmed().toString()});
}

void FactsReader::takeMacHeader(qsizetype number, QStringView mac)
{
    m_facts.macHeaders.push_back({number, m_facts.macKeys.keyOf(mac)});
}

void FactsReader::takeAddressLine(qsizetype number, qsizetype keyPosition, QStringView line)
{
    const QStringView value = withoutTrailingSpaces(cutAtSemicolon(
        line.size() > AddressValuePosition ? line.sliced(AddressValuePosition) : QStringView()));
    const AddressProblem problem = readDottedAddress(value).problem;
    if (problem != AddressProblem::None || keyPosition != 0)
        m_facts.addressProblems.push_back({number, value.toString(), problem, keyPosition == 0});
}

} // namespace kelto
