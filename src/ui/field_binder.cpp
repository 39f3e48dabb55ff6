#include "ui/field_binder.h"

#include "ui/messages.h"

namespace ui {

void FieldBinder::report(FieldLink *link) const
{
    Messages *messages = &m_messages;
    QObject::connect(link, &FieldLink::failed, link,
        [messages](const QString &message) { messages->error(message); });
}

} // namespace ui
