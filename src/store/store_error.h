#pragma once

#include <stdexcept>
#include <string>

namespace store {

// A failure of the data store that the program cannot work around: a file missing together
// with its template, a tag that could not be added, a table name the schema does not know. The
// message names the file or tag and is meant to be shown to the user as it is.
class StoreError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

} // namespace store
