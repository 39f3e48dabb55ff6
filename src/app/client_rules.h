#pragma once

#include <functional>
#include <optional>

#include <QDate>
#include <QObject>
#include <QString>
#include <QStringList>

namespace platform {
class Clock;
}
namespace ui {
class Messages;
}

namespace app {

class MainData;

// Today's date of `clock` as a QDate.
QDate todayOf(const platform::Clock &clock);

// The rules of the client records on the main window, without widgets:
//
//   proposal      NEXTCLIENT of the track record as a whole number ("" when empty)
//   add           checks the typed number (all digits, not on file), sets the adding flag,
//                 inserts the client with its defaults and the last-posted client parts
//   before post   a new client's number is checked again (it may have been retyped); the
//                 adding flag is cleared and automatic edit switched on
//   after post    a newly added client moves NEXTCLIENT to its number plus 1: not inside the
//                 post's signal but once the post has returned (settleCounter(), called by
//                 the code that posted, else from the event loop), through the counter
//                 taker's lock, re-read and retry
//   navigator     Post first keeps the city, state, postal code and the first eight characters
//                 of phone, fax and beeper for the next new client; Cancel clears the flag
//   delete        asks, removes the client's slips, statements and projects (payments stay),
//                 then the client; whatever the answer, the first client by name is shown
//
// attach() hooks the before- and after-post steps to ClientTable; `refresh` is the client
// refresh (ClientRefresh::run in the program).
class ClientRules
{
public:
    // `clock` gives a new client's SETUPDATE; it must outlive the rules.
    ClientRules(MainData &data, ui::Messages &messages, const platform::Clock &clock);

    static const QString &defaultTerms();
    static QString deleteQuestion(const QString &name);
    static QString notDigitsText(const QString &number);
    static QString duplicateText(const QString &number);

    void attach();

    QString proposedNumber() const;
    // "" when the number may be used, otherwise the message that refuses it.
    QString numberProblem(const QString &number) const;

    // Checks the number (showing the refusal) and inserts the new client; false when refused
    // or the engine failed (the message shown, nothing written).
    bool add(const QString &number);
    // Add Client through the number dialog: `ask` shows it with a proposal and returns the number
    // typed, or nothing when cancelled. An empty number ends the add as a cancel does; a refused
    // one (not digits, or on file) shows its message and the dialog comes back with what was
    // typed, until a number is accepted or the dialog cancelled. True when the new client is
    // being inserted; false leaves every record as it was, none of them in edit.
    bool addClient(const std::function<std::optional<QString>(const QString &proposal)> &ask);
    bool edit();
    bool navigatorPost();
    // Moves NEXTCLIENT for the client added by the last post, if that has not been done yet.
    // Callers that post ClientTable call it after the post; a counter that stays locked shows
    // the engine's message (the client is on file either way).
    void settleCounter();
    void navigatorCancel();
    // Asks and deletes; returns whether the client was deleted.
    bool deleteClient();

    // The client search: its orders ("Name", "Number", "Contact", "Phone", "Fax") and their
    // tags; prepareSearch() puts the second client cursor on the current client in the main
    // window's order; chooseSearched() makes the client under the second cursor current and
    // the main window follow the order searched by.
    static const QStringList &searchOrders();
    static const QStringList &searchTags();
    void prepareSearch();
    void chooseSearched();

    std::function<void()> refresh;

private:
    void beforePost();
    void afterPost();
    void removeRows(int cursor, const QString &tag, const QString &number);
    void showFirst();

    MainData &m_data;
    ui::Messages &m_messages;
    const platform::Clock &m_clock;
    QString m_postingNumber;
    bool m_postingNew = false;
    std::optional<double> m_counterDue; // NEXTCLIENT still to be written
    QObject m_queue; // context of the queued settleCounter; its end drops the call
};

} // namespace app
