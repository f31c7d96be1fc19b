#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <array>
#include <vector>

namespace kelto {

// Who made a client: the organisation that the IEEE registry lists for the longest
// registered prefix of its MAC. The registry publishes its assignments as CSV lists
// (columns Registry, Assignment, Organization Name, Organization Address):
//   oui.csv    MA-L, 24-bit prefixes
//   mam.csv    MA-M, 28-bit prefixes
//   oui36.csv  MA-S, 36-bit prefixes
//   iab.csv    IAB, 36-bit prefixes
// A MAC with its locally administered bit set (phones' randomised "private" MACs) or its
// multicast bit set is no registered device, and says so instead of being looked up.
class VendorRegistry
{
public:
    // The lists' file names, in the order they are read.
    static const std::array<QLatin1StringView, 4> ListFiles;

    // Reads the lists of `folder`. A missing folder or file gives no vendors and no error;
    // the lines of a list that cannot be read are skipped and counted.
    static VendorRegistry readFolder(const QString &folder);

    // Reads one list, `file` naming it in the counts of skipped lines. Its text is read as
    // the scan reads a configuration file: UTF-8, UTF-16 with a byte order mark, or
    // Windows-1252.
    void readList(const QByteArray &bytes, const QString &file);

    // The vendor of a MAC in any notation: the organisation's name; "private (randomised)
    // address" or "multicast address"; empty when the MAC is not registered in the lists
    // read, or the text is no MAC.
    QString vendorOf(QStringView mac) const;
    QString vendorOf(quint64 mac) const;

    bool isEmpty() const { return m_names.empty(); }
    qsizetype size() const { return qsizetype(m_names.size()); }

    // The lines of each list that could not be read, for one line on standard error.
    struct Skipped
    {
        QString file;
        qsizetype lines = 0;
    };
    const std::vector<Skipped> &skipped() const { return m_skipped; }

private:
    // A prefix of one length, in the top bits of a 48-bit MAC, and its organisation.
    struct Assignment
    {
        quint64 prefix = 0;
        quint32 name = 0; // index in m_names
        friend bool operator<(const Assignment &a, const Assignment &b) { return a.prefix < b.prefix; }
    };
    enum Length { Bits36, Bits28, Bits24, Lengths };
    bool readLine(QStringView line);
    void sort();

    std::array<std::vector<Assignment>, Lengths> m_assignments; // each sorted by prefix
    std::vector<QString> m_names;
    std::vector<Skipped> m_skipped;
};

// Where the lists are read from: `given` (--oui-dir) when it is set, else the folder that
// the environment variable KELTO_OUI_DIR names, else the lists shipped beside the program
// on Windows (its folder's "ieee-data"), else those of Debian's ieee-data package.
QString vendorListFolder(const QString &given);

// What --version says of the lists in `folder`: "IEEE registry lists of 2022-08-27 in
// /usr/share/ieee-data" (the date of Debian's .lastupdate, else of the newest list), or
// "no IEEE registry lists in ..." when it holds none.
QString vendorListsNote(const QString &folder);

} // namespace kelto
