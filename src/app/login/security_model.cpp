#include "app/login/security_model.h"

#include <set>
#include <stdexcept>

#include "app/login/login_rules.h"
#include "dbf/cursor.h"
#include "dbf/table.h"
#include "ui/messages.h"

namespace login {

namespace {

std::string trimmed(std::string text)
{
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

bool validLevel(int level)
{
    return level >= kLowestLevel && level <= kHighestLevel;
}

} // namespace

SecurityModel::SecurityModel(const std::filesystem::path &dataDirectory, ui::Messages &messages)
    : m_messages(messages)
    , m_employees(dbf::Table::open(dataDirectory, "TWEMPLOY", dbf::OpenMode::Shared))
    , m_rights(dbf::Table::open(dataDirectory, "TWEMPMS", dbf::OpenMode::Shared))
    , m_options(dbf::Table::open(dataDirectory, "MENU", dbf::OpenMode::Shared))
{
    bringInStep();
    load();
}

SecurityModel::~SecurityModel()
{
    dropEdits();
}

void SecurityModel::dropEdits()
{
    for (auto *edit : { &m_menuEdit, &m_staffEdit }) {
        if (*edit) {
            try {
                (*edit)->cancel();
            } catch (...) {
                // the lock goes with the cursor all the same
            }
            edit->reset();
        }
    }
    m_pendingMenu.reset();
    m_pendingStaff.reset();
}

void SecurityModel::bringInStep()
{
    std::set<std::string> staffCodes;
    {
        dbf::Cursor staff(*m_employees);
        staff.setTag("EMPNUMBER");
        for (bool more = !staff.isEmpty(); more; more = staff.next())
            staffCodes.insert(trimmed(staff.text("EMPNUMBER")));
    }
    dbf::Cursor rights(*m_rights);
    rights.setTag("EMPMSNUM");
    std::set<std::string> rightsCodes;
    std::vector<dbf::RecNo> stale;
    for (bool more = !rights.isEmpty(); more; more = rights.next()) {
        const std::string code = trimmed(rights.text("EMPMSNUM"));
        if (staffCodes.count(code) == 0) {
            stale.push_back(rights.recNo());
            m_removed.push_back(code);
        } else {
            rightsCodes.insert(code);
        }
    }
    for (dbf::RecNo recNo : stale) {
        if (rights.gotoRecNo(recNo)) {
            rights.remove();
            rights.flush();
        }
    }
    for (const std::string &code : staffCodes) {
        if (rightsCodes.count(code) != 0)
            continue;
        rights.append();
        rights.setText("EMPMSNUM", code);
        rights.setInteger("EMPLEVEL", kAdministratorLevel);
        rights.setText("EMPPASS", std::string(kPasswordLength, ' '));
        rights.post();
        rights.flush();
        m_added.push_back(code);
    }
}

void SecurityModel::load()
{
    m_menu.clear();
    m_staff.clear();
    m_pendingMenu.reset();
    m_pendingStaff.reset();
    dbf::Cursor options(*m_options);
    options.setTag("USED");
    const std::string used = options.makeKey({ "Y" });
    options.setRange(used, used);
    for (bool more = !options.isEmpty(); more; more = options.next())
        m_menu.push_back({ trimmed(options.text("MENU_KEY")),
            QString::fromLatin1(trimmed(options.text("MENU_DESC"))),
            int(options.integer("MENU_ACCES")), options.recNo() });
    dbf::Cursor rights(*m_rights);
    rights.setTag("EMPMSNUM");
    for (bool more = !rights.isEmpty(); more; more = rights.next())
        m_staff.push_back({ trimmed(rights.text("EMPMSNUM")), int(rights.integer("EMPLEVEL")),
            QString::fromLatin1(trimmed(rights.text("EMPPASS"))), rights.recNo() });
}

void SecurityModel::beginMenuEdit(std::size_t row)
{
    if (m_pendingMenu && *m_pendingMenu == row)
        return;
    postMenu();
    auto options = std::make_unique<dbf::Cursor>(*m_options);
    if (!options->gotoRecNo(m_menu[row].recNo))
        throw std::runtime_error("The option was deleted by another user.");
    options->edit(); // the lock, held until the row is posted or dropped
    m_menu[row].level = int(options->integer("MENU_ACCES"));
    m_menuEdit = std::move(options);
    m_pendingMenu = row;
}

void SecurityModel::beginStaffEdit(std::size_t row)
{
    if (m_pendingStaff && *m_pendingStaff == row)
        return;
    postStaff();
    auto rights = std::make_unique<dbf::Cursor>(*m_rights);
    if (!rights->gotoRecNo(m_staff[row].recNo))
        throw std::runtime_error("The staff member was deleted by another user.");
    rights->edit();
    m_staff[row].level = int(rights->integer("EMPLEVEL"));
    m_staff[row].password = QString::fromLatin1(trimmed(rights->text("EMPPASS")));
    m_staffEdit = std::move(rights);
    m_pendingStaff = row;
}

bool SecurityModel::setMenuLevel(std::size_t row, int level)
{
    if (row >= m_menu.size() || !validLevel(level))
        return false;
    beginMenuEdit(row);
    m_menu[row].level = level;
    return true;
}

bool SecurityModel::setStaffLevel(std::size_t row, int level)
{
    if (row >= m_staff.size() || !validLevel(level))
        return false;
    beginStaffEdit(row);
    m_staff[row].level = level;
    return true;
}

void SecurityModel::setStaffPassword(std::size_t row, const QString &password)
{
    if (row >= m_staff.size())
        return;
    beginStaffEdit(row);
    m_staff[row].password = password.left(kPasswordLength);
}

void SecurityModel::postMenu()
{
    if (!m_pendingMenu)
        return;
    const MenuRow &row = m_menu[*m_pendingMenu];
    dbf::Cursor &options = *m_menuEdit;
    options.setInteger("MENU_ACCES", row.level);
    options.post();
    options.flush();
    m_menuEdit.reset();
    m_pendingMenu.reset();
}

void SecurityModel::postStaff()
{
    if (!m_pendingStaff)
        return;
    StaffRow &row = m_staff[*m_pendingStaff];
    dbf::Cursor &rights = *m_staffEdit;
    if (row.code == kAdministratorCode && row.level != kAdministratorLevel) {
        m_messages.warning(administratorLevelText());
        row.level = kAdministratorLevel;
    }
    rights.setInteger("EMPLEVEL", row.level);
    rights.setText("EMPPASS", row.password.toLatin1().toStdString());
    rights.post();
    rights.flush();
    m_staffEdit.reset();
    m_pendingStaff.reset();
}

void SecurityModel::discard()
{
    dropEdits();
    load();
}

} // namespace login
