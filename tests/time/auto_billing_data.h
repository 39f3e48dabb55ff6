#pragma once
// Clients with auto billing slots and the activities they name, written straight through the
// table engine (fast enough for thousands of clients), for the auto billing tests, the stress
// test and the benchmark.
#include <filesystem>
#include <string>
#include <vector>

#include "dbf/cursor.h"
#include "dbf/table.h"

struct AutoSlot
{
    std::string activity;
    int cycle = 0; // 0 leaves D_CYCLEn blank
    double hours = 0;
    double rate = 0;
    double total = 0;
    std::string staff;
    std::string project;
};

inline AutoSlot autoSlot(std::string activity, int cycle, double hours, double rate,
    double total, std::string staff = {}, std::string project = {})
{
    return { std::move(activity), cycle, hours, rate, total, std::move(staff), std::move(project) };
}

struct AutoClient
{
    std::string number;
    std::string name;
    std::vector<AutoSlot> autoSlots; // slot 1 first; at most five
    int rateSource = 1;
};

inline void addAutoClients(const std::filesystem::path &dir, const std::vector<AutoClient> &clients)
{
    auto table = dbf::Table::open(dir, "TWCLIENT", dbf::OpenMode::Shared);
    dbf::Cursor c(*table);
    for (const AutoClient &client : clients) {
        c.append();
        c.setText("NUMBER", client.number);
        c.setText("NAME", client.name);
        c.setText("ACTIVE", "Y");
        c.setNumber("B_RATESRC", client.rateSource);
        for (std::size_t i = 0; i < client.autoSlots.size(); ++i) {
            const AutoSlot &s = client.autoSlots[i];
            const std::string n = std::to_string(i + 1);
            c.setText("D_ACT" + n, s.activity);
            if (s.cycle != 0)
                c.setNumber("D_CYCLE" + n, s.cycle);
            c.setNumber("D_HOURS" + n, s.hours);
            c.setNumber("D_RATE" + n, s.rate);
            c.setNumber("D_TOTAL" + n, s.total);
            c.setText("D_EMPLOY" + n, s.staff);
            c.setText("D_PROJECT" + n, s.project);
        }
        c.post();
    }
    c.flush();
}

struct AutoActivity
{
    std::string code;
    std::string type = "T"; // "E" for an expense
    std::string taxable = "N";
    double taxRate = 0;
};

inline void addAutoActivities(
    const std::filesystem::path &dir, const std::vector<AutoActivity> &activities)
{
    auto table = dbf::Table::open(dir, "TWACT", dbf::OpenMode::Shared);
    dbf::Cursor c(*table);
    for (const AutoActivity &a : activities) {
        c.append();
        c.setText("ACTIVITY", a.code);
        c.setText("DESC", "Activity " + a.code);
        c.setText("ACTTYPE", a.type);
        c.setText("TAXABLE", a.taxable);
        c.setNumber("TAXRATE", a.taxRate);
        c.post();
    }
    c.flush();
}

// 0 for a blank counter.
inline double nextSlipOnFile(const std::filesystem::path &dir)
{
    auto t = dbf::Table::open(dir, "TWTRACK", dbf::OpenMode::Shared);
    dbf::Cursor c(*t);
    return c.first() ? c.number(c.fieldIndex("NEXTSLIP")) : 0;
}
