#pragma once
// TMemoBuf: a word-wrapping text buffer printed by TBaseReport::EmitMemo. Lines are built for
// the width between PrintStart and PrintEnd in the report's current font, measured in device
// pixels. TDBMemoBuf is filled from the text of a memo field that the caller read from its table.
#include <cstddef>
#include <string>

namespace report {

class TBaseReport;

class TMemoBuf
{
public:
    TMemoBuf() = default;
    explicit TMemoBuf(std::string text)
        : m_text(std::move(text))
    {
    }
    virtual ~TMemoBuf() = default;

    void SetText(std::string text);
    const std::string &Text() const { return m_text; }
    void RewindMemo();
    // True while a word or a character other than white space remains after the read position.
    bool HasText() const;
    std::size_t Position() const { return m_pos; }

    double PrintStart = 0; // inches, absolute
    double PrintEnd = 0;
    TBaseReport *BaseReport = nullptr;

    // Builds the next line from the read position and moves past it. False when no text remains.
    bool NextLine(std::string &line);

private:
    struct Saved
    {
        std::size_t pos;
        bool paragraphStart;
    };
    double WidthPx(const std::string &s) const;

    std::string m_text;
    std::size_t m_pos = 0;
    bool m_paragraphStart = true;

    friend class TBaseReport;
    Saved Save() const { return { m_pos, m_paragraphStart }; }
    void Restore(const Saved &s)
    {
        m_pos = s.pos;
        m_paragraphStart = s.paragraphStart;
    }
};

// A memo buffer over a memo field: LoadMemoField replaces the text with the field's bytes.
class TDBMemoBuf : public TMemoBuf
{
public:
    void LoadMemoField(const std::string &fieldBytes) { SetText(fieldBytes); }
};

} // namespace report
