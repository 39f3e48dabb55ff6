#include "reference/setup_rules.h"

#include <exception>

#include "ui/dataset.h"
#include "ui/messages.h"

namespace reference {

namespace {

const QString kYes = QStringLiteral("Y");
const QString kNo = QStringLiteral("N");
constexpr int kFontNameWidth = 30;

} // namespace

QStringList SetupRules::sortOrders()
{
    return { QStringLiteral("By Project & Activity"), QStringLiteral("By Project"),
        QStringLiteral("By Activity"), QStringLiteral("By Entry Order"),
        QStringLiteral("By Date Order") };
}

SetupRules::SubtotalState SetupRules::subtotalStateFor(const QString &sortOrder)
{
    const QStringList orders = sortOrders();
    switch (orders.indexOf(sortOrder)) {
    case 1: // by project
        return { true, false };
    case 2: // by activity
        return { false, true };
    case 3: // entry order
    case 4: // date order
        return { false, false };
    default: // project and activity, or a text none of the five
        return { true, true };
    }
}

SetupRules::SetupRules(ui::Dataset &setup, ui::Messages &messages)
    : m_setup(setup)
    , m_messages(messages)
{
}

void SetupRules::open()
{
    m_setup.first();
    m_setup.edit();
    applySubtotalRule();
}

void SetupRules::setFlag(const QString &field, bool on)
{
    const QString value = on ? kYes : kNo;
    // Writing only on a change keeps an untouched record unmodified.
    if (m_setup.text(field) != value)
        m_setup.setValue(field, value);
}

void SetupRules::applySubtotalRule()
{
    m_applying = true;
    m_subtotals = subtotalStateFor(m_setup.text(QStringLiteral("INVSORT")));
    try {
        if (!m_subtotals.projectsAllowed)
            setFlag(QStringLiteral("SUBPROJ"), false);
        if (!m_subtotals.activitiesAllowed)
            setFlag(QStringLiteral("SUBACT"), false);
    } catch (...) {
        m_applying = false;
        throw;
    }
    m_applying = false;
}

void SetupRules::fieldChanged(const QString &field)
{
    if (m_applying)
        return;
    if (field.compare(QLatin1String("INVSORT"), Qt::CaseInsensitive) == 0) {
        applySubtotalRule();
    } else if (field.compare(QLatin1String("PRINTBOX"), Qt::CaseInsensitive) == 0) {
        if (m_setup.text(QStringLiteral("PRINTBOX")) != kYes)
            setFlag(QStringLiteral("PRINTSHADE"), false);
    }
}

void SetupRules::setInvoiceFont(const QString &family)
{
    m_setup.setValue(QStringLiteral("INVFONT"), family.left(kFontNameWidth));
}

bool SetupRules::isModified() const
{
    return m_setup.isEditing() && m_setup.isModified();
}

bool SetupRules::save()
{
    if (!m_setup.isEditing())
        return true;
    try {
        m_setup.post();
    } catch (const ui::AbortAction &) {
        return false;
    } catch (const std::exception &e) {
        m_messages.error(QString::fromLocal8Bit(e.what()));
        return false;
    }
    return true;
}

void SetupRules::discard()
{
    if (m_setup.isEditing())
        m_setup.cancel();
}

bool SetupRules::closeQuery()
{
    if (isModified()) {
        const ui::MessageAnswer answer = m_messages.show(ui::MessageKind::Information,
            QStringLiteral("Do you want to save these changes?"), ui::MessageButtons::YesNo);
        if (answer == ui::MessageAnswer::Yes)
            return save();
    }
    discard();
    return true;
}

QStringList SetupRules::userFieldCaptions() const
{
    QStringList captions;
    for (int i = 1; i <= 5; ++i)
        captions << m_setup.text(QStringLiteral("USERFIELD%1").arg(i));
    return captions;
}

} // namespace reference
