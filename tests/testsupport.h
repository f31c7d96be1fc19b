#pragma once

// Helpers shared by the tests: readable spaces, files in a temporary folder, and the
// host table as the lines kelto-cli lists.

#include "scan.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <array>
#include <string>
#include <vector>

namespace kelto::test {

// Test data writes a space as "·" where spaces must be counted, as the design tables do.
inline QString spaces(QString text)
{
    return text.replace(QChar(0x00B7), QLatin1Char(' '));
}

// Lines joined with CRLF, as the server writes them.
inline QByteArray crlf(const QStringList &lines)
{
    return lines.join(QLatin1StringView("\r\n")).toUtf8() + "\r\n";
}

inline QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write test file %s", qPrintable(path));
    return path;
}

// The same client `count` times: a MAC header, an address line and a host name line,
// ended by CRLF.
inline QByteArray clients(int count, const QByteArray &address, const QByteArray &name)
{
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes += "[00-11-22-33-44-55]\r\nIPADDR=" + address + "\r\nHostname=" + name + "\r\n";
    return bytes;
}

// A scan of a file of the given lines, with the facts.
inline ScanResult scanLines(const QStringList &lines)
{
    QTemporaryDir dir;
    return scanFile(writeFile(dir, QStringLiteral("dhcpsrv.ini"), crlf(lines)),
                    ScanScope::TableAndFacts);
}

// Three lines of a client section.
inline QStringList client(const QString &mac, const QString &address, const QString &hostName)
{
    return {'[' + mac + ']', "IPADDR=" + address, "Hostname=" + hostName};
}

// The table as listed: "* " before a row that repeats the address above it.
inline QStringList listed(const HostTable &table)
{
    QStringList lines;
    for (qsizetype i = 0; i < table.size(); ++i)
        lines << QLatin1StringView(table.isRepeated(i) ? "* " : "  ") + table.rowText(i);
    return lines;
}

// The row text for an address field, a host name and a MAC, composed the plain way:
// the host name cut to 83 characters and padded to 84 with the space before it.
inline QString composeRow(const QString &address, const QString &hostName, const QString &mac)
{
    QString name;
    qsizetype length = 0;
    for (const uint c : hostName.toUcs4()) {
        if (length == 83)
            break;
        name += QChar::fromUcs4(c);
        ++length;
    }
    return address + u' ' + name + QString(83 - length, u' ') + mac;
}

inline QString row(const QString &address, const QString &hostName, const QString &mac = {})
{
    return composeRow(spaces(address), hostName, mac);
}

// The fields of a row as a test writes them: the address field, the host name, the MAC.
struct Fields
{
    QString address;
    QString hostName;
    QString mac;
};

// A host table of the given rows, unsorted: host names and MACs are placed in a text of
// their own, as the scan finds them in a file.
inline HostTable tableOf(const std::vector<Fields> &rows)
{
    QString text = QStringLiteral("|"); // a MAC never stands at position 0
    std::vector<std::array<qsizetype, 3>> positions;
    for (const Fields &f : rows) {
        const auto at = text.toUtf8().size();
        const auto name = f.hostName.toUtf8().size();
        positions.push_back({at, name, f.mac.isEmpty() ? 0 : at + name});
        text += f.hostName + f.mac;
    }
    HostTable table(FileText::fromString(text));
    for (size_t i = 0; i < rows.size(); ++i) {
        AddressField field;
        for (const uint c : rows[i].address.toUcs4())
            field.chars[size_t(field.size++)] = c;
        table.append(field, positions[i][0], positions[i][1], positions[i][2]);
    }
    return table;
}

// What a program printed and how it ended.
struct Run
{
    int status = -1; // -1: it crashed
    QString out;
    QString err;
};

inline Run runProgram(const QString &program, const QStringList &arguments, const QString &folder,
                      const QByteArray &input = {})
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    // Generous: under Wine a program may start slowly; CTest's timeout bounds the whole.
    if (!process.waitForFinished(90000))
        qFatal("%s did not finish", qPrintable(program));
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

} // namespace kelto::test
