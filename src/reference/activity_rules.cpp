#include "reference/activity_rules.h"

#include <exception>

#include "ui/dataset.h"
#include "ui/input_dialog_mode.h"
#include "ui/messages.h"

namespace reference {

namespace {

const QString kCode = QStringLiteral("ACTIVITY");

} // namespace

ActivityRules::ActivityRules(ui::Dataset &activities, const ui::Dataset &slips,
    const ui::Dataset &setup, ui::Messages &messages)
    : m_activities(activities)
    , m_slips(slips)
    , m_setup(setup)
    , m_messages(messages)
{
}

void ActivityRules::open()
{
    m_activities.setAutoEdit(!m_activities.isEmpty() && !m_activities.text(kCode).isEmpty());
}

bool ActivityRules::codeInUse(const QString &code) const
{
    // A reader of its own, so that a hit does not move the activity shown.
    auto lookup = m_activities.cursor()->reader();
    lookup->setTag(kCode);
    return lookup->findKey({ code });
}

bool ActivityRules::usedBySlips(const QString &code) const
{
    if (code.isEmpty() || !m_slips.isOpen())
        return false;
    // The main window's slips stay restricted to the current client; this reader sees all.
    auto lookup = m_slips.cursor()->reader();
    lookup->cancelRange();
    lookup->setTag(QStringLiteral("SL_ActOnly"));
    return lookup->findKey({ code });
}

double ActivityRules::defaultTaxRate() const
{
    if (!m_setup.isOpen() || m_setup.isEmpty())
        return 0.0;
    return m_setup.value(QStringLiteral("DEFTAXRATE")).toDouble();
}

bool ActivityRules::newActivity(const AskCode &askCode)
{
    for (;;) {
        const QString code = ui::normalizeCode(askCode().trimmed(), ui::InputDialogMode::Activity);
        if (code.isEmpty())
            return false;
        try {
            if (codeInUse(code)) {
                m_messages.information(
                    QStringLiteral("The selected Activity Code is already in use."));
                continue;
            }
            m_activities.insert();
            m_activities.setValue(kCode, code);
            m_activities.setValue(QStringLiteral("ACTTYPE"), QStringLiteral("B"));
            m_activities.setValue(QStringLiteral("BILLABLE"), 1);
            m_activities.setValue(QStringLiteral("TAXABLE"), QStringLiteral("N"));
        } catch (const std::exception &e) {
            if (m_activities.state() == ui::Dataset::State::Insert)
                m_activities.cancel();
            m_messages.error(QString::fromLocal8Bit(e.what()));
            return false;
        }
        return true;
    }
}

void ActivityRules::taxableClicked()
{
    if (!m_activities.isEditing() || m_activities.text(QStringLiteral("TAXABLE")) != u"Y")
        return;
    const QVariant rate = m_activities.value(QStringLiteral("TAXRATE"));
    if (!rate.isNull() && rate.toDouble() != 0.0)
        return;
    m_activities.setValue(QStringLiteral("TAXRATE"), defaultTaxRate());
}

bool ActivityRules::save()
{
    if (!m_activities.isEditing())
        return true;
    try {
        m_activities.post();
    } catch (const ui::AbortAction &) {
        return false;
    } catch (const std::exception &e) {
        m_messages.error(QString::fromLocal8Bit(e.what()));
        return false;
    }
    // A record is shown now, so typing edits it again.
    m_activities.setAutoEdit(true);
    return true;
}

void ActivityRules::cancel()
{
    if (m_activities.isEditing())
        m_activities.cancel();
}

bool ActivityRules::remove()
{
    if (m_activities.isEmpty() || m_activities.isEditing())
        return false;
    try {
        if (usedBySlips(m_activities.text(kCode))) {
            m_messages.information(QStringLiteral(
                "This Activity cannot be deleted.  Time Slips exist that use this activity."));
            return false;
        }
        const QString question = QStringLiteral("Delete ")
            + m_activities.text(QStringLiteral("DESC")) + QStringLiteral("?");
        if (m_messages.confirm(question, ui::MessageButtons::OkCancel) != ui::MessageAnswer::Ok)
            return false;
        m_activities.remove();
    } catch (const std::exception &e) {
        m_messages.error(QString::fromLocal8Bit(e.what()));
        return false;
    }
    if (m_activities.isEmpty())
        m_activities.setAutoEdit(false);
    return true;
}

bool ActivityRules::canSearch()
{
    if (m_activities.isEmpty()) {
        m_messages.information(QStringLiteral("There are no Activities to list."));
        return false;
    }
    return true;
}

ActivityRules::ButtonStates ActivityRules::buttonStates() const
{
    const bool editing = m_activities.isEditing();
    return { !editing, !editing, !editing, editing, editing };
}

} // namespace reference
