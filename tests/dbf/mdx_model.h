#pragma once
// A model of the random-edit tables' records (NAME C(60), CODE C(4), DAY D, AMT N(10,2), ID C(8)
// with a unique tag on ID): the rows a table should hold, the record order each tag should give
// and a generator of rows with the awkward values (blank and full-width keys, extreme amounts).
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "dbf/cursor.h"

namespace mdx_model {

using dbf::Cursor;
using dbf::RecNo;

struct Row
{
    std::string name; // C(60)
    std::string code; // C(4)
    std::string day; // YYYYMMDD or blank
    long cents = 0; // AMT N(10,2)
    int id = 0; // ID C(8), unique tag
};

inline std::string idText(int id)
{
    char b[24];
    std::snprintf(b, sizeof b, "%08d", id);
    return b;
}

class Model
{
public:
    std::map<RecNo, Row> live;

    // The expected record order of each tag, worked out from the values themselves.
    std::vector<RecNo> order(const std::string &tag) const
    {
        std::multimap<std::tuple<std::string, double, RecNo>, RecNo> sorted;
        for (const auto &[r, row] : live) {
            std::string s;
            double v = 0;
            if (tag == "NAME") {
                s = row.name;
                s.resize(60, ' ');
            } else if (tag == "AMT") {
                v = static_cast<double>(row.cents);
            } else if (tag == "DAY") {
                s = row.day.empty() ? "        " : row.day;
            } else if (tag == "CODEDAY") {
                s = row.code;
                s.resize(4, ' ');
                s += row.day.empty() ? "        " : row.day;
            } else {
                s = idText(row.id);
            }
            sorted.emplace(std::make_tuple(s, v, r), r);
        }
        std::vector<RecNo> out;
        for (const auto &e : sorted)
            out.push_back(e.second);
        return out;
    }
};

inline const char *const kTags[] = { "NAME", "AMT", "DAY", "CODEDAY", "ID" };

class Generator
{
public:
    explicit Generator(unsigned seed)
        : m_rng(seed)
    {
    }
    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_rng); }

    Row row(int id)
    {
        Row r;
        switch (below(8)) {
        case 0:
            r.name = ""; // blank key
            break;
        case 1:
            r.name = std::string(60, 'z'); // full width
            break;
        default:
            r.name = std::string(1, static_cast<char>('a' + below(3))) + std::to_string(below(400));
            r.name +=
                std::string(static_cast<std::size_t>(below(40)), 'x'); // long keys: deep trees
        }
        static const char *codes[] = { "", "A", "B", "C1", "ZZZZ" };
        r.code = codes[below(5)];
        static const char *days[] = { "", "19000101", "20491231", "20240229", "19991231" };
        if (below(3) == 0) {
            r.day = days[below(5)];
        } else {
            char b[48];
            std::snprintf(
                b, sizeof b, "%04d%02d%02d", 1950 + below(90), 1 + below(12), 1 + below(28));
            r.day = b;
        }
        static const long amounts[] = { 0, -1, -99999999, 99999999, 1, -50 };
        r.cents = below(4) == 0 ? amounts[below(6)] : below(200000) - 100000;
        r.id = id;
        return r;
    }

private:
    std::mt19937 m_rng;
};

inline void store(Cursor &c, const Row &r)
{
    c.setText("NAME", r.name);
    c.setText("CODE", r.code);
    c.setText("DAY", r.day);
    c.setNumber("AMT", static_cast<double>(r.cents) / 100.0);
    c.setText("ID", idText(r.id));
}

// The record numbers a tag gives, walked forward (or backward, returned in forward order).
inline std::vector<RecNo> tagOrder(dbf::Table &table, const char *tag, bool backward)
{
    Cursor w(table);
    w.setTag(tag);
    std::vector<RecNo> out;
    if (backward) {
        for (bool ok = w.last(); ok; ok = w.prior())
            out.insert(out.begin(), w.recNo());
    } else {
        for (bool ok = w.first(); ok; ok = w.next())
            out.push_back(w.recNo());
    }
    return out;
}

// A pack numbers the live records anew in their old order.
inline void renumberAfterPack(Model &model)
{
    std::map<RecNo, Row> renumbered;
    RecNo r = 1;
    for (const auto &[old, row] : model.live)
        renumbered[r++] = row;
    model.live = std::move(renumbered);
}

} // namespace mdx_model
