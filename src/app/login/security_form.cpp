#include "app/login/security_form.h"

#include <exception>

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/login/login_rules.h"
#include "ui/messages.h"
#include "ui/placement.h"

namespace login {

namespace {

QWidget *centredLines(const QStringList &lines, QWidget *parent)
{
    auto *label = new QLabel(lines.join(QLatin1Char('\n')), parent);
    label->setAlignment(Qt::AlignHCenter);
    return label;
}

QTableWidgetItem *readOnlyItem(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

} // namespace

TFrmSecurity::TFrmSecurity(const std::filesystem::path &dataDirectory, ui::Messages &messages,
    const QString &iniFileName, QWidget *parent)
    : QDialog(parent)
    , m_messages(messages)
    , m_model(std::make_unique<SecurityModel>(dataDirectory, messages))
{
    setObjectName(QStringLiteral("FrmSecurity"));
    setWindowTitle(QStringLiteral("Administrator Security"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    m_placement = new ui::TPlacement(this);
    m_placement->setIniFileName(iniFileName);
    m_placement->setEntry(QStringLiteral("FrmSecurity"));

    Pages = new QTabWidget(this);
    Pages->setTabPosition(QTabWidget::South);
    Pages->addTab(makeMenuPage(), QStringLiteral("&Menu Security"));
    Pages->addTab(makeStaffPage(), QStringLiteral("&Staff Settings"));

    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, &TFrmSecurity::OKBtnClick);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Pages);
    layout->addLayout(buttons);
    resize(460, 420);

    fillMenuGrid();
    fillStaffGrid();
}

TFrmSecurity::~TFrmSecurity() = default;

QWidget *TFrmSecurity::makeMenuPage()
{
    auto *page = new QWidget(this);
    MenuGrid = new QTableWidget(0, 2, page);
    MenuGrid->setObjectName(QStringLiteral("MenuGrid"));
    MenuGrid->setHorizontalHeaderLabels(
        { QStringLiteral("Program Option Description"), QStringLiteral("Access Level") });
    MenuGrid->verticalHeader()->hide();
    const int charWidth = MenuGrid->fontMetrics().averageCharWidth();
    MenuGrid->setColumnWidth(0, 30 * charWidth + 8);
    MenuGrid->setColumnWidth(1, 12 * charWidth + 8);
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(
        centredLines({ QStringLiteral("Select an access level for each Tarnwick Option listed."),
                         QStringLiteral("The user must have the same access level (or higher) as"),
                         QStringLiteral("The Tarnwick option they are trying to execute.") },
            page));
    layout->addWidget(MenuGrid);
    return page;
}

QWidget *TFrmSecurity::makeStaffPage()
{
    auto *page = new QWidget(this);
    StaffGrid = new QTableWidget(0, 3, page);
    StaffGrid->setObjectName(QStringLiteral("StaffGrid"));
    StaffGrid->setHorizontalHeaderLabels({ QStringLiteral("Staff Member"),
        QStringLiteral("Access Level"), QStringLiteral("Password") });
    StaffGrid->verticalHeader()->hide();
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(
        centredLines({ QStringLiteral("Select an access level for each Tarnwick staff member."),
                         QStringLiteral("This access level is used to determine user access"),
                         QStringLiteral("restrictions.  Each staff member should also be assigned"),
                         QStringLiteral("a password required to log into Tarnwick.") },
            page));
    layout->addWidget(StaffGrid);
    return page;
}

QComboBox *TFrmSecurity::makeLevelBox(int level)
{
    auto *box = new QComboBox;
    box->setEditable(false); // chosen from the list only: nothing outside 1 to 9 can be entered
    for (int l = kLowestLevel; l <= kHighestLevel; ++l)
        box->addItem(QString::number(l));
    box->setCurrentIndex(box->findText(QString::number(level))); // -1 (blank) for a stored 0
    return box;
}

template <typename Action> void TFrmSecurity::guarded(Action action)
{
    try {
        action();
    } catch (const std::exception &e) {
        m_messages.error(QString::fromLocal8Bit(e.what()));
    }
}

void TFrmSecurity::fillMenuGrid()
{
    m_filling = true;
    const auto &rows = m_model->menuRows();
    MenuGrid->setRowCount(int(rows.size()));
    for (int r = 0; r < int(rows.size()); ++r) {
        MenuGrid->setItem(r, 0, readOnlyItem(rows[std::size_t(r)].description));
        QComboBox *box = makeLevelBox(rows[std::size_t(r)].level);
        MenuGrid->setCellWidget(r, 1, box);
        connect(box, &QComboBox::currentTextChanged, this, [this, r](const QString &text) {
            if (m_filling)
                return;
            if (const auto level = parseLevel(text))
                guarded([&] { m_model->setMenuLevel(std::size_t(r), *level); });
            // A row held by another administrator keeps its stored level.
            m_filling = true;
            if (QComboBox *shown = menuLevelBox(r))
                shown->setCurrentIndex(shown->findText(
                    QString::number(m_model->menuRows()[std::size_t(r)].level)));
            m_filling = false;
        });
    }
    m_filling = false;
}

void TFrmSecurity::fillStaffGrid()
{
    m_filling = true;
    const auto &rows = m_model->staffRows();
    StaffGrid->setRowCount(int(rows.size()));
    for (int r = 0; r < int(rows.size()); ++r) {
        const auto &row = rows[std::size_t(r)];
        StaffGrid->setItem(r, 0, readOnlyItem(QString::fromLatin1(row.code)));
        QComboBox *box = makeLevelBox(row.level);
        StaffGrid->setCellWidget(r, 1, box);
        connect(box, &QComboBox::currentTextChanged, this, [this, r](const QString &text) {
            if (m_filling)
                return;
            if (const auto level = parseLevel(text))
                guarded([&] { m_model->setStaffLevel(std::size_t(r), *level); });
            refreshStaffLevels();
        });
        auto *password = new QLineEdit(row.password);
        password->setEchoMode(QLineEdit::Password);
        password->setMaxLength(kPasswordLength);
        password->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
        password->setFrame(false);
        StaffGrid->setCellWidget(r, 2, password);
        connect(password, &QLineEdit::textEdited, this, [this, r](const QString &text) {
            guarded([&] { m_model->setStaffPassword(std::size_t(r), text); });
            const QString stored = m_model->staffRows()[std::size_t(r)].password;
            if (QLineEdit *field = passwordBox(r); field && field->text() != stored)
                field->setText(stored); // refused: the row is held by another administrator
            refreshStaffLevels();
        });
    }
    m_filling = false;
}

// A post of another row may have set the administrator's level back to 9.
void TFrmSecurity::refreshStaffLevels()
{
    m_filling = true;
    const auto &rows = m_model->staffRows();
    for (int r = 0; r < int(rows.size()); ++r)
        if (QComboBox *box = staffLevelBox(r))
            box->setCurrentIndex(box->findText(QString::number(rows[std::size_t(r)].level)));
    m_filling = false;
}

QComboBox *TFrmSecurity::menuLevelBox(int row) const
{
    return qobject_cast<QComboBox *>(MenuGrid->cellWidget(row, 1));
}

QComboBox *TFrmSecurity::staffLevelBox(int row) const
{
    return qobject_cast<QComboBox *>(StaffGrid->cellWidget(row, 1));
}

QLineEdit *TFrmSecurity::passwordBox(int row) const
{
    return qobject_cast<QLineEdit *>(StaffGrid->cellWidget(row, 2));
}

void TFrmSecurity::OKBtnClick()
{
    guarded([&] { m_model->post(); });
    refreshStaffLevels();
    accept();
}

void TFrmSecurity::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_placement->restorePlacement();
}

void TFrmSecurity::done(int result)
{
    if (result != QDialog::Accepted)
        m_model->discard();
    m_placement->savePlacement();
    QDialog::done(result);
}

} // namespace login
