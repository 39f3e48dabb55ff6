#include "report_engine/qt/status_form.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "report_engine/qt/current_printer.h"
#include "report_engine/report_filer.h"

namespace report {

TStatusForm::TStatusForm(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("StatusForm"));
    setWindowTitle(QStringLiteral("Report Status"));
    setModal(true);
    StatusLabel = new QLabel(QStringLiteral("Printing Status"), this);
    StatusLabel->setObjectName(QStringLiteral("StatusLabel"));
    StatusLabel->setAlignment(Qt::AlignCenter);
    StatusLabel->setMinimumWidth(220);
    CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    Timer = new QTimer(this);
    Timer->setInterval(1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(StatusLabel);
    layout->addWidget(CancelBtn, 0, Qt::AlignHCenter);
    connect(CancelBtn, &QPushButton::clicked, this, [this] { ButtonClicked(); });
    connect(Timer, &QTimer::timeout, this, [this] {
        Timer->stop();
        accept();
    });
}

TStatusForm::~TStatusForm() = default;

void TStatusForm::SetReport(TBaseReport *report, bool fileBackEnd)
{
    m_report = report;
    report->StatusFormat = fileBackEnd ? "Printing page %p" : "Printing Page %p";
    report->SetMarginLeft(0.5);
    report->SetMarginRight(0.5);
    report->SetMarginTop(0.5);
    report->SetMarginBottom(0.5);
    report->SetLineHeightMethod(LineHeightMethod::lhmFont);
    report->SetUnitsFactor(1.0);
    report->SetTitle("Tarnwick");
    report->SetOrientation(poPortrait);
    report->SetScale(100, 100);
    if (auto *filer = dynamic_cast<TReportFiler *>(report); filer && fileBackEnd) {
        filer->FileName = "TWREPORT.RPT";
        filer->SetStreamMode(StreamMode::smFile);
        // Laid out on the sheet it will be printed on from the preview.
        filer->SetDevice(reportFileDevice());
    }
    report->OnStatus = [this](const std::string &s) {
        StatusLabel->setText(
            QString::fromLatin1(s.c_str()).replace(QLatin1Char('\r'), QLatin1Char('\n')));
    };
    report->OnProcessMessages = [] { QCoreApplication::processEvents(); };
}

void TStatusForm::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (const QScreen *s = screen())
        move(s->availableGeometry().center() - rect().center());
    if (!m_started) {
        m_started = true;
        QTimer::singleShot(0, this, [this] { Run(); });
    }
}

void TStatusForm::ShowError(const QString &text)
{
    try {
        if (OnError) {
            OnError(text);
            return;
        }
        QMessageBox box(
            QMessageBox::Critical, QStringLiteral("Error"), text, QMessageBox::Ok, this);
        box.exec();
    } catch (...) { // a failing error box must not take the program down either
    }
}

QString TStatusForm::Failure(const std::function<void()> &step)
{
    try {
        step();
        return {};
    } catch (const std::exception &e) { // engine errors ("Record locked...") derive from it
        const QString text = QString::fromLocal8Bit(e.what());
        if (!text.isEmpty())
            return text;
    } catch (...) {
    }
    return QStringLiteral("The operation failed.");
}

void TStatusForm::Run()
{
    if (!m_report)
        return;
    m_running = true;
    // RunReport itself aborts the job and closes the printer job or report file before an
    // exception leaves it.
    const QString failure = Failure([this] {
        if (OnBeforeRun)
            OnBeforeRun();
        m_report->RunReport();
    });
    m_running = false;
    m_failed = !failure.isEmpty();
    m_canceled = m_failed || m_report->Aborted();
    m_jobStarted = m_report->CurrentPage() > 0;
    CancelBtn->setText(QStringLiteral("OK"));
    m_report->StatusFormat = m_canceled ? "\rReport Canceled!" : "\rReport Completed!";
    const QString statusFailure = Failure([this] { m_report->ShowStatus(); });
    if (m_failed)
        ShowError(failure);
    else if (!statusFailure.isEmpty())
        ShowError(statusFailure);
    if (!m_canceled)
        Timer->start();
}

void TStatusForm::ButtonClicked()
{
    if (m_running) {
        m_report->CancelReport();
        return;
    }
    accept();
}

void TStatusForm::done(int r)
{
    if (m_running) { // Esc or the close box during a run cancels it first
        m_report->CancelReport();
        return;
    }
    if (OnClosed) { // the window closes even when putting the tables back fails
        const QString failure = Failure(OnClosed);
        if (!failure.isEmpty())
            ShowError(failure);
    }
    QDialog::done(r);
}

} // namespace report
