// Four processes take numbers from the one-record counter table (edit to lock, read, write plus
// one, post) and append a slip carrying each number. Afterwards every number is there exactly
// once, none is skipped, the count is exact, every tag checks clean (in process and with the
// built tarnw-dbf) and Perl XBase reads every record.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <thread>

#include "dbf/cursor.h"
#include "dbf/errors.h"
#include "dbf/mdx_check.h"
#include "dbf/table.h"
#include "store/schema.h"
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int kProcesses = 4;

int numbersPerProcess()
{
    if (const char *n = std::getenv("TARNW_STRESS_N"))
        return std::max(1, std::atoi(n));
    return 200;
}

struct Output
{
    int status = -1;
    std::string text;
};

Output runCommand(const std::string &command)
{
    Output out;
    FILE *p = ::popen((command + " 2>&1").c_str(), "r");
    if (!p)
        return out;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.text.append(buf, n);
    const int status = ::pclose(p);
    out.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

std::string quote(const std::string &s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

class CounterStress : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path()
            / ("tarnw-stress-" + std::to_string(::getpid()) + "-"
                + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        const store::TableDef &slip = store::table("TWSLIP");
        dbf::Table::create(slipPath(), slip.fields);
        {
            auto t = dbf::Table::open(slipPath(), dbf::OpenMode::Exclusive);
            for (const store::TagDef &tag : slip.tags)
                t->addTag(tag.name, tag.key, { tag.unique, tag.primary, tag.expression });
        }
        dbf::Table::create(counterPath(), store::table("TWTRACK").fields);
        auto t = dbf::Table::open(counterPath(), dbf::OpenMode::Exclusive);
        dbf::Cursor c(*t);
        c.append();
        c.setInteger("NEXTSLIP", 1);
        c.post();
    }
    void TearDown() override { fs::remove_all(m_dir); }

    fs::path slipPath() const { return m_dir / "TWSLIP.DBF"; }
    fs::path counterPath() const { return m_dir / "TWTRACK.DBF"; }

    // One process's work; returns the exit status.
    int worker(int id, int count) const
    {
        try {
            auto counter = dbf::Table::open(counterPath(), dbf::OpenMode::Shared);
            auto slips = dbf::Table::open(slipPath(), dbf::OpenMode::Shared);
            dbf::Cursor c(*counter);
            dbf::Cursor s(*slips);
            const std::string client = "CL" + std::to_string(id);
            for (int i = 0; i < count; ++i) {
                for (int attempt = 0;; ++attempt) {
                    try {
                        c.edit();
                        break;
                    } catch (const dbf::RecordLocked &) {
                        if (attempt > 200000)
                            return 3;
                        std::this_thread::yield();
                    }
                }
                const std::int64_t number = c.integer("NEXTSLIP");
                c.setInteger("NEXTSLIP", number + 1);
                c.post();
                s.append();
                s.setInteger("SL_NUMBER", number);
                s.setText("SL_CLIENT", client);
                s.setNumber("SL_TOTAL", static_cast<double>(number) / 4.0);
                s.setInteger("SL_INVOICE", -1);
                if (number % 5 == 0)
                    s.setMemo("SL_DESCCLN", "slip " + std::to_string(number));
                s.post();
            }
            return 0;
        } catch (const std::exception &e) {
            std::fprintf(stderr, "worker %d: %s\n", id, e.what());
            return 2;
        }
    }

    fs::path m_dir;
};

TEST_F(CounterStress, FourProcessesNeverTakeANumberTwiceOrSkipOne)
{
    const int perProcess = numbersPerProcess();
    const int total = kProcesses * perProcess;
    std::vector<pid_t> children;
    for (int id = 0; id < kProcesses; ++id) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0)
            ::_exit(worker(id, perProcess));
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "a worker failed";
    }

    {
        auto counter = dbf::Table::open(counterPath(), dbf::OpenMode::Shared);
        dbf::Cursor c(*counter);
        EXPECT_EQ(c.integer("NEXTSLIP"), total + 1);
    }
    auto slips = dbf::Table::open(slipPath(), dbf::OpenMode::Shared);
    EXPECT_EQ(slips->recordCount(), static_cast<dbf::RecNo>(total));
    std::set<std::int64_t> seen;
    std::vector<int> perClient(kProcesses, 0);
    {
        dbf::Cursor s(*slips);
        for (bool ok = !s.isEmpty(); ok; ok = s.next()) {
            const std::int64_t number = s.integer("SL_NUMBER");
            EXPECT_TRUE(seen.insert(number).second) << "number " << number << " taken twice";
            EXPECT_DOUBLE_EQ(s.number("SL_TOTAL"), static_cast<double>(number) / 4.0);
            EXPECT_EQ(s.memo("SL_DESCCLN"),
                number % 5 == 0 ? "slip " + std::to_string(number) : std::string());
            const std::string client = s.text("SL_CLIENT");
            ASSERT_EQ(client.size(), 3u);
            ++perClient.at(static_cast<std::size_t>(client[2] - '0'));
        }
    }
    ASSERT_EQ(seen.size(), static_cast<std::size_t>(total));
    EXPECT_EQ(*seen.begin(), 1);
    EXPECT_EQ(*seen.rbegin(), total) << "a number was skipped";
    for (int n : perClient)
        EXPECT_EQ(n, perProcess);

    // The number tag finds every slip; every tag checks clean.
    {
        dbf::Cursor s(*slips);
        s.setTag("SL_Number");
        for (int n = 1; n <= total; n += std::max(1, total / 97))
            EXPECT_TRUE(s.findKey(s.makeKey({ std::to_string(n) }))) << n;
    }
    EXPECT_TRUE(dbf::checkIndex(*slips).empty());
    slips.reset();

    const Output check = runCommand(
        quote(std::string(TARNW_BINARY_DIR) + "/tools/tarnw-dbf") + " check " + quote(slipPath()));
    EXPECT_EQ(check.status, 0) << check.text;
    EXPECT_NE(check.text.find("9 tags checked, no fault"), std::string::npos) << check.text;

    if (runCommand("perl -MXBase -e 1").status != 0)
        GTEST_SKIP() << "Perl XBase is not installed";
    const Output perl =
        runCommand("perl -MXBase -e '"
                   "my $t = XBase->new(shift) or die XBase->errstr; my ($n, $s) = (0, 0);"
                   "for my $i (0 .. $t->last_record) {"
                   " my ($del, $num) = $t->get_record($i, \"SL_NUMBER\");"
                   " die \"record $i: \" . $t->errstr unless defined $del;"
                   " next if $del; $n++; $s += $num }"
                   "print \"$n $s\\n\"' "
            + quote(slipPath()));
    ASSERT_EQ(perl.status, 0) << perl.text;
    const long long sum = static_cast<long long>(total) * (total + 1) / 2;
    EXPECT_EQ(perl.text, std::to_string(total) + " " + std::to_string(sum) + "\n");
}

} // namespace
