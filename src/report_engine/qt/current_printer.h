#pragma once
// The program's current printer. It starts as the platform's default printer; a printer setup
// dialog changes it for the rest of the run. Printing from the preview uses it without asking; a
// print run selects it with TReportPrinter::SelectPrinterIndex(currentPrinterIndex()).
#include <QString>

#include "report_engine/report_types.h"

class QWidget;

namespace report {

// The chosen printer while it is still installed, else the platform's default printer; empty
// when no printer is installed.
QString currentPrinterName();
// The sheet a report file is laid out on: the current printer's paper, resolution and
// unprintable offsets, carrying the device names of a recording ("Preview", "Preview",
// "Screen"); 8.5 x 11 inches at 96 pixels per inch, "Preview Only", when no printer is
// installed. A report file run in the status window gets it from TStatusForm::SetReport.
DeviceInfo reportFileDevice();
// An empty name goes back to the platform's default printer.
void setCurrentPrinterName(const QString &name);
// The current printer's position among the installed printers, -1 when there is none.
int currentPrinterIndex();

// The platform's printer setup dialog, opened on the current printer. When it is accepted with a
// printer chosen, that printer becomes the current printer and true is returned.
bool runPrinterSetup(QWidget *parent);

} // namespace report
