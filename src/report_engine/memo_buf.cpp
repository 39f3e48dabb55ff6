#include "report_engine/memo_buf.h"

#include <cmath>

#include "report_engine/base_report.h"

namespace report {

namespace {
constexpr std::size_t kMaxWord = 65520;
bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}
bool isBreak(char c)
{
    return c == '\r' || c == '\n';
}
} // namespace

void TMemoBuf::SetText(std::string text)
{
    m_text = std::move(text);
    RewindMemo();
}

void TMemoBuf::RewindMemo()
{
    m_pos = 0;
    m_paragraphStart = true;
}

bool TMemoBuf::HasText() const
{
    for (std::size_t i = m_pos; i < m_text.size(); ++i) {
        if (!isBlank(m_text[i]) && !isBreak(m_text[i]))
            return true;
    }
    return false;
}

double TMemoBuf::WidthPx(const std::string &s) const
{
    if (!BaseReport)
        throw ReportError("TMemoBuf.BaseReport not assigned.");
    return BaseReport->Measurer().width(BaseReport->CurrentFontSpec(), s);
}

bool TMemoBuf::NextLine(std::string &line)
{
    if (!BaseReport)
        throw ReportError("TMemoBuf.BaseReport not assigned.");
    line.clear();
    if (!HasText())
        return false;
    const double limit =
        std::floor((PrintEnd - PrintStart) * BaseReport->Device().ppiX + 0.5) + 1e-6;
    const bool startsParagraph = m_paragraphStart;
    m_paragraphStart = false;
    bool anyWord = false;
    const std::size_t n = m_text.size();
    while (true) {
        const std::size_t wsStart = m_pos;
        while (m_pos < n && isBlank(m_text[m_pos]))
            ++m_pos;
        const std::string ws = m_text.substr(wsStart, m_pos - wsStart);
        if (m_pos >= n)
            break;
        if (isBreak(m_text[m_pos])) {
            if (m_text[m_pos] == '\r' && m_pos + 1 < n && m_text[m_pos + 1] == '\n')
                ++m_pos;
            ++m_pos;
            m_paragraphStart = true;
            break;
        }
        std::size_t end = m_pos;
        while (end < n && !isBlank(m_text[end]) && !isBreak(m_text[end]) && end - m_pos < kMaxWord)
            ++end;
        const std::string word = m_text.substr(m_pos, end - m_pos);
        const std::string piece = (!anyWord && !startsParagraph) ? word : ws + word;
        if (WidthPx(line + piece) <= limit) {
            line += piece;
            m_pos = end;
            anyWord = true;
            continue;
        }
        if (anyWord) { // put the word back, with its white space, for the next line
            m_pos = wsStart;
            break;
        }
        // The first word alone is too wide: break it character by character at the width.
        std::string head = (!startsParagraph) ? std::string() : ws;
        std::size_t taken = 0;
        while (taken < word.size() && WidthPx(head + word.substr(0, taken + 1)) <= limit)
            ++taken;
        if (taken == 0)
            taken = 1; // always make progress
        line = head + word.substr(0, taken);
        m_pos += taken;
        break;
    }
    return true;
}

} // namespace report
