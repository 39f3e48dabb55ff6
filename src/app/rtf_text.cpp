#include "app/rtf_text.h"

#include <QStringDecoder>
#include <QVector>

namespace app {

namespace {

struct GroupState
{
    bool bold = false;
    bool italic = false;
    bool skip = false; // inside a destination that is not text
};

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

} // namespace

QString rtfToHtml(const QByteArray &rtf)
{
    if (!rtf.startsWith("{\\rtf"))
        return QStringLiteral("<pre>") + QString::fromLocal8Bit(rtf).toHtmlEscaped()
            + QStringLiteral("</pre>");

    QStringDecoder cp1252("Windows-1252");
    QString html;
    QString run; // text of the current run, in the state of `shown`
    GroupState shown;
    QVector<GroupState> stack{ GroupState{} };
    const auto flush = [&] {
        if (run.isEmpty())
            return;
        QString t = run.toHtmlEscaped();
        if (shown.italic)
            t = QStringLiteral("<i>") + t + QStringLiteral("</i>");
        if (shown.bold)
            t = QStringLiteral("<b>") + t + QStringLiteral("</b>");
        html += t;
        run.clear();
    };
    const auto text = [&](const QString &s) {
        const GroupState &now = stack.last();
        if (now.skip)
            return;
        if (now.bold != shown.bold || now.italic != shown.italic) {
            flush();
            shown.bold = now.bold;
            shown.italic = now.italic;
        }
        run += s;
    };
    const auto markup = [&](const QString &tag) {
        if (stack.last().skip)
            return;
        flush();
        html += tag;
    };

    int fallback = 0; // characters after \uN that stand in for it in older readers
    html += QStringLiteral("<p>");
    for (qsizetype i = 0; i < rtf.size(); ++i) {
        const char c = rtf[i];
        if (c == '{') {
            stack.push_back(stack.last());
            // Destinations that hold no text of the document.
            const QByteArray next = rtf.mid(i + 1, 10);
            if (next.startsWith("\\*") || next.startsWith("\\fonttbl")
                || next.startsWith("\\colortbl") || next.startsWith("\\stylesheet")
                || next.startsWith("\\info") || next.startsWith("\\pict"))
                stack.last().skip = true;
        } else if (c == '}') {
            if (stack.size() > 1)
                stack.pop_back();
        } else if (c == '\\' && i + 1 < rtf.size()) {
            const char n = rtf[i + 1];
            if (n == '\\' || n == '{' || n == '}') {
                text(QString(QChar::fromLatin1(n)));
                ++i;
            } else if (n == '~') {
                text(QString(QChar(0x00a0)));
                ++i;
            } else if (n == '\'' && i + 3 < rtf.size()) {
                bool ok = false;
                const char byte = char(rtf.mid(i + 2, 2).toInt(&ok, 16));
                if (fallback > 0)
                    --fallback;
                else if (ok)
                    text(cp1252.decode(QByteArray(1, byte)));
                i += 3;
            } else if (isLetter(n)) {
                qsizetype j = i + 1;
                while (j < rtf.size() && isLetter(rtf[j]))
                    ++j;
                const QByteArray word = rtf.mid(i + 1, j - i - 1);
                qsizetype k = j;
                if (k < rtf.size() && rtf[k] == '-')
                    ++k;
                while (k < rtf.size() && rtf[k] >= '0' && rtf[k] <= '9')
                    ++k;
                const bool hasNumber = k > j;
                const int number = hasNumber ? rtf.mid(j, k - j).toInt() : 1;
                if (k < rtf.size() && rtf[k] == ' ')
                    ++k; // the delimiter belongs to the control word
                i = k - 1;
                if (word == "par")
                    markup(QStringLiteral("</p><p>"));
                else if (word == "line")
                    markup(QStringLiteral("<br>"));
                else if (word == "tab")
                    text(QStringLiteral("\t"));
                else if (word == "b")
                    stack.last().bold = number != 0;
                else if (word == "i")
                    stack.last().italic = number != 0;
                else if (word == "plain")
                    stack.last().bold = stack.last().italic = false;
                else if (word == "u") {
                    text(QString(QChar(char16_t(number < 0 ? number + 65536 : number))));
                    fallback = 1;
                }
            } else {
                ++i; // another control symbol: dropped
            }
        } else if (c != '\r' && c != '\n') {
            if (fallback > 0)
                --fallback;
            else
                text(QString(QChar::fromLatin1(c)));
        }
    }
    flush();
    html += QStringLiteral("</p>");
    html.replace(QStringLiteral("<p></p>"), QString());
    return html;
}

} // namespace app
