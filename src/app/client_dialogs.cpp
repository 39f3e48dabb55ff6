#include "app/client_dialogs.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/client_rules.h"
#include "ui/action.h"
#include "ui/dataset.h"
#include "ui/db_grid.h"

namespace app {

NewClientNumberDialog::NewClientNumberDialog(const QString &proposal, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("New Client Number"));
    setObjectName(QStringLiteral("NewClientNumberDialog"));
    auto *layout = new QVBoxLayout(this);
    auto *label = new QLabel(QStringLiteral("New Client Number"));
    m_number = new QLineEdit(proposal);
    m_number->setObjectName(QStringLiteral("NumberEdit"));
    m_number->setMaxLength(6);
    m_number->selectAll();
    label->setBuddy(m_number);
    layout->addWidget(label);
    layout->addWidget(m_number);
    auto *buttons = new QHBoxLayout;
    auto *ok = new QPushButton(QStringLiteral("&Ok"));
    ok->setObjectName(QStringLiteral("OkBtn"));
    ok->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("&Cancel"));
    cancel->setObjectName(QStringLiteral("CancelBtn"));
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString NewClientNumberDialog::number() const
{
    return m_number->text();
}

ClientSearchDialog::ClientSearchDialog(ui::Dataset &shadow, ui::Messages &messages, QWidget *parent)
    : QDialog(parent)
    , m_shadow(shadow)
    , m_messages(messages)
{
    setWindowTitle(QStringLiteral("Client Search"));
    setObjectName(QStringLiteral("ClientSearchDialog"));
    auto *layout = new QVBoxLayout(this);
    m_grid = new ui::DbGrid;
    m_grid->setObjectName(QStringLiteral("ClientGrid"));
    m_grid->setMessages(&messages);
    m_grid->bind(&shadow,
        { { QStringLiteral("NAME"), QStringLiteral("Name"), 30 },
            { QStringLiteral("NUMBER"), QStringLiteral("Number"), 6 },
            { QStringLiteral("CONTACT"), QStringLiteral("Contact"), 15 },
            { QStringLiteral("PHONE"), QStringLiteral("Phone"), 13 },
            { QStringLiteral("FAX"), QStringLiteral("Fax"), 13 } });
    layout->addWidget(m_grid, 1);

    auto *form = new QFormLayout;
    m_order = new QComboBox;
    m_order->setObjectName(QStringLiteral("SearchByCombo"));
    m_order->addItems(ClientRules::searchOrders());
    m_order->setCurrentIndex(std::max(0, int(ClientRules::searchTags().indexOf(shadow.tag()))));
    form->addRow(QStringLiteral("Search &By"), m_order);
    m_search = new QLineEdit;
    m_search->setObjectName(QStringLiteral("SearchEdit"));
    form->addRow(QStringLiteral("&Search Characters"), m_search);
    layout->addLayout(form);

    m_status = new QLabel;
    m_status->setObjectName(QStringLiteral("StatusLine"));
    layout->addWidget(m_status);
    auto *box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    layout->addWidget(box);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_grid, &ui::DbGrid::rowActivated, this, &QDialog::accept);

    connect(m_order, &QComboBox::currentIndexChanged, this, &ClientSearchDialog::orderChosen);
    connect(m_search, &QLineEdit::textEdited, this, &ClientSearchDialog::searchTyped);
    connect(&shadow, &ui::Dataset::afterScroll, this, &ClientSearchDialog::updateStatus);
    connect(&shadow, &ui::Dataset::rowsChanged, this, &ClientSearchDialog::updateStatus);
    // Every column of the grid in view at once.
    resize(std::max(620, sizeHint().width()), 420);
    m_search->setFocus();
    m_grid->showCurrent();
    updateStatus();
}

void ClientSearchDialog::orderChosen(int index)
{
    if (index < 0 || index >= ClientRules::searchTags().size())
        return;
    ui::runAction(m_messages, [&] {
        const ui::Dataset::Bookmark at = m_shadow.bookmark();
        m_shadow.setTag(ClientRules::searchTags()[index]);
        if (m_search->text().isEmpty())
            m_shadow.gotoBookmark(at);
        else
            m_shadow.findNearest({ m_search->text() });
    });
    m_grid->showCurrent();
    updateStatus();
}

void ClientSearchDialog::searchTyped(const QString &text)
{
    ui::runAction(m_messages, [&] { m_shadow.findNearest({ text }); });
    m_grid->showCurrent();
    updateStatus();
}

void ClientSearchDialog::updateStatus()
{
    const int row = m_grid->gridModel() ? m_grid->gridModel()->currentRow() : -1;
    m_status->setText(QStringLiteral("Rec # %1 of %2")
                          .arg(row < 0 ? 0 : row + 1)
                          .arg(m_shadow.isOpen() ? qulonglong(m_shadow.recordCount()) : 0));
}

} // namespace app
