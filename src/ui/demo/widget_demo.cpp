// A window showing every data-aware widget bound to small client and staff tables, for looking
// at them by eye: tarnw-widget-demo [--screenshot FILE.png] [--screenshot-locate FILE.png]
#include <QApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>

#include "dbf/cursor.h"
#include "dbf/table.h"
#include "ui/action.h"
#include "ui/db_check_box.h"
#include "ui/db_combo_box.h"
#include "ui/db_date_edit.h"
#include "ui/db_edit.h"
#include "ui/db_grid.h"
#include "ui/db_lookup_combo.h"
#include "ui/db_memo.h"
#include "ui/db_navigator.h"
#include "ui/db_number_edit.h"
#include "ui/db_radio_group.h"
#include "ui/desktop_messages.h"
#include "ui/engine_cursor.h"
#include "ui/locate_dialog.h"

using namespace ui;

namespace {

void makeTables(const std::filesystem::path &dir)
{
    dbf::Table::create(dir / "CLIENTS.DBF",
        {
            { "NUMBER", dbf::FieldType::Character, 6, 0 },
            { "NAME", dbf::FieldType::Character, 30, 0 },
            { "RATE", dbf::FieldType::Numeric, 8, 2 },
            { "BALANCE", dbf::FieldType::Numeric, 10, 2 },
            { "TAXABLE", dbf::FieldType::Character, 1, 0 },
            { "CYCLE", dbf::FieldType::Character, 1, 0 },
            { "STATE", dbf::FieldType::Character, 2, 0 },
            { "STAFF", dbf::FieldType::Character, 4, 0 },
            { "OPENED", dbf::FieldType::Date, 8, 0 },
            { "NOTES", dbf::FieldType::Memo, 10, 0 },
        });
    dbf::Table::create(dir / "STAFF.DBF",
        {
            { "INITIALS", dbf::FieldType::Character, 4, 0 },
            { "NAME", dbf::FieldType::Character, 24, 0 },
        });
    auto clients = dbf::Table::open(dir / "CLIENTS.DBF", dbf::OpenMode::Shared);
    dbf::Cursor c(*clients);
    struct Row
    {
        const char *number, *name;
        double rate, balance;
        const char *taxable, *cycle, *state, *staff;
        dbf::Date opened;
        const char *notes;
    };
    const Row rows[] = {
        { "1001", "Baker & Sons", 95, 1234.5, "Y", "M", "MA", "AB", { 2024, 3, 15 },
            "Prefers e-mail.\nBills to the Boston office." },
        { "1002", "Adams Hardware", 80, 0, "N", "Q", "NH", "CD", { 2019, 11, 2 }, "" },
        { "1003", "Carter Legal Group", 120, -45.1, "Y", "Y", "ME", "EF", {}, "Retainer." },
        { "1004", "Dunn Architects", 110, 9800, "N", "M", "VT", "AB", { 1999, 12, 31 }, "" },
    };
    for (const Row &r : rows) {
        c.append();
        c.setText("NUMBER", r.number);
        c.setText("NAME", r.name);
        c.setNumber("RATE", r.rate);
        c.setNumber("BALANCE", r.balance);
        c.setText("TAXABLE", r.taxable);
        c.setText("CYCLE", r.cycle);
        c.setText("STATE", r.state);
        c.setText("STAFF", r.staff);
        c.setDate("OPENED", r.opened);
        c.setMemo("NOTES", r.notes);
        c.post();
    }
    auto staff = dbf::Table::open(dir / "STAFF.DBF", dbf::OpenMode::Shared);
    dbf::Cursor s(*staff);
    const char *people[][2] = { { "AB", "Ann Brown" }, { "CD", "Carl Dean" }, { "EF", "Eve Fox" } };
    for (auto &p : people) {
        s.append();
        s.setText("INITIALS", p[0]);
        s.setText("NAME", p[1]);
        s.post();
    }
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QString screenshot;
    const QStringList args = app.arguments();
    if (const auto i = args.indexOf("--screenshot"); i >= 0 && i + 1 < args.size())
        screenshot = args[i + 1];

    QTemporaryDir dir;
    const std::filesystem::path root(dir.path().toStdString());
    makeTables(root);
    Dataset clients("clients"), staff("staff");
    clients.open(std::make_unique<EngineCursor>(
        dbf::Table::open(root / "CLIENTS.DBF", dbf::OpenMode::Shared)));
    staff.open(std::make_unique<EngineCursor>(
        dbf::Table::open(root / "STAFF.DBF", dbf::OpenMode::Shared)));
    DesktopMessages messages;

    QWidget window;
    window.setWindowTitle("Widget Demo");
    auto *form = new QFormLayout;
    auto *number = new DbEdit;
    number->bind(&clients, "NUMBER");
    number->setUpperCase(true);
    auto *name = new DbEdit;
    name->bind(&clients, "NAME");
    auto *rate = new DbNumberEdit;
    rate->bind(&clients, "RATE");
    auto *balance = new DbMoneyEdit;
    balance->bind(&clients, "BALANCE");
    auto *taxable = new DbCheckBox("Ta&xable");
    taxable->bind(&clients, "TAXABLE");
    auto *state = new DbComboBox(DbComboBox::Kind::Typed);
    for (const char *s : { "MA", "ME", "NH", "VT" })
        state->addValue(s);
    state->setUpperCase(true);
    state->bind(&clients, "STATE");
    auto *cycleList = new DbComboBox(DbComboBox::Kind::DropDownList);
    cycleList->addValue("Monthly", "M");
    cycleList->addValue("Quarterly", "Q");
    cycleList->addValue("Yearly", "Y");
    cycleList->bind(&clients, "CYCLE");
    auto *staffCombo = new DbLookupCombo;
    staffCombo->bind(&clients, "STAFF");
    staffCombo->setLookup(&staff, "INITIALS",
        { { "INITIALS", "Initials", 6, false, DisplayFormat::Default },
            { "NAME", "Name", 20, false, DisplayFormat::Default } },
        "Staff");
    auto *opened = new DbDateEdit;
    opened->bind(&clients, "OPENED");
    auto *notes = new DbMemo;
    notes->bind(&clients, "NOTES");
    notes->setFixedHeight(60);
    form->addRow("&Number", number);
    form->addRow("N&ame", name);
    form->addRow("&Rate", rate);
    form->addRow("&Balance", balance);
    form->addRow("", taxable);
    form->addRow("S&tate", state);
    form->addRow("Billing &cycle", cycleList);
    form->addRow("&Staff", staffCombo);
    form->addRow("&Opened", opened);
    form->addRow("N&otes", notes);

    auto *cycle = new DbRadioGroup("C&ycle");
    cycle->addItem("Monthly", "M");
    cycle->addItem("Quarterly", "Q");
    cycle->addItem("Yearly", "Y");
    cycle->bind(&clients, "CYCLE");

    auto *grid = new DbGrid;
    grid->setMessages(&messages);
    grid->bind(&clients,
        { { "NUMBER", "Number", 6, false, DisplayFormat::Default },
            { "NAME", "Name", 20, false, DisplayFormat::Default },
            { "BALANCE", "Balance", 11, false, DisplayFormat::Money },
            { "TAXABLE", "Tax", 3, true, DisplayFormat::Default } });

    auto *stateLabel = new QLabel;
    const auto showState = [&clients, stateLabel] {
        const char *names[] = { "Inactive", "Browse", "Edit", "Insert" };
        stateLabel->setText(QStringLiteral("State: %1   Record %2 of %3")
                                .arg(names[int(clients.state())])
                                .arg(clients.bookmark().recNo)
                                .arg(clients.recordCount()));
    };
    QObject::connect(&clients, &Dataset::stateChanged, stateLabel, showState);
    QObject::connect(&clients, &Dataset::afterScroll, stateLabel, showState);
    showState();

    auto *post = new QPushButton("&Post");
    auto *cancel = new QPushButton("Cance&l");
    auto *locate = new QPushButton("Locate...");
    QObject::connect(
        post, &QPushButton::clicked, [&] { runAction(messages, [&] { clients.post(); }); });
    QObject::connect(
        cancel, &QPushButton::clicked, [&] { runAction(messages, [&] { clients.cancel(); }); });
    QObject::connect(locate, &QPushButton::clicked, [&] {
        LocateDialog dialog(&clients, messages, "Locate Client", "NAME", &window);
        dialog.exec();
    });
    for (FieldLink *link : { number->link(), name->link(), opened->link(), staffCombo->link() })
        QObject::connect(link, &FieldLink::failed, [&](const QString &m) { messages.error(m); });

    auto *navigator = new DbNavigator;
    navigator->bind(&clients, &messages);
    navigator->setDeleteConfirmation("Delete this client?");
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(navigator);
    buttons->addWidget(stateLabel, 1);
    buttons->addWidget(locate);
    buttons->addWidget(post);
    buttons->addWidget(cancel);
    auto *top = new QHBoxLayout;
    top->addLayout(form, 1);
    auto *right = new QVBoxLayout;
    right->addWidget(cycle);
    right->addStretch();
    top->addLayout(right);
    auto *layout = new QVBoxLayout(&window);
    layout->addLayout(top);
    layout->addWidget(grid, 1);
    layout->addLayout(buttons);
    window.resize(640, 640);
    window.show();

    QString locateShot;
    if (const auto i = args.indexOf("--screenshot-locate"); i >= 0 && i + 1 < args.size())
        locateShot = args[i + 1];
    if (!locateShot.isEmpty()) {
        QTimer::singleShot(300, [&] {
            LocateDialog dialog(&clients, messages, "Locate Client", "NAME", &window);
            dialog.show();
            QTimer::singleShot(300, [&] {
                dialog.grab().save(locateShot);
                app.quit();
            });
            dialog.exec();
        });
    }
    if (!screenshot.isEmpty()) {
        // Show an edit in progress: the second client, its name being typed.
        clients.next();
        name->setFocus();
        name->setText(name->text() + " Co.");
        clients.setValue("NAME", name->text());
        QTimer::singleShot(300, [&] {
            window.grab().save(screenshot);
            app.quit();
        });
    }
    return app.exec();
}
