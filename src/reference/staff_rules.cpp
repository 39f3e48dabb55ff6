#include "reference/staff_rules.h"

#include <exception>

#include "ui/dataset.h"
#include "ui/input_dialog_mode.h"
#include "ui/messages.h"

namespace reference {

StaffRules::StaffRules(ui::Dataset &staff, ui::Messages &messages)
    : m_staff(staff)
    , m_messages(messages)
{
}

void StaffRules::open()
{
    m_staff.setAutoEdit(!m_staff.isEmpty() && !m_staff.text(QStringLiteral("EMPNUMBER")).isEmpty());
}

bool StaffRules::codeInUse(const QString &code) const
{
    // A reader of its own, so that a hit does not move the member shown.
    auto lookup = m_staff.cursor()->reader();
    lookup->setTag(QStringLiteral("EMPNUMBER"));
    return lookup->findKey({ code });
}

bool StaffRules::newStaff(const AskCode &askCode)
{
    for (;;) {
        const QString code = ui::normalizeCode(askCode().trimmed(), ui::InputDialogMode::Staff);
        if (code.isEmpty())
            return false;
        if (codeInUse(code)) {
            m_messages.information(QStringLiteral("The selected Employee Code is already in use."));
            continue;
        }
        try {
            m_staff.insert();
            m_staff.setValue(QStringLiteral("EMPNUMBER"), code);
        } catch (const std::exception &e) {
            m_messages.error(QString::fromLocal8Bit(e.what()));
            return false;
        }
        return true;
    }
}

bool StaffRules::save()
{
    if (!m_staff.isEditing())
        return true;
    try {
        m_staff.post();
    } catch (const ui::AbortAction &) {
        return false;
    } catch (const std::exception &e) {
        m_messages.error(QString::fromLocal8Bit(e.what()));
        return false;
    }
    // A record is shown now, so typing edits it again.
    m_staff.setAutoEdit(true);
    return true;
}

void StaffRules::cancel()
{
    if (m_staff.isEditing())
        m_staff.cancel();
}

bool StaffRules::remove()
{
    if (m_staff.isEmpty())
        return false;
    if (m_staff.text(QStringLiteral("EMPNUMBER")) == QLatin1String(kSupervisorCode)) {
        m_messages.information(QStringLiteral("The Supervisor Record cannot be deleted."));
        return false;
    }
    const QString question =
        QStringLiteral("Delete ") + m_staff.text(QStringLiteral("EMPNAME")) + QStringLiteral("?");
    if (m_messages.confirm(question, ui::MessageButtons::OkCancel) != ui::MessageAnswer::Ok)
        return false;
    try {
        m_staff.remove();
    } catch (const std::exception &e) {
        m_messages.error(QString::fromLocal8Bit(e.what()));
        return false;
    }
    if (m_staff.isEmpty())
        m_staff.setAutoEdit(false);
    return true;
}

bool StaffRules::canSearch()
{
    if (m_staff.isEmpty()) {
        m_messages.information(QStringLiteral("There are no Staff Members to list."));
        return false;
    }
    return true;
}

StaffRules::ButtonStates StaffRules::buttonStates() const
{
    const bool editing = m_staff.isEditing();
    return { !editing, !editing, !editing, editing, editing };
}

} // namespace reference
