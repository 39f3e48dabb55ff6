// RFC 4180 fields: which are quoted and how quotes inside are doubled; records end in CRLF.
#include <sstream>

#include "reports/csv_writer.h"
#include <gtest/gtest.h>

TEST(CsvWriter, QuotesOnlyWhatNeedsIt)
{
    const struct
    {
        const char *field, *written;
    } cases[] = {
        { "plain", "plain" },
        { "", "" },
        { "a,b", "\"a,b\"" },
        { "say \"hi\"", "\"say \"\"hi\"\"\"" },
        { "line\nbreak", "\"line\nbreak\"" },
        { "cr\rhere", "\"cr\rhere\"" },
        { " padded", "\" padded\"" },
        { "padded ", "\"padded \"" },
        { "M\xc3\xbcller", "M\xc3\xbcller" }, // UTF-8 passes unchanged
        { "1234.50", "1234.50" },
    };
    for (const auto &c : cases)
        EXPECT_EQ(reports::CsvWriter::quoted(c.field), c.written) << c.field;

    std::ostringstream out;
    reports::CsvWriter w(out);
    w.writeRow({ "a", "b,c" });
    w.writeRow({ "" });
    EXPECT_EQ(out.str(), "a,\"b,c\"\r\n\r\n");
}
