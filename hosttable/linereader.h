#pragma once

#include <QByteArray>
#include <QString>
#include <QStringDecoder>

class QIODevice;

namespace kelto {

enum class TextEncoding {
    Utf8,
    Windows1252, // the server's ANSI code page
};

// Reads a configuration file as text lines. A line ends at CRLF, LF or a lone CR; a
// last line without a terminator counts too. Every other character, NUL included, is
// part of its line. The bytes are decoded in the given encoding; with UTF-8 a leading
// byte order mark is dropped and invalid sequences are remembered, so the caller can
// read the file again as Windows-1252.
class LineReader
{
public:
    LineReader(QIODevice &device, TextEncoding encoding);

    // Puts the next line, without its terminator, into `line`. False at the end of the
    // input and after a read error.
    bool readLine(QString &line);
    // Reads the rest of the input, only to learn whether it is valid UTF-8.
    void skipRest();

    bool hasReadError() const { return m_readError; }
    QString errorString() const;
    // Whether any byte read so far was not part of valid UTF-8 (UTF-8 only).
    bool sawInvalidUtf8() const { return m_utf8.hasError(); }

private:
    bool fillBuffer();
    void decode(QByteArrayView bytes, QString &line);

    QIODevice &m_device;
    TextEncoding m_encoding;
    QStringDecoder m_utf8;
    QByteArray m_buffer;
    qsizetype m_position = 0;
    QByteArray m_carried; // the start of a line that the previous buffer ended in
    bool m_atFileStart = true;
    bool m_afterCarriageReturn = false;
    bool m_readError = false;
};

} // namespace kelto
