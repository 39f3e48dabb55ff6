#include "report_engine/qt/current_printer.h"

#include <QDialogButtonBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>

#include "report_engine/qt/canvas_report.h"

namespace report {

namespace {
QString &chosenPrinter()
{
    static QString name;
    return name;
}
} // namespace

QString currentPrinterName()
{
    const QString &chosen = chosenPrinter();
    if (!chosen.isEmpty() && !QPrinterInfo::printerInfo(chosen).isNull())
        return chosen;
    return QPrinterInfo::defaultPrinterName();
}

DeviceInfo reportFileDevice()
{
    const QString name = currentPrinterName();
    DeviceInfo info =
        name.isEmpty() ? DeviceInfo{} : printerDevice(QPrinterInfo::printerInfo(name));
    if (info.printerExists) {
        info.deviceName = info.driverName = "Preview";
        info.portName = "Screen";
    }
    return info;
}

void setCurrentPrinterName(const QString &name)
{
    chosenPrinter() = name;
}

int currentPrinterIndex()
{
    return static_cast<int>(QPrinterInfo::availablePrinterNames().indexOf(currentPrinterName()));
}

bool runPrinterSetup(QWidget *parent)
{
    QPrinter printer;
    const QString current = currentPrinterName();
    if (!current.isEmpty())
        printer.setPrinterName(current);
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("Printer Setup"));
    // Only the printer is chosen here: no ranges, and no printing into a file.
    dialog.setOptions(QAbstractPrintDialog::PrintShowPageSize);
    // The dialog prints nothing itself: its accepting button says so.
    if (auto *box = dialog.findChild<QDialogButtonBox *>())
        if (auto *ok = box->button(QDialogButtonBox::Ok))
            ok->setText(QStringLiteral("OK"));
    if (dialog.exec() != QDialog::Accepted || printer.outputFormat() != QPrinter::NativeFormat
        || printer.printerName().isEmpty())
        return false;
    setCurrentPrinterName(printer.printerName());
    return true;
}

} // namespace report
