#pragma once

#include "hosttable.h"
#include "utf8output.h"

namespace kelto {

// Every row in table order, each on its own line, after "* " when
// it repeats the address of the row before it and two spaces otherwise.
void writeRows(Utf8Output &out, const HostTable &table);

} // namespace kelto
