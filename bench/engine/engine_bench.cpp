// tarnw-bench-engine: the table engine and SQLite side by side on one generated practice.
//
//   tarnw-bench-engine [--slips N] [--small] [--runs R] [--dir DIRECTORY] [--keep]
//
// Writes the practice into real tables of the program's schema with all their tags and into an
// SQLite file database with the equivalent indexes (WAL journal, synchronous NORMAL, prepared
// statements, one transaction for each bulk load), then times each operation on both and prints
// the median of the runs, our time divided by SQLite's, and the file sizes.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "dbf/cursor.h"
#include "dbf/table.h"
#include "practice.h"
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

namespace fs = std::filesystem;
using bench::GeneratedTable;

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
}

// ---- SQLite ----------------------------------------------------------------------------------

[[noreturn]] void sqliteFail(sqlite3 *db, const std::string &what)
{
    throw std::runtime_error(what + ": " + sqlite3_errmsg(db));
}

void exec(sqlite3 *db, const std::string &sql)
{
    char *err = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::string msg = err ? err : "?";
        sqlite3_free(err);
        throw std::runtime_error(sql.substr(0, 60) + ": " + msg);
    }
}

class Statement
{
public:
    Statement(sqlite3 *db, const std::string &sql)
        : m_db(db)
    {
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &m_stmt, nullptr) != SQLITE_OK)
            sqliteFail(db, sql);
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;
    sqlite3_stmt *get() { return m_stmt; }
    bool step()
    {
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            sqliteFail(m_db, "step");
        return false;
    }
    void reset() { sqlite3_reset(m_stmt); }

private:
    sqlite3 *m_db;
    sqlite3_stmt *m_stmt = nullptr;
};

class Database
{
public:
    explicit Database(const fs::path &path)
    {
        if (sqlite3_open(path.c_str(), &m_db) != SQLITE_OK)
            sqliteFail(m_db, "open");
        exec(m_db, "PRAGMA journal_mode=WAL");
        exec(m_db, "PRAGMA synchronous=NORMAL");
    }
    ~Database() { sqlite3_close(m_db); }
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;
    sqlite3 *get() { return m_db; }

private:
    sqlite3 *m_db = nullptr;
};

std::string lower(std::string s)
{
    for (char &c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The columns of a tag's key: "SL_CLIENT+DTOS(SL_DATEBEG)" gives sl_client, sl_datebeg.
std::string indexColumns(const std::string &key)
{
    std::string out, part;
    auto flush = [&] {
        std::string p = lower(part);
        if (p.rfind("dtos(", 0) == 0)
            p = p.substr(5, p.size() - 6);
        out += (out.empty() ? "" : ", ") + p;
        part.clear();
    };
    for (char c : key) {
        if (c == '+')
            flush();
        else if (c != ' ')
            part += c;
    }
    flush();
    return out;
}

void createSqliteTable(sqlite3 *db, const store::TableDef &def)
{
    std::string sql = "CREATE TABLE " + lower(def.name) + " (";
    for (std::size_t i = 0; i < def.fields.size(); ++i) {
        const dbf::FieldDef &f = def.fields[i];
        const bool numeric = f.type == dbf::FieldType::Numeric || f.type == dbf::FieldType::Float;
        sql += (i ? ", " : "") + lower(f.name) + (numeric ? " REAL" : " TEXT");
    }
    exec(db, sql + ")");
}

void createSqliteIndexes(sqlite3 *db, const store::TableDef &def)
{
    for (const store::TagDef &tag : def.tags)
        exec(db,
            std::string("CREATE ") + (tag.unique ? "UNIQUE " : "") + "INDEX " + lower(def.name)
                + "_" + lower(tag.name) + " ON " + lower(def.name) + " (" + indexColumns(tag.key)
                + ")");
}

void sqliteLoad(const fs::path &file, const std::vector<GeneratedTable> &practice, bool withIndexes)
{
    fs::remove(file);
    fs::remove(file.string() + "-wal");
    fs::remove(file.string() + "-shm");
    Database db(file);
    exec(db.get(), "BEGIN");
    for (const GeneratedTable &t : practice) {
        createSqliteTable(db.get(), *t.def);
        if (withIndexes)
            createSqliteIndexes(db.get(), *t.def);
        std::string sql = "INSERT INTO " + lower(t.def->name) + " VALUES (";
        for (std::size_t i = 0; i < t.def->fields.size(); ++i)
            sql += i ? ",?" : "?";
        Statement insert(db.get(), sql + ")");
        for (const bench::Row &row : t.rows) {
            for (std::size_t i = 0; i < t.def->fields.size(); ++i) {
                const dbf::FieldType type = t.def->fields[i].type;
                const int param = static_cast<int>(i + 1);
                if (type == dbf::FieldType::Numeric || type == dbf::FieldType::Float)
                    sqlite3_bind_double(insert.get(), param, row.number[i]);
                else
                    sqlite3_bind_text(insert.get(), param, row.text[i].data(),
                        static_cast<int>(row.text[i].size()), SQLITE_STATIC);
            }
            insert.step();
            insert.reset();
        }
    }
    exec(db.get(), "COMMIT");
}

// ---- the table engine ------------------------------------------------------------------------

fs::path dbfPath(const fs::path &dir, std::string_view table)
{
    return dir / (std::string(table) + ".DBF");
}

void engineLoad(const fs::path &dir, const std::vector<GeneratedTable> &practice, bool withTags)
{
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (const GeneratedTable &t : practice)
        bench::writeTable(dir, t, withTags);
}

std::uintmax_t sizeOr0(const fs::path &p)
{
    std::error_code ec;
    const auto s = fs::file_size(p, ec);
    return ec ? 0 : s;
}

// Reads the file in 1 MiB blocks: the physical bound of a scan once the file is cached.
double rawRead(const fs::path &file)
{
    const auto start = Clock::now();
    const int fd = ::open(file.c_str(), O_RDONLY);
    if (fd < 0)
        throw std::runtime_error("cannot open " + file.string());
    std::vector<char> buf(1 << 20);
    std::uint64_t sum = 0;
    ssize_t n;
    while ((n = ::read(fd, buf.data(), buf.size())) > 0)
        sum += static_cast<unsigned char>(buf[static_cast<std::size_t>(n) - 1]);
    ::close(fd);
    const double t = secondsSince(start);
    if (sum == 42) // keep the reads
        std::fputc(' ', stderr);
    return t;
}

struct Result
{
    std::string name;
    std::vector<double> ours;
    std::vector<double> theirs; // empty: no SQLite counterpart
    std::string unit = "s";
    double divisor = 1.0; // per-item figures (client switch: per client)
};

void printResult(const Result &r)
{
    const double o = median(r.ours) / r.divisor;
    const double unitScale = r.unit == "ms" ? 1000.0 : 1.0;
    std::printf("%-44s %12.4f", r.name.c_str(), o * unitScale);
    if (!r.theirs.empty()) {
        const double t = median(r.theirs) / r.divisor;
        std::printf(" %12.4f %8.2f", t * unitScale, o / t);
    } else {
        std::printf(" %12s %8s", "-", "-");
    }
    std::printf("  %s\n", r.unit.c_str());
    std::fflush(stdout);
}

struct Options
{
    std::size_t slips = 250000;
    int runs = 3;
    std::size_t seeks = 100000;
    std::size_t edits = 10000;
    std::size_t switches = 1000;
    fs::path dir;
    bool keep = false;
};

Options parse(int argc, char **argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                throw std::runtime_error(a + " needs a value");
            return argv[++i];
        };
        if (a == "--slips")
            o.slips = std::stoul(value());
        else if (a == "--small") {
            o.slips = 5000;
            o.seeks = 10000;
            o.edits = 1000;
            o.switches = 100;
        } else if (a == "--runs")
            o.runs = std::max(1, std::stoi(value()));
        else if (a == "--dir")
            o.dir = value();
        else if (a == "--keep")
            o.keep = true;
        else
            throw std::runtime_error(
                "usage: tarnw-bench-engine [--slips N] [--small] [--runs R] [--dir D] [--keep]");
    }
    if (o.dir.empty())
        o.dir = fs::temp_directory_path() / ("tarnw-bench-" + std::to_string(::getpid()));
    return o;
}

int run(const Options &opt)
{
    const bench::PracticeSize size = bench::PracticeSize::forSlips(opt.slips);
    std::printf("Practice: %zu clients, %zu staff, %zu activities, %zu projects, %zu slips, "
                "%zu statements, %zu payments; %d runs, median\n",
        size.clients, size.staff, size.activities, size.projects, size.slips, size.statements,
        size.payments, opt.runs);
    const auto practice = bench::generatePractice(size, 20261209);
    fs::create_directories(opt.dir);
    const fs::path ourDir = opt.dir / "tables";
    const fs::path scratchDir = opt.dir / "scratch";
    const fs::path sqliteFile = opt.dir / "practice.sqlite";
    const fs::path sqliteScratch = opt.dir / "scratch.sqlite";
    const fs::path slipDbf = dbfPath(ourDir, "TWSLIP");

    std::printf("%-44s %12s %12s %8s\n", "operation", "ours", "SQLite", "ratio");
    auto timeIt = [](const std::function<void()> &f) {
        const auto start = Clock::now();
        f();
        return secondsSince(start);
    };
    std::vector<Result> results;
    auto report = [&](Result r) {
        printResult(r);
        results.push_back(std::move(r));
    };

    {
        Result r{ "bulk load, no tags (all tables)", {}, {} };
        for (int i = 0; i < opt.runs; ++i) {
            r.ours.push_back(timeIt([&] { engineLoad(ourDir, practice, false); }));
            r.theirs.push_back(timeIt([&] { sqliteLoad(sqliteFile, practice, false); }));
        }
        report(r);
    }
    {
        Result r{ "a. bulk load with all tags (all tables)", {}, {} };
        for (int i = 0; i < opt.runs; ++i) {
            r.ours.push_back(timeIt([&] { engineLoad(ourDir, practice, true); }));
            r.theirs.push_back(timeIt([&] { sqliteLoad(sqliteFile, practice, true); }));
        }
        report(r);
    }

    Database db(sqliteFile);
    {
        Result r{ "b. rebuild every slip tag / REINDEX", {}, {} };
        for (int i = 0; i < opt.runs; ++i) {
            r.ours.push_back(timeIt([&] {
                auto t = dbf::Table::open(slipDbf, dbf::OpenMode::Exclusive);
                t->reindex();
            }));
            r.theirs.push_back(timeIt([&] { exec(db.get(), "REINDEX twslip"); }));
        }
        report(r);
    }
    {
        Result r{ "c. " + std::to_string(opt.seeks) + " exact seeks on the slip number", {}, {} };
        for (int i = 0; i < opt.runs; ++i) {
            std::mt19937_64 rng(static_cast<std::uint64_t>(100 + i));
            std::vector<std::size_t> numbers(opt.seeks);
            for (auto &n : numbers)
                n = 1 + rng() % size.slips;
            double oursSum = 0, theirSum = 0;
            r.ours.push_back(timeIt([&] {
                auto t = dbf::Table::open(slipDbf, dbf::OpenMode::Shared);
                dbf::Cursor c(*t);
                c.setTag("SL_Number");
                const std::size_t total = c.fieldIndex("SL_TOTAL");
                for (std::size_t n : numbers) {
                    if (!c.findKey(c.makeKey({ std::to_string(n) })))
                        throw std::runtime_error("slip not found " + std::to_string(n));
                    oursSum += c.number(total);
                }
            }));
            r.theirs.push_back(timeIt([&] {
                Statement s(db.get(), "SELECT sl_total FROM twslip WHERE sl_number = ?");
                for (std::size_t n : numbers) {
                    sqlite3_bind_int64(s.get(), 1, static_cast<sqlite3_int64>(n));
                    if (!s.step())
                        throw std::runtime_error("SQLite: slip not found");
                    theirSum += sqlite3_column_double(s.get(), 0);
                    s.reset();
                }
            }));
            if (std::abs(oursSum - theirSum) > 0.01 * std::max(1.0, std::abs(theirSum)) / 1e6)
                std::printf("  (seek sums differ: %.2f vs %.2f)\n", oursSum, theirSum);
        }
        report(r);
    }
    {
        Result r{ "d. client switch (slip range + statements)", {}, {}, "ms",
            static_cast<double>(opt.switches) };
        for (int i = 0; i < opt.runs; ++i) {
            std::mt19937_64 rng(static_cast<std::uint64_t>(200 + i));
            std::vector<std::string> clients(opt.switches);
            for (auto &c : clients)
                c = bench::clientCode(rng() % size.clients);
            double oursSum = 0, theirSum = 0;
            auto slips = dbf::Table::open(slipDbf, dbf::OpenMode::Shared);
            auto statements = dbf::Table::open(ourDir, "TWINVOIC", dbf::OpenMode::Shared);
            r.ours.push_back(timeIt([&] {
                dbf::Cursor s(*slips);
                dbf::Cursor st(*statements);
                s.setTag("SL_Client");
                st.setTag("INV_Client");
                const std::size_t total = s.fieldIndex("SL_TOTAL");
                const std::size_t billed = s.fieldIndex("SL_BILLED");
                const std::size_t stTotal = st.fieldIndex("INV_TOTAL");
                for (const std::string &client : clients) {
                    const std::string key = s.makeKey({ client });
                    s.setRange(key, key);
                    for (bool ok = !s.isEmpty(); ok; ok = s.next())
                        if (s.number(billed) == 0)
                            oursSum += s.number(total);
                    const std::string stKey = st.makeKey({ client });
                    st.setRange(stKey, stKey);
                    for (bool ok = !st.isEmpty(); ok; ok = st.next())
                        oursSum += st.number(stTotal);
                }
            }));
            r.theirs.push_back(timeIt([&] {
                Statement s(db.get(),
                    "SELECT sum(sl_total) FROM twslip WHERE sl_client = ? AND sl_billed = 0");
                Statement st(db.get(),
                    "SELECT inv_number, inv_total FROM twinvoic "
                    "WHERE inv_client = ?");
                for (const std::string &client : clients) {
                    sqlite3_bind_text(
                        s.get(), 1, client.data(), static_cast<int>(client.size()), SQLITE_STATIC);
                    if (s.step())
                        theirSum += sqlite3_column_double(s.get(), 0);
                    s.reset();
                    sqlite3_bind_text(
                        st.get(), 1, client.data(), static_cast<int>(client.size()), SQLITE_STATIC);
                    while (st.step())
                        theirSum += sqlite3_column_double(st.get(), 1);
                    st.reset();
                }
            }));
            if (std::abs(oursSum - theirSum) > 1.0)
                std::printf("  (client sums differ: %.2f vs %.2f)\n", oursSum, theirSum);
        }
        report(r);
    }
    {
        Result r{ "e. full scan of the slips summing totals", {}, {} };
        Result raw{ "   raw sequential read of TWSLIP.DBF", {}, {} };
        for (int i = 0; i < opt.runs; ++i) {
            double oursSum = 0, theirSum = 0;
            r.ours.push_back(timeIt([&] {
                auto t = dbf::Table::open(slipDbf, dbf::OpenMode::Shared);
                dbf::Cursor c(*t);
                const std::size_t total = c.fieldIndex("SL_TOTAL");
                for (bool ok = !c.isEmpty(); ok; ok = c.next())
                    oursSum += c.number(total);
            }));
            r.theirs.push_back(timeIt([&] {
                Statement s(db.get(), "SELECT sum(sl_total) FROM twslip");
                if (s.step())
                    theirSum = sqlite3_column_double(s.get(), 0);
            }));
            raw.ours.push_back(rawRead(slipDbf));
            if (std::abs(oursSum - theirSum) > 1.0)
                std::printf("  (scan sums differ: %.2f vs %.2f)\n", oursSum, theirSum);
        }
        report(r);
        report(raw);
        std::printf("   scan / raw read: %.2f\n", median(r.ours) / median(raw.ours));
    }
    {
        Result r{ "f. " + std::to_string(opt.edits) + " edits moving two keys, each posted", {},
            {} };
        for (int i = 0; i < opt.runs; ++i) {
            std::mt19937_64 rng(static_cast<std::uint64_t>(300 + i));
            struct Edit
            {
                std::size_t slip;
                double statement;
                double billed;
            };
            std::vector<Edit> edits(opt.edits);
            for (auto &e : edits) {
                e.slip = 1 + rng() % size.slips;
                e.billed = static_cast<double>(rng() % 2);
                e.statement = e.billed != 0 ? static_cast<double>(1 + rng() % size.statements) : -1;
            }
            r.ours.push_back(timeIt([&] {
                auto t = dbf::Table::open(slipDbf, dbf::OpenMode::Shared);
                dbf::Cursor c(*t);
                c.setTag("SL_Number");
                const std::size_t statement = c.fieldIndex("SL_INVOICE");
                const std::size_t billed = c.fieldIndex("SL_BILLED");
                for (const Edit &e : edits) {
                    if (!c.findKey(c.makeKey({ std::to_string(e.slip) })))
                        throw std::runtime_error("slip not found");
                    c.edit();
                    c.setNumber(statement, e.statement);
                    c.setNumber(billed, e.billed);
                    c.post();
                }
            }));
            r.theirs.push_back(timeIt([&] {
                Statement s(db.get(),
                    "UPDATE twslip SET sl_invoice = ?, sl_billed = ? WHERE sl_number = ?");
                for (const Edit &e : edits) {
                    sqlite3_bind_double(s.get(), 1, e.statement);
                    sqlite3_bind_double(s.get(), 2, e.billed);
                    sqlite3_bind_int64(s.get(), 3, static_cast<sqlite3_int64>(e.slip));
                    s.step();
                    s.reset();
                }
            }));
        }
        report(r);
    }
    exec(db.get(), "PRAGMA wal_checkpoint(TRUNCATE)");
    {
        Result r{ "g. pack after deleting one slip in ten", {}, {} };
        for (int i = 0; i < opt.runs; ++i) {
            fs::remove_all(scratchDir);
            fs::create_directories(scratchDir);
            for (const char *ext : { ".DBF", ".DBT", ".MDX" })
                fs::copy_file(ourDir / (std::string("TWSLIP") + ext),
                    scratchDir / (std::string("TWSLIP") + ext));
            {
                auto t = dbf::Table::open(dbfPath(scratchDir, "TWSLIP"), dbf::OpenMode::Exclusive);
                for (dbf::RecNo n = 10; n <= t->recordCount(); n += 10) {
                    dbf::Cursor c(*t);
                    if (c.gotoRecNo(n))
                        c.remove();
                }
                r.ours.push_back(timeIt([&] { t->pack(); }));
            }
            fs::remove(sqliteScratch);
            fs::copy_file(sqliteFile, sqliteScratch);
            Database scratch(sqliteScratch);
            exec(scratch.get(), "DELETE FROM twslip WHERE rowid % 10 = 0");
            r.theirs.push_back(timeIt([&] { exec(scratch.get(), "VACUUM"); }));
        }
        report(r);
    }

    std::uintmax_t ours = 0;
    for (const auto &entry : fs::directory_iterator(ourDir))
        ours += entry.file_size();
    std::printf("\nFile sizes (bytes): ours %ju (slips: DBF %ju, DBT %ju, MDX %ju); SQLite %ju\n",
        ours, sizeOr0(slipDbf), sizeOr0(ourDir / "TWSLIP.DBT"), sizeOr0(ourDir / "TWSLIP.MDX"),
        sizeOr0(sqliteFile));
    if (!opt.keep)
        fs::remove_all(opt.dir);
    else
        std::printf("Files kept in %s\n", opt.dir.c_str());
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    try {
        return run(parse(argc, argv));
    } catch (const std::exception &e) {
        std::fprintf(stderr, "tarnw-bench-engine: %s\n", e.what());
        return 1;
    }
}
