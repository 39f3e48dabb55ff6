#include "ui/client_range_boxes.h"

#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/action.h"
#include "ui/engine_cursor.h"
#include "ui/pick_list_dialog.h"

namespace ui {

namespace {

QString trimmedName(const Dataset &clients)
{
    QString name = clients.text(QStringLiteral("NAME"));
    while (name.endsWith(QLatin1Char(' ')))
        name.chop(1);
    return name;
}

} // namespace

ClientRangeBoxes::ClientRangeBoxes(QWidget *dialog, const std::string &dataDirectory,
    const QString &lookupName, const QString &listCaption, Messages &messages)
    : QObject(dialog)
    , m_dialog(dialog)
    , m_group(new QGroupBox(QStringLiteral("Client &Range"), dialog))
    , m_listCaption(listCaption)
    , m_messages(messages)
    , m_lookup(lookupName)
{
    auto *grid = new QGridLayout(m_group);
    const auto nameBox = [this](const char *name) {
        auto *box = new QLineEdit(m_group);
        box->setObjectName(QString::fromLatin1(name));
        box->setMaxLength(30);
        box->setMinimumWidth(box->fontMetrics().horizontalAdvance(QLatin1Char('M')) * 22);
        box->installEventFilter(this);
        return box;
    };
    const auto listButton = [this](const char *name, Box box) {
        auto *b = new QPushButton(QStringLiteral("..."), m_group);
        b->setObjectName(QString::fromLatin1(name));
        b->setToolTip(QStringLiteral("Select Client from a list"));
        b->setAutoDefault(false);
        b->setFocusPolicy(Qt::NoFocus); // the box keeps the focus: no leave lookup on a click
        b->setFixedWidth(b->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 16);
        connect(b, &QPushButton::clicked, this, [this, box] { chooseFromList(box); });
        return b;
    };
    BeginEdit = nameBox("BeginEdit");
    EndEdit = nameBox("EndEdit");
    BeginListBtn = listButton("BeginListBtn", Box::Begin);
    EndListBtn = listButton("EndListBtn", Box::End);
    auto *beginLabel = new QLabel(QStringLiteral("&Begin"), m_group);
    beginLabel->setBuddy(BeginEdit);
    auto *endLabel = new QLabel(QStringLiteral("&End"), m_group);
    endLabel->setBuddy(EndEdit);
    grid->addWidget(beginLabel, 0, 0);
    grid->addWidget(BeginEdit, 0, 1);
    grid->addWidget(BeginListBtn, 0, 2);
    grid->addWidget(endLabel, 1, 0);
    grid->addWidget(EndEdit, 1, 1);
    grid->addWidget(EndListBtn, 1, 2);
    pick = [this](const QString &typed) { return clientList(typed); };

    // The range starts as every client: the first and the last in name order.
    runAction(m_messages, [&] {
        m_lookup.open(EngineCursor::open(dataDirectory, "TWCLIENT"));
        m_lookup.setTag(QStringLiteral("NAME"));
        m_lookup.first();
        if (m_lookup.isEmpty())
            return;
        m_bound[0] = trimmedName(m_lookup);
        m_lookup.last();
        m_bound[1] = trimmedName(m_lookup);
    });
    BeginEdit->setText(m_bound[0]);
    EndEdit->setText(m_bound[1]);
}

std::optional<QString> ClientRangeBoxes::clientList(const QString &typed)
{
    if (!m_lookup.isOpen())
        return std::nullopt;
    m_lookup.findNearest({ typed });
    PickListDialog dialog(&m_lookup,
        { { QStringLiteral("NAME"), QStringLiteral("Name"), 30 },
            { QStringLiteral("NUMBER"), QStringLiteral("Number"), 6 } },
        m_listCaption, m_dialog);
    if (dialog.exec() != QDialog::Accepted || m_lookup.isEmpty())
        return std::nullopt;
    return trimmedName(m_lookup);
}

bool ClientRangeBoxes::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusOut && !m_inLookup && !paused && m_dialog->isVisible()) {
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            if (watched == BeginEdit)
                boxLeft(Box::Begin);
            else if (watched == EndEdit)
                boxLeft(Box::End);
        }
    }
    return QObject::eventFilter(watched, event);
}

bool ClientRangeBoxes::chooseFromList(Box box)
{
    QString &bound = m_bound[box == Box::Begin ? 0 : 1];
    m_inLookup = true;
    std::optional<QString> chosen;
    runAction(m_messages, [&] { chosen = pick(edit(box)->text()); });
    m_inLookup = false;
    if (!chosen) {
        if (cancelRestores)
            edit(box)->setText(bound);
        return false;
    }
    bound = *chosen;
    edit(box)->setText(bound);
    return true;
}

bool ClientRangeBoxes::refuseReversed()
{
    if (BeginEdit->text() <= EndEdit->text())
        return false;
    m_messages.warning(QStringLiteral("Ending Range must be greater than Beginning."));
    focusQuietly(EndEdit);
    chooseFromList(Box::End);
    return true;
}

void ClientRangeBoxes::focusQuietly(QWidget *widget)
{
    m_inLookup = true;
    widget->setFocus();
    m_inLookup = false;
}

void ClientRangeBoxes::boxLeft(Box box)
{
    const QString typed = edit(box)->text();
    bool found = false;
    runAction(m_messages, [&] {
        if (!m_lookup.isOpen() || m_lookup.isEmpty())
            return;
        m_lookup.findNearest({ typed });
        const QString name = trimmedName(m_lookup);
        if (!m_lookup.eof() && name.startsWith(typed, Qt::CaseSensitive)) {
            found = true;
            edit(box)->setText(name);
            m_bound[box == Box::Begin ? 0 : 1] = name;
        }
    });
    if (found || !chooseFromList(box))
        return;
    QWidget *next = box == Box::Begin ? static_cast<QWidget *>(EndEdit) : afterEnd;
    if (next)
        focusQuietly(next);
}

} // namespace ui
