#pragma once

#include <QFlags>
#include <QMap>
#include <QWidget>

#include "ui/dataset.h"

class QToolButton;

namespace ui {

class Messages;

// A row of buttons that moves a dataset and ends its edits: First, Prior, Next, Last, Insert,
// Delete, Edit, Post, Cancel, Refresh, each shown or hidden (the main window's client navigator
// shows only Prior, Next, Post and Cancel). Buttons are enabled by the dataset's state: moves
// and Insert, Delete, Edit while browsing (Prior and First off once the dataset is at its
// beginning, Next and Last once at its end, as bof() and eof() say), Post and Cancel only while
// editing or inserting. Each click runs through runAction, so an engine failure shows in an error
// box and the dataset stays as it was. Delete asks first when a confirmation text is set.
class DbNavigator : public QWidget
{
    Q_OBJECT
public:
    enum Button {
        First = 0x1,
        Prior = 0x2,
        Next = 0x4,
        Last = 0x8,
        Insert = 0x10,
        Delete = 0x20,
        Edit = 0x40,
        Post = 0x80,
        Cancel = 0x100,
        Refresh = 0x200,
    };
    Q_DECLARE_FLAGS(Buttons, Button)

    explicit DbNavigator(QWidget *parent = nullptr);
    void bind(Dataset *dataset, Messages *messages);
    void setVisibleButtons(Buttons buttons);
    void setDeleteConfirmation(const QString &text) { m_confirmDelete = text; }
    QToolButton *button(Button b) const { return m_buttons.value(b); }
    // Runs a button's action as a click does (when the button is enabled).
    void click(Button b);
    void updateButtons();

private:
    void run(Button b);

    Dataset *m_dataset = nullptr;
    Messages *m_messages = nullptr;
    QMap<Button, QToolButton *> m_buttons;
    QString m_confirmDelete;
    QList<QMetaObject::Connection> m_connections;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(DbNavigator::Buttons)

} // namespace ui
