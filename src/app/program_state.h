#pragma once

#include <array>
#include <string>

#include <QString>

#include "ui/dataset.h"

namespace app {

// The program-wide state every window reads: created at start, kept by the shared data context.
struct ProgramState
{
    std::string dataDirectory; // "" (current directory) or ending in "/", at most 51 characters
    QString reportFont = QStringLiteral("Times New Roman"); // at most 20 characters
    QString loginName = QStringLiteral("000"); // staff code, 3 characters
    bool hints = true;
    int accessLevel = 0; // 1..9 once logged in; 0 refuses every option with a code
    bool reindexRequested = false;
    ui::Dataset::Bookmark rememberedClient; // of ClientTable
    QString slipDateBegin; // remembered slip dates, short date format
    QString slipDateEnd;
    bool addingClient = false;
    // City, state, postal code and the first eight characters of phone, fax and beeper of the
    // last client saved with the navigator's Post, proposed for the next new client.
    std::array<QString, 6> lastPostedClientParts;
    bool printedFromPreview = false;
};

} // namespace app
