#include "reference/project_rules.h"

#include <exception>

#include <QDate>

#include "platform/clock.h"
#include "ui/dataset.h"
#include "ui/input_dialog_mode.h"
#include "ui/messages.h"

namespace reference {

namespace {

const QString kCode = QStringLiteral("PJ_CODE");
const QString kClient = QStringLiteral("PJ_CLIENT");
const QString kClientCodeOrder = QStringLiteral("CLIENT_COD");
const QString kCodeOrder = QStringLiteral("PJ_Code");

QDate toQDate(std::chrono::year_month_day day)
{
    return QDate(int(day.year()), int(unsigned(day.month())), int(unsigned(day.day())));
}

} // namespace

ProjectRules::ProjectRules(ui::Dataset &projects, const ui::Dataset &clients,
    const ui::Dataset &slips, ui::Messages &messages, const platform::Clock &clock)
    : m_projects(projects)
    , m_clients(clients)
    , m_slips(slips)
    , m_messages(messages)
    , m_clock(clock)
{
}

const QString &ProjectRules::noClientText()
{
    static const QString text = QStringLiteral("Projects must be assigned a client.  Please "
                                               "select the client to be assigned to this project.");
    return text;
}

void ProjectRules::setOrder(const QString &tag)
{
    if (m_projects.tag().compare(tag, Qt::CaseInsensitive) == 0)
        return;
    const ui::Dataset::Bookmark shown = m_projects.bookmark();
    m_projects.setTag(tag);
    if (shown.isValid())
        m_projects.gotoBookmark(shown);
}

void ProjectRules::open()
{
    m_currentClient = m_clients.isOpen() && !m_clients.isEmpty()
        ? m_clients.text(QStringLiteral("NUMBER"))
        : QString();
    m_clientEditable = false;
    const ui::Dataset::Bookmark shown = m_projects.bookmark();
    m_projects.cancelRange();
    setOrder(kClientCodeOrder);
    if (shown.isValid())
        m_projects.gotoBookmark(shown);
    m_projects.setAutoEdit(!m_projects.isEmpty() && !m_projects.text(kCode).isEmpty());
}

bool ProjectRules::codeInUse(const QString &code) const
{
    auto lookup = m_projects.cursor()->reader();
    lookup->cancelRange();
    lookup->setTag(kCodeOrder);
    return lookup->findKey({ code });
}

bool ProjectRules::usedBySlips(const QString &code) const
{
    if (code.isEmpty() || !m_slips.isOpen())
        return false;
    // The main window's slips stay restricted to the current client; this reader sees all.
    auto lookup = m_slips.cursor()->reader();
    lookup->cancelRange();
    lookup->setTag(QStringLiteral("SL_PrjOnly"));
    return lookup->findKey({ code });
}

QString ProjectRules::clientName(const QString &number) const
{
    if (number.trimmed().isEmpty() || !m_clients.isOpen())
        return {};
    auto lookup = m_clients.cursor()->reader();
    lookup->cancelRange();
    lookup->setTag(QStringLiteral("NUMBER"));
    if (!lookup->findKey({ number }))
        return {};
    return lookup->value(std::size_t(m_clients.fieldIndex(QStringLiteral("NAME")))).toString();
}

bool ProjectRules::clientExists(const QString &number) const
{
    if (number.trimmed().isEmpty() || !m_clients.isOpen())
        return false;
    auto lookup = m_clients.cursor()->reader();
    lookup->cancelRange();
    lookup->setTag(QStringLiteral("NUMBER"));
    return lookup->findKey({ number });
}

bool ProjectRules::newProject(const AskCode &askCode)
{
    for (;;) {
        const QString code = ui::normalizeCode(askCode().trimmed(), ui::InputDialogMode::Project);
        if (code.isEmpty())
            return false;
        try {
            setOrder(kCodeOrder);
            if (codeInUse(code)) {
                m_messages.information(
                    QStringLiteral("The selected Project Code is already in use."));
                continue;
            }
            const QDate today = toQDate(m_clock.today());
            m_projects.insert();
            m_projects.setValue(kClient, m_currentClient);
            m_projects.setValue(kCode, code);
            m_projects.setValue(QStringLiteral("PJ_ESTDATE"), today);
            m_projects.setValue(QStringLiteral("PJ_STARTDT"), today);
        } catch (const std::exception &e) {
            if (m_projects.state() == ui::Dataset::State::Insert)
                m_projects.cancel();
            m_messages.error(QString::fromLocal8Bit(e.what()));
            return false;
        }
        m_clientEditable = true;
        return true;
    }
}

bool ProjectRules::save()
{
    if (!m_projects.isEditing())
        return true;
    try {
        // A number that names no client would leave the project without one as surely as a
        // blank box.
        if (!clientExists(m_projects.text(kClient))) {
            m_messages.warning(noClientText());
            return false;
        }
        m_projects.post();
    } catch (const ui::AbortAction &) {
        return false;
    } catch (const std::exception &e) {
        m_messages.error(QString::fromLocal8Bit(e.what()));
        return false;
    }
    m_clientEditable = false;
    // A project is shown now, so typing edits it again.
    m_projects.setAutoEdit(true);
    return true;
}

void ProjectRules::cancel()
{
    m_clientEditable = false;
    if (m_projects.isEditing())
        m_projects.cancel();
}

void ProjectRules::close()
{
    cancel();
    if (m_projects.isOpen())
        setOrder(kClientCodeOrder);
}

bool ProjectRules::remove()
{
    if (m_projects.isEmpty() || m_projects.isEditing())
        return false;
    try {
        if (usedBySlips(m_projects.text(kCode))) {
            m_messages.information(QStringLiteral(
                "This Project cannot be deleted.  Time Slips exist that use this project."));
            return false;
        }
        const QString question = QStringLiteral("Delete ")
            + m_projects.text(QStringLiteral("PJ_DESC")) + QStringLiteral("?");
        if (m_messages.confirm(question, ui::MessageButtons::OkCancel) != ui::MessageAnswer::Ok)
            return false;
        m_projects.remove();
    } catch (const std::exception &e) {
        m_messages.error(QString::fromLocal8Bit(e.what()));
        return false;
    }
    if (m_projects.isEmpty())
        m_projects.setAutoEdit(false);
    return true;
}

bool ProjectRules::canSearch()
{
    if (m_projects.isEmpty()) {
        m_messages.information(QStringLiteral("There are no Projects to list."));
        return false;
    }
    return true;
}

ProjectRules::ButtonStates ProjectRules::buttonStates() const
{
    const bool editing = m_projects.isEditing();
    return { !editing, !editing, !editing, editing, editing };
}

} // namespace reference
