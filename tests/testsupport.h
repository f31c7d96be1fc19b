#pragma once

// Helpers shared by the tests: readable spaces, files in a temporary folder, and the
// host table as the lines kelto-cli lists.

#include "scan.h"

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

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

// The table as listed: "* " before a row that repeats the address above it.
inline QStringList listed(const HostTable &table)
{
    QStringList lines;
    for (qsizetype i = 0; i < table.size(); ++i)
        lines << QLatin1StringView(table.isRepeated(i) ? "* " : "  ") + table.rowText(i);
    return lines;
}

inline QString row(const QString &address, const QString &hostName, const QString &mac = {})
{
    return composeRow(spaces(address), hostName, mac);
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
    if (!process.waitForFinished(30000))
        qFatal("%s did not finish", qPrintable(program));
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

} // namespace kelto::test
