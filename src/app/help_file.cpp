#include "app/help_file.h"

#include <QFile>
#include <QRegularExpression>

namespace app {

HelpFile HelpFile::parse(const QString &text)
{
    HelpFile file;
    Topic *current = nullptr;
    bool skipping = false;
    bool afterTitle = false;
    QStringList body;
    auto finish = [&] {
        if (current)
            current->body = body.join(QLatin1Char('\n')).trimmed();
        body.clear();
    };
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (QString line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('@'))) {
            if (!skipping)
                finish();
            const int blank = line.indexOf(QLatin1Char(' '));
            bool ok = false;
            const int number = line.mid(1, blank < 0 ? -1 : blank - 1).toInt(&ok);
            const QString title = blank < 0 ? QString() : line.mid(blank + 1).trimmed();
            skipping = !ok || file.topic(number) != nullptr;
            current = nullptr;
            if (!skipping) {
                file.m_topics.push_back({ number, title, {}, {} });
                current = &file.m_topics.back();
            }
            afterTitle = true;
            continue;
        }
        if (skipping || !current)
            continue;
        if (afterTitle && line.startsWith(QLatin1String("keywords:"), Qt::CaseInsensitive)) {
            for (const QString &k : line.mid(9).split(QLatin1Char(';'), Qt::SkipEmptyParts))
                if (!k.trimmed().isEmpty())
                    current->keywords.push_back(k.trimmed());
            afterTitle = false;
            continue;
        }
        afterTitle = false;
        body.push_back(line);
    }
    if (!skipping)
        finish();
    return file;
}

std::optional<HelpFile> HelpFile::load(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    return parse(QString::fromUtf8(f.readAll()));
}

const HelpFile::Topic *HelpFile::topic(int number) const
{
    for (const Topic &t : m_topics)
        if (t.number == number)
            return &t;
    return nullptr;
}

QStringList HelpFile::keywords() const
{
    QStringList out;
    for (const Topic &t : m_topics)
        for (const QString &k : t.keywords)
            if (!out.contains(k, Qt::CaseInsensitive))
                out.push_back(k);
    std::sort(out.begin(), out.end(),
        [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    return out;
}

std::vector<const HelpFile::Topic *> HelpFile::search(const QString &text) const
{
    const QString wanted = text.trimmed();
    std::vector<const Topic *> out;
    static const QRegularExpression wordBreak(QStringLiteral("[^\\w]+"));
    for (const Topic &t : m_topics) {
        bool hit = wanted.isEmpty();
        for (const QString &k : t.keywords)
            hit = hit || k.startsWith(wanted, Qt::CaseInsensitive);
        for (const QString &w : t.title.split(wordBreak, Qt::SkipEmptyParts))
            hit = hit || w.startsWith(wanted, Qt::CaseInsensitive);
        hit = hit || t.title.startsWith(wanted, Qt::CaseInsensitive);
        if (hit)
            out.push_back(&t);
    }
    return out;
}

QString HelpFile::html(const Topic &topic)
{
    QString out = QStringLiteral("<h3>") + topic.title.toHtmlEscaped() + QStringLiteral("</h3>");
    const QStringList paragraphs =
        topic.body.split(QRegularExpression(QStringLiteral("\\n\\s*\\n")), Qt::SkipEmptyParts);
    for (const QString &p : paragraphs)
        out += QStringLiteral("<p>") + p.trimmed().toHtmlEscaped() + QStringLiteral("</p>");
    return out;
}

} // namespace app
