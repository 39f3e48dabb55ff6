#include "practice.h"

#include "dbf/cursor.h"
#include "dbf/table.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <stdexcept>

namespace bench {

namespace {

using dbf::FieldType;

std::string code(const char *prefix, std::size_t i, int digits)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s%0*zu", prefix, digits, i);
    return buf;
}

std::string dateText(int dayNumber)
{
    // dayNumber 0 = 2016-01-01; months of 28 days keep every date valid and ordered.
    const int year = 2016 + dayNumber / 336;
    const int month = 1 + (dayNumber % 336) / 28;
    const int day = 1 + dayNumber % 28;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d", year, month, day);
    return buf;
}

const char *const kWords[] = { "review", "draft", "call", "meeting", "letter", "research", "filing",
    "court", "travel", "analysis", "contract", "estate", "tax", "audit", "notes" };

std::string words(std::mt19937_64 &rng, std::size_t count)
{
    std::string s;
    for (std::size_t i = 0; i < count; ++i) {
        if (!s.empty())
            s += ' ';
        s += kWords[rng() % std::size(kWords)];
    }
    return s;
}

// A row with every field filled plausibly by type; the caller then sets the fields that matter.
class RowBuilder
{
public:
    RowBuilder(const store::TableDef &def, std::mt19937_64 &rng)
        : m_def(def)
        , m_rng(rng)
    {
    }

    Row make()
    {
        Row row;
        row.text.resize(m_def.fields.size());
        row.number.assign(m_def.fields.size(), 0.0);
        for (std::size_t i = 0; i < m_def.fields.size(); ++i) {
            const dbf::FieldDef &f = m_def.fields[i];
            switch (f.type) {
            case FieldType::Character:
                row.text[i] = f.width == 1 ? std::string("N")
                                           : words(m_rng, 1 + m_rng() % 3).substr(0, f.width);
                break;
            case FieldType::Numeric:
            case FieldType::Float:
                set(row, i, static_cast<double>(m_rng() % 100));
                break;
            case FieldType::Date:
                row.text[i] = dateText(static_cast<int>(m_rng() % 3360));
                break;
            case FieldType::Logical:
                row.text[i] = "F";
                break;
            case FieldType::Memo:
                break;
            }
        }
        return row;
    }

    void set(Row &row, std::string_view field, std::string value)
    {
        row.text[index(field)] = std::move(value);
    }
    void set(Row &row, std::string_view field, double value) { set(row, index(field), value); }
    static void set(Row &row, std::size_t i, double value)
    {
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.4f", value);
        row.text[i] = buf;
        row.number[i] = value;
    }

private:
    std::size_t index(std::string_view field) const
    {
        for (std::size_t i = 0; i < m_def.fields.size(); ++i)
            if (dbf::RecordLayout::equalsIgnoreCase(m_def.fields[i].name, field))
                return i;
        throw std::runtime_error("no field " + std::string(field));
    }

    const store::TableDef &m_def;
    std::mt19937_64 &m_rng;
};

} // namespace

PracticeSize PracticeSize::forSlips(std::size_t slips)
{
    PracticeSize s;
    const double f = static_cast<double>(slips) / 250000.0;
    auto scaled = [f](std::size_t full) {
        return std::max<std::size_t>(10, static_cast<std::size_t>(static_cast<double>(full) * f));
    };
    s.clients = scaled(1000);
    s.projects = scaled(3000);
    s.slips = slips;
    s.statements = scaled(25000);
    s.payments = scaled(40000);
    return s;
}

std::string clientCode(std::size_t i)
{
    return code("C", i, 5);
}

std::string activityCode(std::size_t i)
{
    return code("ACT", i, 4);
}

void writeTable(const std::filesystem::path &dir, const GeneratedTable &t, bool withTags)
{
    const std::filesystem::path path = dir / (t.def->name + ".DBF");
    dbf::Table::create(path, t.def->fields);
    auto table = dbf::Table::open(path, dbf::OpenMode::Exclusive);
    if (withTags)
        for (const store::TagDef &tag : t.def->tags)
            table->addTag(tag.name, tag.key, { tag.unique, tag.primary, tag.expression });
    dbf::Cursor c(*table);
    for (const Row &row : t.rows) {
        c.append();
        for (std::size_t i = 0; i < t.def->fields.size(); ++i) {
            switch (t.def->fields[i].type) {
            case FieldType::Numeric:
            case FieldType::Float:
                c.setNumber(i, row.number[i]);
                break;
            case FieldType::Memo:
                if (!row.text[i].empty())
                    c.setMemo(i, row.text[i]);
                break;
            default:
                c.setText(i, row.text[i]);
            }
        }
        c.post();
    }
}

std::vector<GeneratedTable> generatePractice(const PracticeSize &size, std::uint64_t seed)
{
    std::mt19937_64 rng(seed);
    std::vector<GeneratedTable> out;
    auto start = [&out](std::string_view name) -> GeneratedTable & {
        out.push_back({ &store::table(name), {} });
        return out.back();
    };
    auto staffCode = [](std::size_t i) { return code("E", i, 2); };
    auto actCode = [](std::size_t i) { return activityCode(i); };
    auto projCode = [](std::size_t i) { return code("P", i, 5); };

    {
        GeneratedTable &t = start("TWCLIENT");
        RowBuilder b(*t.def, rng);
        for (std::size_t i = 0; i < size.clients; ++i) {
            Row r = b.make();
            b.set(r, "NUMBER", clientCode(i));
            b.set(r, "NAME", "Client " + std::to_string(i) + " " + words(rng, 2));
            b.set(r, "MEMO", i % 4 == 0 ? words(rng, 12) : std::string());
            t.rows.push_back(std::move(r));
        }
    }
    {
        GeneratedTable &t = start("TWEMPLOY");
        RowBuilder b(*t.def, rng);
        for (std::size_t i = 0; i < size.staff; ++i) {
            Row r = b.make();
            b.set(r, "EMPNUMBER", staffCode(i));
            t.rows.push_back(std::move(r));
        }
    }
    {
        GeneratedTable &t = start("TWACT");
        RowBuilder b(*t.def, rng);
        for (std::size_t i = 0; i < size.activities; ++i) {
            Row r = b.make();
            b.set(r, "ACTIVITY", actCode(i));
            t.rows.push_back(std::move(r));
        }
    }
    std::vector<std::size_t> projectClient(size.projects);
    {
        GeneratedTable &t = start("TWPROJCT");
        RowBuilder b(*t.def, rng);
        for (std::size_t i = 0; i < size.projects; ++i) {
            projectClient[i] = i % size.clients;
            Row r = b.make();
            b.set(r, "PJ_CLIENT", clientCode(projectClient[i]));
            b.set(r, "PJ_CODE", projCode(i));
            t.rows.push_back(std::move(r));
        }
    }
    {
        GeneratedTable &t = start("TWSLIP");
        RowBuilder b(*t.def, rng);
        for (std::size_t i = 0; i < size.slips; ++i) {
            const std::size_t project = rng() % size.projects;
            const double hours = static_cast<double>(1 + rng() % 32) / 4.0;
            const double rate = static_cast<double>(60 + rng() % 200);
            const bool billed = rng() % 3 != 0;
            Row r = b.make();
            b.set(r, "SL_NUMBER", static_cast<double>(i + 1));
            b.set(r, "SL_CLIENT", clientCode(projectClient[project]));
            b.set(r, "SL_PROJECT", projCode(project));
            b.set(r, "SL_ACT", actCode(rng() % size.activities));
            b.set(r, "SL_EMPLOY", staffCode(rng() % size.staff));
            b.set(r, "SL_DATEBEG", dateText(static_cast<int>(i * 3360 / size.slips)));
            b.set(r, "SL_HOURS", hours);
            b.set(r, "SL_RATE", rate);
            b.set(r, "SL_TOTAL", hours * rate);
            b.set(r, "SL_BILLED", billed ? 1.0 : 0.0);
            b.set(
                r, "SL_INVOICE", billed ? static_cast<double>(1 + rng() % size.statements) : -1.0);
            b.set(r, "SL_DESCINT", std::string());
            b.set(r, "SL_DESCCLN", i % 5 == 0 ? words(rng, 8 + rng() % 24) : std::string());
            t.rows.push_back(std::move(r));
        }
    }
    {
        GeneratedTable &t = start("TWINVOIC");
        RowBuilder b(*t.def, rng);
        for (std::size_t i = 0; i < size.statements; ++i) {
            Row r = b.make();
            b.set(r, "INV_NUMBER", static_cast<double>(i + 1));
            b.set(r, "INV_CLIENT", clientCode(rng() % size.clients));
            b.set(r, "INV_TOTAL", static_cast<double>(rng() % 500000) / 100.0);
            t.rows.push_back(std::move(r));
        }
    }
    {
        GeneratedTable &t = start("TWPMT");
        RowBuilder b(*t.def, rng);
        for (std::size_t i = 0; i < size.payments; ++i) {
            Row r = b.make();
            b.set(r, "PMT_INVOIC", static_cast<double>(1 + rng() % size.statements));
            b.set(r, "PMT_CLIENT", clientCode(rng() % size.clients));
            b.set(r, "PMT_AMOUNT", static_cast<double>(rng() % 500000) / 100.0);
            t.rows.push_back(std::move(r));
        }
    }
    return out;
}

} // namespace bench
