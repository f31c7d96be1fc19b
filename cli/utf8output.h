#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QStringEncoder>

#include <cstdio>

namespace kelto {

// UTF-8 text to a C stream, through one buffer of our own: rows are appended piece by
// piece and written in large blocks, never a flush per row.
class Utf8Output
{
public:
    explicit Utf8Output(std::FILE *stream);
    // To a device, such as the file that --output replaces once all is written.
    explicit Utf8Output(QIODevice *device);
    ~Utf8Output();
    Utf8Output(const Utf8Output &) = delete;
    Utf8Output &operator=(const Utf8Output &) = delete;

    Utf8Output &operator<<(QStringView text);
    Utf8Output &operator<<(QLatin1StringView text);
    Utf8Output &operator<<(char c);
    // A field of the file's text: as it is, or with control characters escaped as
    // escapeForTerminal() writes them when the stream is a terminal, so that nothing read
    // from a file drives the terminal; a pipe or a file gets the exact characters.
    Utf8Output &field(QStringView text);
    bool isTerminal() const { return m_terminal; }


    // Room for `bytes` bytes written directly, up to the end given to commit().
    char *reserve(qsizetype bytes)
    {
        makeRoom(bytes);
        return m_buffer.data() + m_used;
    }
    void commit(const char *end) { m_used = end - m_buffer.constData(); }

    // Writes out what is buffered; false when the stream reported an error, whose reason
    // errorString() then gives.
    bool flush();
    QString errorString() const;

private:
    void makeRoom(qsizetype bytes);

    std::FILE *m_stream = nullptr;
    QIODevice *m_device = nullptr;
    QStringEncoder m_encoder;
    QByteArray m_buffer;
    qsizetype m_used = 0;
    int m_error = 0; // errno of the first failed write; 0 while none failed
    bool m_terminal = false;
};

// A number in decimal.
void writeNumber(Utf8Output &out, qint64 number);

} // namespace kelto
