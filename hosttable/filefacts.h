#pragma once

#include "ipv4.h"
#include "mac.h"

#include <QString>
#include <QStringView>

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

// An IPPOOL_n= setting of the [SETTINGS] section.
struct PoolSetting
{
    qsizetype line = 0;
    QString name; // the key as written, e.g. IPPOOL_1
    QString value; // trimmed, cut at the first ";"
};

// What the configuration file says besides the host table, for the health check and the
// free addresses. Collected only when asked for, in the same pass as the table.
struct FileFacts
{
    MacKeys macKeys;
    std::vector<MacHeaderLine> macHeaders; // in file order
    std::vector<AddressLineProblem> addressProblems; // in file order
    std::vector<PoolSetting> pools; // in file order

    // Room for the MAC headers of a file of about `clients` clients.
    void reserve(qsizetype clients);
};

// Takes the lines of one file, in order, into FileFacts.
class FactsReader
{
public:
    explicit FactsReader(FileFacts &facts) : m_facts(facts) { }

    // Every line: section headers and the pool settings of [SETTINGS]. The pool settings
    // are read from the whole file, also after the end of the client part.
    void takeLine(qsizetype number, QStringView line);
    void takeMacHeader(qsizetype number, QStringView mac);
    // An address line as the scan recognised it, before any lengthening.
    void takeAddressLine(qsizetype number, qsizetype keyPosition, QStringView line);

private:
    FileFacts &m_facts;
    bool m_inSettings = false;
};

} // namespace kelto
