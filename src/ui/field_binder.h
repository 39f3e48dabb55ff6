#pragma once

#include <utility>

#include <QString>

#include "ui/dataset.h"
#include "ui/field_link.h"

namespace ui {

class Messages;

// Binds a window's data-aware widgets to one dataset, one call per widget: the widget gets its
// object name, is bound to its field, and every failure its link reports (a record another user
// holds, a value the field refuses, a memo that cannot be read) is shown in an error box with
// the engine's own message. A widget bound any other way undoes a refused keystroke without a
// word, so every window binds through here.
//
//     ui::FieldBinder bind(staff, messages);
//     auto *name = bind(new ui::DbEdit(info), QStringLiteral("EMPNAMEEdit"),
//         QStringLiteral("EMPNAME"));
//     auto *active = bind(new ui::DbCheckBox(QStringLiteral("&Active Client")),
//         QStringLiteral("ActiveCheck"), QStringLiteral("ACTIVE"), QStringLiteral("Y"),
//         QStringLiteral("N"));
//
// Arguments after the field go to the widget's own bind (a check box's stored values, a text
// box's longest text). Items of radio groups and drop-downs may be added before or after.
// The binder itself may be a local of the window's constructor: what it connects lives on the
// widget's link. Requires: the dataset and the messages service outlive the widgets.
class FieldBinder
{
public:
    FieldBinder(Dataset &dataset, Messages &messages)
        : m_dataset(dataset)
        , m_messages(messages)
    {
    }

    template <class Widget, class... BindArgs>
    Widget *operator()(Widget *widget, const QString &objectName, const QString &field,
        BindArgs &&...bindArgs) const
    {
        widget->setObjectName(objectName);
        // Reported before binding, so that a value that cannot be shown at once is reported too.
        report(widget->link());
        widget->bind(&m_dataset, field, std::forward<BindArgs>(bindArgs)...);
        return widget;
    }

    // Shows every failure of a link bound by other means in an error box.
    void report(FieldLink *link) const;

    Dataset &dataset() const { return m_dataset; }

private:
    Dataset &m_dataset;
    Messages &m_messages;
};

} // namespace ui
