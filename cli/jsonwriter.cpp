#include "jsonwriter.h"

#include <algorithm>

namespace kelto {

int JsonWriter::arrayDepth() const
{
    return int(std::count_if(m_levels.begin(), m_levels.end(),
                             [](const Level &level) { return level.isArray; }));
}

void JsonWriter::indent(int depth)
{
    for (int i = 0; i < depth; ++i)
        m_out << QLatin1StringView("  ");
}

void JsonWriter::beforeValue(bool isObject)
{
    if (m_levels.empty() || m_afterKey) {
        m_afterKey = false;
        return;
    }
    Level &level = m_levels.back();
    if (isObject && level.isArray && (level.empty || level.objectsOnLines)) {
        level.objectsOnLines = true;
        m_out << QLatin1StringView(level.empty ? "\n" : ",\n");
        indent(arrayDepth());
    } else if (!level.empty) {
        m_out << QLatin1StringView(", ");
    }
    level.empty = false;
}

void JsonWriter::beginObject()
{
    beforeValue(true);
    m_out << '{';
    m_levels.push_back({false});
}

void JsonWriter::endObject()
{
    m_levels.pop_back();
    m_out << '}';
}

void JsonWriter::beginArray()
{
    beforeValue(false);
    m_out << '[';
    m_levels.push_back({true});
}

void JsonWriter::endArray()
{
    const bool onLines = m_levels.back().objectsOnLines;
    m_levels.pop_back();
    if (onLines) {
        m_out << '\n';
        indent(arrayDepth());
    }
    m_out << ']';
}

JsonWriter &JsonWriter::key(QLatin1StringView name)
{
    Level &level = m_levels.back();
    m_out << QLatin1StringView(level.empty ? "\"" : ", \"") << name << QLatin1StringView("\": ");
    level.empty = false;
    m_afterKey = true;
    return *this;
}

void JsonWriter::value(QStringView text)
{
    beforeValue(false);
    m_out.appendJsonString(text);
}

void JsonWriter::value(QLatin1StringView text)
{
    value(QString(text));
}

void JsonWriter::value(qint64 number)
{
    beforeValue(false);
    m_out << QLatin1StringView(QByteArray::number(number));
}

void JsonWriter::value(bool truth)
{
    beforeValue(false);
    m_out << QLatin1StringView(truth ? "true" : "false");
}

void JsonWriter::null()
{
    beforeValue(false);
    m_out << QLatin1StringView("null");
}

} // namespace kelto
