#pragma once

#include "output.h"

#include <QLatin1StringView>
#include <QStringView>

#include <vector>

namespace kelto {

// JSON written as it is made, for outputs too large to build first (a million hosts,
// tens of thousands of findings). Objects are written on one line; the objects of an
// array each start a line of their own, indented by two spaces per array around them.
class JsonWriter
{
public:
    explicit JsonWriter(Utf8Output &out) : m_out(out) { }

    void beginObject();
    void endObject();
    void beginArray();
    void endArray();
    // The name of the next member of the current object.
    JsonWriter &key(QLatin1StringView name);

    void value(QStringView text);
    void value(const QString &text) { value(QStringView(text)); }
    void value(QLatin1StringView text);
    void value(qint64 number);
    void value(bool truth);
    void null();

    // Ends the document with a line end.
    void finish() { m_out << '\n'; }

private:
    void beforeValue(bool isObject);
    int arrayDepth() const;
    void indent(int depth);

    struct Level
    {
        bool isArray;
        bool empty = true;
        bool objectsOnLines = false;
    };
    Utf8Output &m_out;
    std::vector<Level> m_levels;
    bool m_afterKey = false;
};

} // namespace kelto
