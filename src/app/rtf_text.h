#pragma once

#include <QByteArray>
#include <QString>

namespace app {

// The text of a rich-text (RTF) document as HTML for the program's own viewer, so that the
// quick-start document shows on a machine where no desktop program opens it.
//
// Kept: paragraphs (\par), line breaks (\line), tabs (\tab), bold (\b, \b0) and italic (\i, \i0)
// in nested groups, escaped characters (\\ \{ \} and \'hh in Windows-1252), \~ as a fixed blank
// and \uN as a character. Dropped: the font, colour and style tables, destinations marked \*,
// pictures, and every other control word. A document that is not RTF at all is shown as plain
// text.
QString rtfToHtml(const QByteArray &rtf);

} // namespace app
