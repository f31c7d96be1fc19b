#pragma once

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringView>

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
//
// The file is read and decoded in blocks of whole lines, and lines are handed out as
// views into the decoded block: nothing is allocated or copied per line.
class LineReader
{
public:
    // Reading stops, as if at a read error, once more than `sizeLimit` bytes were read.
    LineReader(QIODevice &device, TextEncoding encoding, qint64 sizeLimit);

    // Sets `line` to the next line, without its terminator; the view stays valid until
    // the next call. False at the end of the input and after a read error.
    bool readLine(QStringView &line);
    // Reads the rest of the input, only to learn whether it is valid UTF-8.
    void skipRest();

    bool hasReadError() const { return m_readError; }
    bool isTooLarge() const { return m_read > m_sizeLimit; }
    QString errorString() const;
    // Whether any byte read so far was not part of valid UTF-8 (UTF-8 only).
    bool sawInvalidUtf8() const { return m_utf8.hasError(); }

private:
    bool decodeNextBlock();
    void decode(QByteArrayView bytes);

    QIODevice &m_device;
    TextEncoding m_encoding;
    qint64 m_sizeLimit;
    qint64 m_read = 0; // bytes
    QStringDecoder m_utf8;
    QByteArray m_bytes; // read but not yet decoded: the start of a line, then a new block
    QString m_text; // the decoded block: whole lines with their terminators
    qsizetype m_position = 0; // in m_text
    bool m_atFileStart = true;
    bool m_atEnd = false;
    bool m_afterCarriageReturn = false; // the block ended in CR: skip an LF that follows
    bool m_readError = false;
};

} // namespace kelto
