#pragma once

#include <filesystem>
#include <string>

#include "dbf/cursor.h"
#include "dbf/table.h"
#include "template_dir.h"

// A data directory made from the built templates as the start-up check leaves it: every table
// restored, every index built.
class DataDir : public TemplateDir
{
public:
    void addStaff(const std::string &code, const std::string &name = "Staff")
    {
        auto table = dbf::Table::open(path(), "TWEMPLOY", dbf::OpenMode::Shared);
        dbf::Cursor c(*table);
        c.append();
        c.setText("EMPNUMBER", code);
        c.setText("EMPNAME", name);
        c.post();
    }
    void addRights(const std::string &code, int level, const std::string &password)
    {
        auto table = dbf::Table::open(path(), "TWEMPMS", dbf::OpenMode::Shared);
        dbf::Cursor c(*table);
        c.append();
        c.setText("EMPMSNUM", code);
        c.setInteger("EMPLEVEL", level);
        c.setText("EMPPASS", password);
        c.post();
    }
    // Deletes the row of `code` in a table, as the Staff window does.
    void removeRow(const char *table, const char *tag, const std::string &code)
    {
        auto t = dbf::Table::open(path(), table, dbf::OpenMode::Shared);
        dbf::Cursor c(*t);
        c.setTag(tag);
        if (c.findKey(c.makeKey({ code })))
            c.remove();
    }
    void setMenuLevel(const std::string &key, int level)
    {
        auto t = dbf::Table::open(path(), "MENU", dbf::OpenMode::Shared);
        dbf::Cursor c(*t);
        c.setTag("KEY");
        if (!c.findKey(c.makeKey({ key })))
            throw std::runtime_error("no MENU row " + key);
        c.edit();
        c.setInteger("MENU_ACCES", level);
        c.post();
    }
    // Every live row of a table as "code:level:password" (or the one field asked for).
    std::size_t rowCount(const char *table)
    {
        auto t = dbf::Table::open(path(), table, dbf::OpenMode::Shared);
        return t->liveRecordCount();
    }
    std::string rightsOf(const std::string &code)
    {
        auto t = dbf::Table::open(path(), "TWEMPMS", dbf::OpenMode::Shared);
        dbf::Cursor c(*t);
        c.setTag("EMPMSNUM");
        if (!c.findKey(c.makeKey({ code })))
            return "none";
        return std::to_string(c.integer("EMPLEVEL")) + ":" + c.text("EMPPASS");
    }
};
