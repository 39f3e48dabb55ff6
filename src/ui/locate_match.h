#pragma once

#include <QString>

namespace ui {

// The three ways the field-value locate dialog compares a field with the value typed.
enum class LocateSearchType {
    ExactMatch, // the whole field equals the value
    PartialAtBeginning, // the field begins with the value
    PartialAnywhere, // the value occurs somewhere in the field
};

// Whether a field's text matches the typed value. Trailing blanks of both are ignored (text
// fields come back blank-padded to their width), leading blanks of the value are kept. An empty
// value matches every field except under ExactMatch, where it matches blank fields only.
bool locateMatches(
    const QString &fieldText, const QString &value, LocateSearchType type, bool caseSensitive);

} // namespace ui
