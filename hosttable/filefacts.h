#pragma once

#include "ipv4.h"
#include "mac.h"
#include "text.h"

#include <QHash>
#include <QString>
#include <QStringView>

#include <algorithm>
#include <optional>
#include <span>
#include <vector>

namespace kelto {

// A MAC header of the client part: the line it stands on and its MAC.
struct MacHeaderLine
{
    qsizetype line = 0; // 1-based
    quint64 mac = 0; // a key of FileFacts::macKeys
};

// An address line whose value, as the scan reads it, is not a plain dotted address.
struct AddressLineProblem
{
    qsizetype line = 0;
    QString value; // from column 8 to the first ";", without trailing spaces
    AddressProblem problem = AddressProblem::None;
    bool keyStartsLine = true; // otherwise the value read from column 8 holds part of the key
};

// A line of a client section, as written: an address key that the server reads but the
// table passes over, or the address of a template section.
struct KeyLine
{
    qsizetype line = 0;
    QString text;
};

// A host name line of a client section that stands before the section's address line.
// The scan pairs a host name with the address above it, so the row of that address
// shows the name of a later line, or none.
struct HostNameBeforeAddress
{
    qsizetype line = 0; // of the host name
    QString hostName; // as written, up to a ";"
    QString address; // the row's address, as a lookup shows it
    QString shownHostName; // what the row shows instead; empty for none
};

// An address that a client section holds, and the end of its lease: the section's
// LeaseEnd=, in seconds since 1970 (UTC). A section stays in the file, and holds its
// address, after its lease ends; one without LeaseEnd= (or with 0) is a reservation.
struct HeldAddress
{
    quint32 address = 0;
    qint64 leaseEnd = 0; // 0: no lease end
};

// An IPPOOL_n= setting of the [SETTINGS] section.
struct PoolSetting
{
    qsizetype line = 0;
    QString name; // the key as written, e.g. IPPOOL_1
    QString value; // trimmed, cut at the first ";"
};

// A value of a section that is no client section, read like a pool value.
struct SettingValue
{
    qsizetype line = 0;
    QString value;
};

// What the configuration file says besides the host table, for the health check and the
// free addresses. Collected only when asked for, in the same pass as the table.
struct FileFacts
{
    MacKeys macKeys;
    std::vector<MacHeaderLine> macHeaders; // in file order
    std::vector<AddressLineProblem> addressProblems; // in file order
    std::vector<PoolSetting> pools; // in file order
    // Address keys of client sections that the server reads and the table does not, such
    // as "IpAddr=" or "IPADDR = ", in file order.
    std::vector<KeyLine> unreadAddressKeys;
    std::vector<HostNameBeforeAddress> hostNamesBeforeAddress; // in file order
    // Every address that an address key of a client section names, read as the server
    // reads it, whether or not the table shows its row, with the lease of its section.
    std::vector<HeldAddress> heldAddresses;
    // LeaseEnd= values of client sections that are no number of seconds, in file order.
    std::vector<KeyLine> badLeaseEnds;
    // The address values of template sections (a MAC header with "?", or a value with
    // macros such as %m5), which name no single address; in file order.
    std::vector<KeyLine> templateAddresses;
    // The keys of every section but the client sections, as "section\key" in lower case,
    // each with its first value: what a $(Section\Key) reference names.
    QHash<QString, SettingValue> settings;
    bool hasSettingsSection = false;
};

// The value of an address key as the server reads it: the key IPADDR in any letter case,
// with spaces or tabs before it and around "=", the value up to ";" or white space.
// Nothing when the line holds no such key.
std::optional<QStringView> serverAddressValue(QStringView line);

// The value of a LeaseEnd= key (any letter case, blanks around "="), as written up to a
// ";"; nothing when the line holds no such key.
std::optional<QStringView> leaseEndValue(QStringView line);
// A LeaseEnd= value as seconds since 1970; nothing when it is no such number.
std::optional<qint64> readLeaseEnd(QStringView value);

// A setting's value as the server reads it: up to the first ";" that stands outside double
// quotes, blanks trimmed, and without the double quotes around it
// (IPPOOL_2="192.168.6.1-4" ; office reads 192.168.6.1-4).
QString settingValue(QStringView afterEquals);

// Whether an address value holds one of the server's macros (%m0-%m5, %ip0-%ip3), which a
// template section fills in for each client.
bool hasAddressMacro(QStringView value);

// Takes the lines of one file, in order, into FileFacts.
class FactsReader
{
public:
    // What is read: everything, which the health check needs; all but the MAC headers
    // and their keys, which the pools need not; or only the sections that are no client
    // sections, whose settings hold the pools, which is all that a diff needs.
    enum class Reading { Everything, AllButMacs, Settings };
    FactsReader(FileFacts &facts, Reading reading) : m_facts(facts), m_reading(reading) { }
    bool readsClientSections() const { return m_reading != Reading::Settings; }

    // Every line but the MAC headers, with whether the table reads it as an address
    // line: section headers, the pool settings of [SETTINGS], the values of other
    // settings, and the address keys of client sections as the server reads them.
    void takeLine(qsizetype number, QStringView line, bool addressLine);
    // Whether takeLine() has anything to read in `line`, which it is not yet given: in a
    // client section only an address key matters, which comes after blanks at most.
    // Nearly every line of a large file is passed over this way, unconverted.
    bool needsLine(std::span<const uchar> line) const
    {
        if (!m_inClientSection || (!line.empty() && line[0] == '['))
            return true;
        if (!readsClientSections())
            return false;
        const auto key = std::find_if_not(line.begin(), line.end(), isBlank<uchar>);
        return key != line.end() && (foldAscii(*key) == 'i' || foldAscii(*key) == 'l');
    }
    void takeHostNameBeforeAddress(HostNameBeforeAddress note)
    {
        m_facts.hostNamesBeforeAddress.push_back(std::move(note));
    }
    // A MAC header, which starts a client section; its MAC may be left empty when client
    // sections are not read.
    void takeMacHeader(qsizetype number, QStringView mac);
    // An address line as the scan recognised it: where its key stands, and its value as
    // the scan reads it, from column 8 to the first ";", without trailing spaces.
    void takeAddressLine(qsizetype number, qsizetype keyPosition, QStringView value);

private:
    void takeSection(QStringView line);
    void takeClientLine(qsizetype number, QStringView line, bool addressLine);
    void takeSetting(qsizetype number, QStringView line);
    void takeLeaseEnd(qsizetype number, QStringView value);

    FileFacts &m_facts;
    Reading m_reading;
    QString m_section; // in lower case
    bool m_inSettings = false;
    bool m_inClientSection = false;
    bool m_inTemplateSection = false;
    size_t m_sectionHeld = 0; // the first held address of the current client section
    qint64 m_sectionLeaseEnd = 0;
};

} // namespace kelto
