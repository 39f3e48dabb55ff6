#pragma once

#include <QPointer>
#include <QStringList>
#include <QVariantList>

#include "ui/dataset.h"

namespace ui {

// Puts a dataset back as it stood when the scope began: pending edit dropped (its record lock
// released), tag, range, master link and position restored, display thawed. Runs that borrow the
// main window's cursors (billing, reports, auto billing) hold one per cursor they touch, so that
// the main window shows what it showed before on every path: a finished run, a cancel, or an
// engine error thrown half-way.
//
// The restore never throws: a step the engine refuses is skipped and the next one still runs.
// A position whose record has gone meanwhile falls back to the first row.
//
// Scopes restore in reverse order of construction. Declare a detail's scope before its master's:
// the master is then back on its record when the detail re-links and returns to its own row.
class CursorScope
{
public:
    enum Option {
        None = 0,
        Freeze = 1, // hold display signals until the scope ends
        DetachMaster = 2, // clear the master link for the run (the detail moves freely)
    };
    explicit CursorScope(Dataset &dataset, int options = Freeze);
    ~CursorScope();
    CursorScope(const CursorScope &) = delete;
    CursorScope &operator=(const CursorScope &) = delete;

    Dataset &dataset() const { return *m_dataset; }
    // Restores now instead of at the end of the scope; later calls do nothing.
    void restore();
    // Keeps the dataset where the run left it (thawing it still).
    void release() { m_restorePosition = false; }

private:
    QPointer<Dataset> m_dataset;
    QString m_tag;
    bool m_hadRange = false;
    QVariantList m_low;
    QVariantList m_high;
    QPointer<Dataset> m_master;
    QStringList m_masterFields;
    Dataset::Bookmark m_bookmark;
    bool m_froze = false;
    bool m_wasEditing = false;
    bool m_restorePosition = true;
    bool m_done = false;
};

} // namespace ui
