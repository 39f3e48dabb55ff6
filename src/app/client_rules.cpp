#include "app/client_rules.h"

#include <QDate>
#include <QTimer>

#include "app/main_data.h"
#include "platform/clock.h"
#include "ui/action.h"
#include "ui/counter_taker.h"
#include "ui/messages.h"

namespace app {

namespace {

// The fields the last-posted client parts fill, their lengths when kept, in the order of
// ProgramState::lastPostedClientParts.
struct PartDef
{
    const char *field;
    int length;
};
constexpr PartDef kParts[] = {
    { "SCITY", 20 },
    { "SSTATE", 2 },
    { "SZIP", 10 },
    { "PHONE", 8 },
    { "FAX", 8 },
    { "BEEPER", 8 },
};

bool allDigits(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

// A refusal of the before-post step: the post stops and the message is shown by the action.
class NumberRefused : public std::runtime_error
{
public:
    explicit NumberRefused(const QString &text)
        : std::runtime_error(text.toStdString())
    {
    }
};

} // namespace

QDate todayOf(const platform::Clock &clock)
{
    const std::chrono::year_month_day day = clock.today();
    return QDate(int(day.year()), int(unsigned(day.month())), int(unsigned(day.day())));
}

ClientRules::ClientRules(MainData &data, ui::Messages &messages, const platform::Clock &clock)
    : m_data(data)
    , m_messages(messages)
    , m_clock(clock)
{
}

const QString &ClientRules::defaultTerms()
{
    static const QString text = QStringLiteral("Due on Receipt");
    return text;
}

QString ClientRules::deleteQuestion(const QString &name)
{
    return QStringLiteral("Are you sure you want to delete ") + name + QStringLiteral("?");
}

QString ClientRules::notDigitsText(const QString &number)
{
    return QStringLiteral("The client number \"%1\" is not valid.  A client number is made of "
                          "digits only.")
        .arg(number);
}

QString ClientRules::duplicateText(const QString &number)
{
    return QStringLiteral("Client number %1 is already on file.  Please choose another number.")
        .arg(number);
}

void ClientRules::attach()
{
    ui::Dataset &clients = m_data.clients();
    clients.BeforePost = [this](ui::Dataset &) { beforePost(); };
    QObject::connect(&clients, &ui::Dataset::afterPost, &clients, [this] { afterPost(); });
}

QString ClientRules::proposedNumber() const
{
    ui::Dataset &track = m_data.dataset(MainData::TrackTable);
    if (!track.isOpen() || track.isEmpty())
        return {};
    track.first();
    const QVariant next = track.value(QStringLiteral("NEXTCLIENT"));
    if (next.isNull())
        return {};
    return QString::number(qint64(next.toDouble()));
}

QString ClientRules::numberProblem(const QString &typed) const
{
    const QString number = typed.trimmed();
    if (!allDigits(number) || number.size() > 6)
        return notDigitsText(typed);
    ui::Dataset &shadow = m_data.dataset(MainData::ShadowClientTable);
    if (!shadow.isOpen())
        return {};
    const QString tag = shadow.tag();
    shadow.setTag(QStringLiteral("NUMBER"));
    const bool found = shadow.findKey({ number });
    shadow.setTag(tag);
    return found ? duplicateText(number) : QString();
}

bool ClientRules::add(const QString &number)
{
    QString problem;
    if (!ui::runAction(m_messages, [&] { problem = numberProblem(number); }))
        return false;
    if (!problem.isEmpty()) {
        m_messages.warning(problem);
        return false;
    }
    ui::Dataset &clients = m_data.clients();
    return ui::runAction(m_messages, [&] {
        m_data.state().addingClient = true;
        try {
            clients.insert();
        } catch (...) {
            m_data.state().addingClient = false;
            throw;
        }
        clients.setValue(QStringLiteral("B_RATEDEF"), 1);
        clients.setValue(QStringLiteral("B_RATESRC"), 1);
        clients.setValue(QStringLiteral("CYCLE"), 1);
        clients.setValue(QStringLiteral("ACTIVE"), QStringLiteral("Y"));
        clients.setValue(QStringLiteral("SETUPDATE"), todayOf(m_clock));
        clients.setValue(QStringLiteral("NUMBER"), number.trimmed());
        if (refresh)
            refresh();
        const auto &parts = m_data.state().lastPostedClientParts;
        for (std::size_t i = 0; i < std::size(kParts); ++i)
            clients.setValue(QString::fromLatin1(kParts[i].field), parts[i]);
        clients.setValue(QStringLiteral("TERMS"), defaultTerms());
    });
}

bool ClientRules::addClient(
    const std::function<std::optional<QString>(const QString &proposal)> &ask)
{
    QString proposal = proposedNumber();
    for (;;) {
        const std::optional<QString> typed = ask(proposal);
        if (!typed || typed->trimmed().isEmpty())
            return false;
        QString problem;
        if (!ui::runAction(m_messages, [&] { problem = numberProblem(*typed); }))
            return false;
        if (problem.isEmpty())
            return add(*typed);
        m_messages.warning(problem);
        proposal = *typed;
    }
}

bool ClientRules::edit()
{
    return ui::runAction(m_messages, [&] { m_data.clients().edit(); });
}

void ClientRules::beforePost()
{
    ui::Dataset &clients = m_data.clients();
    m_postingNew = m_data.state().addingClient && clients.state() == ui::Dataset::State::Insert;
    m_postingNumber = clients.text(QStringLiteral("NUMBER")).trimmed();
    if (m_postingNew) {
        const QString problem = numberProblem(m_postingNumber);
        if (!problem.isEmpty())
            throw NumberRefused(problem);
    }
}

void ClientRules::afterPost()
{
    // The counter moves only once the client is on file, so a refused post leaves it alone.
    const bool wasNew = m_postingNew;
    m_postingNew = false;
    m_data.state().addingClient = false;
    m_data.clients().setAutoEdit(true);
    if (!wasNew)
        return;
    // The counter record is shared with the slip and invoice numbers of every copy, so taking
    // it may wait or fail; neither belongs inside the post's signal.
    m_counterDue = m_postingNumber.toDouble() + 1;
    QTimer::singleShot(0, &m_queue, [this] { settleCounter(); });
}

void ClientRules::settleCounter()
{
    if (!m_counterDue)
        return;
    const double next = *m_counterDue;
    m_counterDue.reset();
    ui::Dataset &track = m_data.dataset(MainData::TrackTable);
    if (!track.isOpen())
        return;
    ui::runAction(m_messages, [&] { ui::setCounter(track, QStringLiteral("NEXTCLIENT"), next); });
}

bool ClientRules::navigatorPost()
{
    ui::Dataset &clients = m_data.clients();
    if (!clients.isEditing())
        return true;
    auto &parts = m_data.state().lastPostedClientParts;
    for (std::size_t i = 0; i < std::size(kParts); ++i)
        parts[i] = clients.text(QString::fromLatin1(kParts[i].field)).left(kParts[i].length);
    const bool posted = ui::runAction(m_messages, [&] { clients.post(); });
    settleCounter();
    return posted;
}

void ClientRules::navigatorCancel()
{
    m_data.state().addingClient = false;
    ui::runAction(m_messages, [&] { m_data.clients().cancel(); });
}

void ClientRules::removeRows(int cursor, const QString &tag, const QString &number)
{
    ui::Dataset &ds = m_data.dataset(MainData::Cursor(cursor));
    if (!ds.isOpen())
        return;
    ds.cancelRange();
    if (ds.isEmpty())
        return;
    const QString oldTag = ds.tag();
    ds.setTag(tag);
    while (ds.findKey({ number }))
        ds.remove();
    ds.setTag(oldTag);
    ds.first();
    ds.refresh();
}

bool ClientRules::deleteClient()
{
    ui::Dataset &clients = m_data.clients();
    bool deleted = false;
    const QString name = clients.text(QStringLiteral("NAME"));
    if (m_messages.confirm(deleteQuestion(name)) == ui::MessageAnswer::Yes) {
        const QString number = m_data.currentClientNumber();
        deleted = ui::runAction(m_messages, [&] {
            if (!number.isEmpty()) {
                removeRows(MainData::SlipTable, QStringLiteral("SL_CLIENT"), number);
                removeRows(MainData::InvoiceTable, QStringLiteral("INV_CLIENT"), number);
                removeRows(MainData::ProjectTable, QStringLiteral("PJ_CLIENT"), number);
            }
            clients.remove();
            clients.refresh();
            clients.setTag(QStringLiteral("NAME"));
        });
    }
    showFirst();
    return deleted;
}

const QStringList &ClientRules::searchOrders()
{
    static const QStringList orders{ QStringLiteral("Name"), QStringLiteral("Number"),
        QStringLiteral("Contact"), QStringLiteral("Phone"), QStringLiteral("Fax") };
    return orders;
}

const QStringList &ClientRules::searchTags()
{
    static const QStringList tags{ QStringLiteral("NAME"), QStringLiteral("NUMBER"),
        QStringLiteral("CONTACT"), QStringLiteral("PHONE"), QStringLiteral("FAX") };
    return tags;
}

void ClientRules::prepareSearch()
{
    ui::Dataset &shadow = m_data.dataset(MainData::ShadowClientTable);
    ui::Dataset &clients = m_data.clients();
    QString tag = clients.tag();
    if (!searchTags().contains(tag))
        tag = QStringLiteral("NAME");
    shadow.setTag(tag);
    shadow.refresh();
    shadow.gotoBookmark(clients.bookmark());
}

void ClientRules::chooseSearched()
{
    ui::Dataset &shadow = m_data.dataset(MainData::ShadowClientTable);
    ui::Dataset &clients = m_data.clients();
    const ui::Dataset::Bookmark chosen = shadow.bookmark();
    clients.setTag(shadow.tag());
    clients.refresh();
    clients.gotoBookmark(chosen);
    m_data.state().rememberedClient = clients.bookmark();
    if (refresh)
        refresh();
}

void ClientRules::showFirst()
{
    ui::runAction(m_messages, [&] {
        ui::Dataset &clients = m_data.clients();
        clients.first();
        m_data.state().rememberedClient = clients.bookmark();
        if (refresh)
            refresh();
    });
}

} // namespace app
