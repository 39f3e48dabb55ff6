#include "ui/cursor_scope.h"

#include <exception>

namespace ui {

namespace {

template <typename Step> void tryStep(Step step)
{
    try {
        step();
    } catch (const std::exception &) {
        // A refused step leaves the dataset usable; the remaining steps still run.
    }
}

} // namespace

CursorScope::CursorScope(Dataset &dataset, int options)
    : m_dataset(&dataset)
{
    if (dataset.isOpen()) {
        m_tag = dataset.tag();
        m_hadRange = dataset.hasRange();
        m_low = dataset.rangeLow();
        m_high = dataset.rangeHigh();
        m_bookmark = dataset.bookmark();
        m_wasEditing = dataset.isEditing();
    }
    m_master = dataset.master();
    m_masterFields = dataset.masterFields();
    if ((options & DetachMaster) && m_master)
        dataset.clearMaster();
    if (options & Freeze) {
        dataset.disableControls();
        m_froze = true;
    }
}

CursorScope::~CursorScope()
{
    restore();
}

void CursorScope::restore()
{
    if (m_done || !m_dataset)
        return;
    m_done = true;
    Dataset &ds = *m_dataset;
    if (ds.isOpen() && m_restorePosition) {
        if (ds.isEditing() && !m_wasEditing)
            tryStep([&] { ds.cancel(); });
        if (ds.master() != m_master.data() || ds.masterFields() != m_masterFields)
            ds.clearMaster();
        if (ds.tag().compare(m_tag, Qt::CaseInsensitive) != 0)
            tryStep([&] { ds.setTag(m_tag); });
        if (!m_master) {
            if (m_hadRange)
                tryStep([&] { ds.setRange(m_low, m_high); });
            else if (ds.hasRange())
                tryStep([&] { ds.cancelRange(); });
        } else if (!ds.master()) {
            tryStep([&] { ds.setMaster(m_master.data(), m_masterFields); });
        }
        tryStep([&] {
            if (!m_bookmark.isValid() || !ds.gotoBookmark(m_bookmark))
                ds.first();
        });
    } else if (m_master && !ds.master()) {
        tryStep([&] { ds.setMaster(m_master.data(), m_masterFields); });
    }
    if (m_froze)
        ds.enableControls();
}

} // namespace ui
