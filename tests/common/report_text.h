#pragma once
// The words of a printed PDF and of a recorded report file, to compare what was printed with
// what was recorded.
#include <vector>

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

// A word of a printed PDF with its box, in inches from the sheet's top-left corner.
struct PdfWordBox
{
    QString text;
    double x0, y0, x1, y1;
};

// The words of a PDF with their boxes, as pdftotext -bbox reads them, in page order.
inline std::vector<PdfWordBox> pdfWordBoxList(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), { QStringLiteral("-bbox"), pdf, QStringLiteral("-") });
    p.waitForFinished(30000);
    static const QRegularExpression word(QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" "
                                                        "xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)</word>"));
    std::vector<PdfWordBox> out;
    const QString html = QString::fromUtf8(p.readAllStandardOutput());
    for (auto it = word.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        out.push_back({ m.captured(5), m.captured(1).toDouble() / 72, m.captured(2).toDouble() / 72,
            m.captured(3).toDouble() / 72, m.captured(4).toDouble() / 72 });
    }
    return out;
}

// Whether pdftotext runs here.
inline bool pdfToolsInstalled()
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), { QStringLiteral("-v") });
    return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit;
}
