#pragma once

#include <string>
#include <vector>

namespace dbf {

class Table;

// Verifies every tag of a table's production index: the tree invariants I1..I5 of btree.h and,
// against the records, I6 (every live record present exactly once with its key, no deleted or
// missing record, a unique tag without a key twice). Returns one line per fault, empty when
// clean. A tree too damaged to walk gives one fault for that tag; the check never follows a bad
// pointer or a loop. The caller holds the table open; the index's shared lock is held while a
// tag is read.
// Other dBASE IV programs keep a deleted record's key until the table is packed: an entry of a
// deleted record under the key its record holds is no fault. Such entries are counted into
// `deletedKeys` when it is given.
std::vector<std::string> checkIndex(Table &table, std::size_t *deletedKeys = nullptr);

} // namespace dbf
