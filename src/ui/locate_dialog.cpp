#include "ui/locate_dialog.h"

#include <algorithm>

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/action.h"
#include "ui/messages.h"

namespace ui {

const QString LocateDialog::kNotFound = QStringLiteral("No matching record was found.");

LocateDialog::LocateDialog(Dataset *dataset, Messages &messages, const QString &caption,
    const QString &preselectedField, QWidget *parent)
    : QDialog(parent)
    , m_dataset(dataset)
    , m_messages(messages)
    , m_fields(new QListWidget(this))
    , m_value(new QLineEdit(this))
    , m_exact(new QRadioButton(QStringLiteral("&Exact Match"), this))
    , m_beginning(new QRadioButton(QStringLiteral("&Partial Match at Beginning"), this))
    , m_anywhere(new QRadioButton(QStringLiteral("Partial Match &Anywhere"), this))
    , m_case(new QCheckBox(QStringLiteral("&Case-sensitive"), this))
    , m_first(new QPushButton(QStringLiteral("Fi&rst"), this))
    , m_next(new QPushButton(QStringLiteral("&Next"), this))
    , m_cancel(new QPushButton(QStringLiteral("Cancel"), this))
{
    setWindowTitle(caption);

    QStringList names;
    if (dataset && dataset->isOpen())
        for (const dbf::FieldDef &f : dataset->layout().fields())
            names << QString::fromStdString(f.name);
    std::sort(names.begin(), names.end());
    m_fields->addItems(names);
    const auto preselected = m_fields->findItems(preselectedField, Qt::MatchFixedString);
    m_fields->setCurrentItem(preselected.isEmpty() ? m_fields->item(0) : preselected.first());

    m_beginning->setChecked(true);
    m_next->setDefault(true);
    m_first->setAutoDefault(false);
    m_cancel->setAutoDefault(false);

    auto *fieldsLabel = new QLabel(QStringLiteral("&Fields"), this);
    fieldsLabel->setBuddy(m_fields);
    auto *valueLabel = new QLabel(QStringLiteral("Field &Value"), this);
    valueLabel->setBuddy(m_value);
    auto *types = new QGroupBox(QStringLiteral("&Search Type"), this);
    auto *typeLayout = new QVBoxLayout(types);
    typeLayout->addWidget(m_exact);
    typeLayout->addWidget(m_beginning);
    typeLayout->addWidget(m_anywhere);

    auto *left = new QVBoxLayout;
    left->addWidget(fieldsLabel);
    left->addWidget(m_fields);
    auto *middle = new QVBoxLayout;
    middle->addWidget(valueLabel);
    middle->addWidget(m_value);
    middle->addWidget(types);
    middle->addWidget(m_case);
    middle->addStretch();
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(m_first);
    buttons->addWidget(m_next);
    buttons->addWidget(m_cancel);
    buttons->addStretch();
    auto *layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addLayout(middle);
    layout->addLayout(buttons);

    connect(m_first, &QPushButton::clicked, this, [this] { find(false); });
    connect(m_next, &QPushButton::clicked, this, [this] { find(true); });
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    m_value->setFocus();
}

LocateRequest LocateDialog::request() const
{
    LocateRequest r;
    r.field = m_fields->currentItem() ? m_fields->currentItem()->text() : QString();
    r.value = m_value->text();
    r.type = m_exact->isChecked() ? LocateSearchType::ExactMatch
        : m_anywhere->isChecked() ? LocateSearchType::PartialAnywhere
                                  : LocateSearchType::PartialAtBeginning;
    r.caseSensitive = m_case->isChecked();
    return r;
}

void LocateDialog::setRequest(const LocateRequest &r)
{
    const auto items = m_fields->findItems(r.field, Qt::MatchFixedString);
    if (!items.isEmpty())
        m_fields->setCurrentItem(items.first());
    m_value->setText(r.value);
    m_exact->setChecked(r.type == LocateSearchType::ExactMatch);
    m_beginning->setChecked(r.type == LocateSearchType::PartialAtBeginning);
    m_anywhere->setChecked(r.type == LocateSearchType::PartialAnywhere);
    m_case->setChecked(r.caseSensitive);
}

void LocateDialog::find(bool next)
{
    if (!m_dataset)
        return;
    const LocateRequest r = request();
    bool found = false;
    const bool ran = runAction(
        m_messages, [&] { found = next ? locateNext(*m_dataset, r) : locateFirst(*m_dataset, r); });
    if (ran && !found)
        m_messages.information(kNotFound, windowTitle());
}

} // namespace ui
