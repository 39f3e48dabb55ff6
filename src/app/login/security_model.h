#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QString>

#include "dbf/field.h"

namespace dbf {
class Cursor;
class Table;
} // namespace dbf
namespace ui {
class Messages;
}

namespace login {

// The rows behind the administrator security window: option levels (MENU rows shown to the
// administrator) and staff levels and passwords (TWEMPMS), on cursors of its own, shared.
//
// Opening brings TWEMPMS in step with TWEMPLOY: rows of staff members no longer in TWEMPLOY are
// deleted, and every staff member without a row gets one at level 9 with a blank password.
//
// Editing works like a grid: the first change of a row puts its record into edit, which locks it
// and re-reads it (the row takes what the file holds now, then the change), and the row is
// posted when a change is made on another row of the same page, or by post() (the OK button).
// A row another administrator is editing refuses the change with the engine's "Record locked"
// error, the row unchanged. discard() drops what was not posted and lets the locks go (the
// window closed by its frame). Before a TWEMPMS row is posted, the administrator's level is set
// back to 9 with a warning when it was changed.
//
// Row lock, per page:  none --first change of a row (edit)--> held
//                      held --post / discard / change of another row (post)--> none
class SecurityModel
{
public:
    struct MenuRow
    {
        std::string key;
        QString description;
        int level = 0;
        dbf::RecNo recNo = 0;
    };
    struct StaffRow
    {
        std::string code;
        int level = 0;
        QString password; // without trailing blanks
        dbf::RecNo recNo = 0;
    };

    SecurityModel(const std::filesystem::path &dataDirectory, ui::Messages &messages);
    ~SecurityModel();
    SecurityModel(const SecurityModel &) = delete;
    SecurityModel &operator=(const SecurityModel &) = delete;

    const std::vector<MenuRow> &menuRows() const { return m_menu; }
    const std::vector<StaffRow> &staffRows() const { return m_staff; }
    // What the opening changed in TWEMPMS.
    const std::vector<std::string> &removedStaff() const { return m_removed; }
    const std::vector<std::string> &addedStaff() const { return m_added; }

    // Level changes refuse (return false, nothing changed) a level outside 1 to 9. A row held by
    // another program throws the engine's error, nothing changed.
    bool setMenuLevel(std::size_t row, int level);
    bool setStaffLevel(std::size_t row, int level);
    // The password is cut to 8 characters.
    void setStaffPassword(std::size_t row, const QString &password);

    std::optional<std::size_t> pendingMenuRow() const { return m_pendingMenu; }
    std::optional<std::size_t> pendingStaffRow() const { return m_pendingStaff; }
    void postMenu();
    void postStaff();
    void post()
    {
        postMenu();
        postStaff();
    }
    // Forgets the unposted changes and reads the rows back from the tables.
    void discard();

private:
    void bringInStep();
    void load();
    void beginMenuEdit(std::size_t row);
    void beginStaffEdit(std::size_t row);
    void dropEdits();

    ui::Messages &m_messages;
    std::unique_ptr<dbf::Table> m_employees;
    std::unique_ptr<dbf::Table> m_rights;
    std::unique_ptr<dbf::Table> m_options;
    // The record of the pending row of each page, held in edit (declared after the tables, so
    // destroyed before them).
    std::unique_ptr<dbf::Cursor> m_menuEdit;
    std::unique_ptr<dbf::Cursor> m_staffEdit;
    std::vector<MenuRow> m_menu;
    std::vector<StaffRow> m_staff;
    std::vector<std::string> m_removed;
    std::vector<std::string> m_added;
    std::optional<std::size_t> m_pendingMenu;
    std::optional<std::size_t> m_pendingStaff;
};

} // namespace login
