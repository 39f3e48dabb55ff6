#pragma once

#include <functional>

#include <QString>
#include <QStringList>

namespace ui {
class Messages;
}

namespace app {

class MainData;

// The rules of the client records on the main window, without widgets:
//
//   proposal      NEXTCLIENT of the track record as a whole number ("" when empty)
//   add           checks the typed number (all digits, not on file), sets the adding flag,
//                 inserts the client with its defaults and the last-posted client parts
//   before post   a new client's number is checked again (it may have been retyped); the
//                 adding flag is cleared and automatic edit switched on
//   after post    a newly added client moves NEXTCLIENT to its number plus 1
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
    ClientRules(MainData &data, ui::Messages &messages);

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
    bool edit();
    bool navigatorPost();
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
    QString m_postingNumber;
    bool m_postingNew = false;
};

} // namespace app
