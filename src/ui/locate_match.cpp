#include "ui/locate_match.h"

namespace ui {

namespace {

QString chopTrailingBlanks(const QString &s)
{
    qsizetype n = s.size();
    while (n > 0 && s[n - 1] == u' ')
        --n;
    return s.left(n);
}

} // namespace

bool locateMatches(
    const QString &fieldText, const QString &value, LocateSearchType type, bool caseSensitive)
{
    const QString field = chopTrailingBlanks(fieldText);
    const QString wanted = chopTrailingBlanks(value);
    const Qt::CaseSensitivity cs = caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    switch (type) {
    case LocateSearchType::ExactMatch:
        return field.compare(wanted, cs) == 0;
    case LocateSearchType::PartialAtBeginning:
        return field.startsWith(wanted, cs);
    case LocateSearchType::PartialAnywhere:
        return field.contains(wanted, cs);
    }
    return false;
}

} // namespace ui
