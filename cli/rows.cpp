#include "rows.h"

namespace kelto {

void writeRows(Utf8Output &out, const HostTable &table)
{
    if (out.isTerminal()) {
        table.forEachIndex([&out, &table](qsizetype i, bool repeated) {
            out << QLatin1StringView(repeated ? "* " : "  ");
            out.field(table.rowText(i)) << '\n';
        });
        return;
    }
    table.forEachIndex([&out, &table](qsizetype i, bool repeated) {
        char *p = out.reserve(2 + HostTable::RowMaxUtf8 + 1);
        *p++ = repeated ? '*' : ' ';
        *p++ = ' ';
        p = table.appendRowUtf8(i, p);
        *p++ = '\n';
        out.commit(p);
    });
}

} // namespace kelto
