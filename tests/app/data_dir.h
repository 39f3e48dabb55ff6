#pragma once

#include <filesystem>

#include "dbf/cursor.h"
#include "dbf/date.h"
#include "dbf/table.h"
#include "template_dir.h"

// A data directory holding the built templates, with helpers that add rows to its tables the
// way another program would.
class DataDir : public TemplateDir
{
public:
    DataDir()
        : TemplateDir(Made::TemplatesOnly)
    {
    }
    std::string directory() const { return path().string() + "/"; }

    void addClient(const char *number, const char *name)
    {
        auto t = dbf::Table::open(path(), "TWCLIENT", dbf::OpenMode::Shared);
        dbf::Cursor c(*t);
        c.append();
        c.setText(c.fieldIndex("NUMBER"), number);
        c.setText(c.fieldIndex("NAME"), name);
        c.setText(c.fieldIndex("ACTIVE"), "Y");
        c.post();
    }
    void addSlip(double number, const char *client, double invoice)
    {
        auto t = dbf::Table::open(path(), "TWSLIP", dbf::OpenMode::Shared);
        dbf::Cursor c(*t);
        c.append();
        c.setNumber(c.fieldIndex("SL_NUMBER"), number);
        c.setText(c.fieldIndex("SL_CLIENT"), client);
        c.setNumber(c.fieldIndex("SL_INVOICE"), invoice);
        c.setNumber(c.fieldIndex("SL_BILLED"), invoice > 0 ? 1 : 0);
        c.setDate(c.fieldIndex("SL_DATEBEG"), dbf::Date(2026, 11, int(number)));
        c.post();
    }
    void addInvoice(double number, const char *client)
    {
        auto t = dbf::Table::open(path(), "TWINVOIC", dbf::OpenMode::Shared);
        dbf::Cursor c(*t);
        c.append();
        c.setNumber(c.fieldIndex("INV_NUMBER"), number);
        c.setText(c.fieldIndex("INV_CLIENT"), client);
        c.post();
    }
    void addPayment(double invoice, const char *client, double amount)
    {
        auto t = dbf::Table::open(path(), "TWPMT", dbf::OpenMode::Shared);
        dbf::Cursor c(*t);
        c.append();
        c.setNumber(c.fieldIndex("PMT_INVOIC"), invoice);
        c.setText(c.fieldIndex("PMT_CLIENT"), client);
        c.setNumber(c.fieldIndex("PMT_AMOUNT"), amount);
        c.post();
    }
};
