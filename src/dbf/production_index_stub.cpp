// The table engine without its index layer: no table has a production index open. The index
// layer replaces this file (in the dbf source list) with its own openProductionIndex().
#include "dbf/index_hooks.h"

namespace dbf {

std::unique_ptr<IndexHooks> openProductionIndex(Table &)
{
    return nullptr;
}

} // namespace dbf
