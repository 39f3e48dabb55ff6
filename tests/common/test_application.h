#pragma once

#include <QApplication>

// The one QApplication of a test program that drives windows, made on first use and never
// destroyed: windows of the tests may still be queued for deletion at exit.
inline QApplication &testApplication()
{
    static int argc = 1;
    static char name[] = "tarnw_test";
    static char *argv[] = { name, nullptr };
    static QApplication *app = qApp ? nullptr : new QApplication(argc, argv);
    return app ? *app : *qobject_cast<QApplication *>(qApp);
}
