#pragma once
// The words of a printed PDF and of a recorded report file, to compare what was printed with
// what was recorded.
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include "report_engine/report_file_reader.h"

// The words pdftotext reads from a PDF, in page order.
inline QStringList pdfWords(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), { QStringLiteral("-layout"), pdf, QStringLiteral("-") });
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput())
        .split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
}

// The pages of a PDF as pdfinfo counts them; -1 when it cannot tell.
inline int pdfPages(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), { pdf });
    p.waitForFinished(30000);
    const auto m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)"))
                       .match(QString::fromUtf8(p.readAllStandardOutput()));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// The words of every text record of a report file, page by page.
inline QStringList recordedWords(const QString &file)
{
    using namespace report;
    ReportFileReader reader;
    reader.open(file.toStdString());
    QStringList words;
    Record r;
    for (int n = 1; reader.gotoPage(n); ++n)
        while (reader.next(r))
            if ((r.code >= rpt::CenterText && r.code <= rpt::RightText)
                || r.code == rpt::SpreadText)
                words += QString::fromLatin1(r.text.c_str()).split(' ', Qt::SkipEmptyParts);
    return words;
}
