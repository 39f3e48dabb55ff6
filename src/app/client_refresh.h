#pragma once

#include <functional>

#include <QString>

namespace app {

class MainData;

// Keeps the client-dependent cursors in step with the current client of ClientTable:
//
//   1. remember ClientTable's position (program-wide state)
//   2. cancel the ranges of InvoiceTable and SlipTable
//   3. InvoiceTable on tag INV_CLIENT, range INV_CLIENT = current NUMBER
//   4. SlipTable on tag SL_CLIENT, range SL_CLIENT = current NUMBER, on the last slip
//   5. both re-read and their grids repainted (the datasets tell their views)
//   6. the unbilled total and the aging boxes recomputed (the `recompute` hook, set by the
//      payments and aging rules; nothing when unset)
//
// The statement detail and payment cursors follow InvoiceTable on their own.
//
// follow() is what the main window calls whenever the current client record changes: it runs the
// refresh when the client under the cursor, or its number, differs from the one the ranges were
// last set for. Typing into other fields of the same client changes nothing the refresh
// depends on, so it does not re-run for each keystroke.
class ClientRefresh
{
public:
    explicit ClientRefresh(MainData &data);

    void run();
    // Returns whether it ran the refresh.
    bool follow();

    std::function<void()> recompute;
    int runs() const { return m_runs; }

private:
    MainData &m_data;
    quint32 m_refreshedRecNo = 0;
    QString m_refreshedNumber;
    bool m_done = false;
    int m_runs = 0;
};

} // namespace app
