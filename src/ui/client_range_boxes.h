#pragma once
// The "Client &Range" group of the windows that run over a range of clients in name order (the
// billing statements, the proforma report, auto billing generation): a "&Begin" and an "&End"
// name box, each with a "..." button that opens the client list.
//
// Leaving a box looks its text up on the client file in NAME order: a text a name begins with
// (exact case) becomes that whole name; any other text opens the client list, whose choice is
// taken and moves the focus on (Begin -> End, End -> `afterEnd`). A cancelled list keeps the
// typed text, or puts the box back to the name it held when `cancelRestores` is set. Another
// window taking the focus (a message box, the list itself) is no leaving.
#include <functional>
#include <optional>
#include <string>

#include <QObject>
#include <QString>

#include "ui/dataset.h"

class QGroupBox;
class QLineEdit;
class QPushButton;
class QWidget;

namespace ui {

class Messages;

class ClientRangeBoxes : public QObject
{
public:
    enum class Box { Begin, End };

    // Builds the group inside `dialog` and opens its own cursor on TWCLIENT (named
    // `lookupName`); the boxes start on the first and the last client by name. `listCaption` is
    // the client list's caption.
    ClientRangeBoxes(QWidget *dialog, const std::string &dataDirectory, const QString &lookupName,
        const QString &listCaption, Messages &messages);

    QGroupBox *group() const { return m_group; }
    QLineEdit *BeginEdit;
    QLineEdit *EndEdit;
    QPushButton *BeginListBtn;
    QPushButton *EndListBtn;

    // The list a box opens, given the box's text; nullopt when it was cancelled. The window
    // routes it through its own hook (tests replace that); clientList() is the real one.
    std::function<std::optional<QString>(const QString &typed)> pick;
    std::optional<QString> clientList(const QString &typed);

    QWidget *afterEnd = nullptr;
    bool cancelRestores = false;
    bool paused = false; // a run is going on: leaving a box looks nothing up

    // Opens the list for a box; true when a name was chosen.
    bool chooseFromList(Box box);
    // A range whose beginning sorts after its end (plain character-code comparison of the two
    // texts; equal texts are one client's name): warns, sends the user to the End box's list and
    // returns true.
    bool refuseReversed();
    // Gives a widget the focus without the box it leaves looking anything up.
    void focusQuietly(QWidget *widget);
    void closeLookup() { m_lookup.close(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void boxLeft(Box box);
    QLineEdit *edit(Box box) const { return box == Box::Begin ? BeginEdit : EndEdit; }

    QWidget *m_dialog;
    QGroupBox *m_group;
    QString m_listCaption;
    Messages &m_messages;
    Dataset m_lookup; // own cursor on TWCLIENT, tag NAME
    QString m_bound[2]; // the names the boxes held last
    bool m_inLookup = false;
};

} // namespace ui
