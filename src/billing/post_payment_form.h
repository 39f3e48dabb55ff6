#pragma once
// The "Post Payments" window: one payment against the statement selected on the main window's
// "Invoices/Payments" page, posted whole with the statement's INV_PAID (PaymentPosting).
#include <filesystem>

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace platform {
class Clock;
}
namespace ui {
class Dataset;
class Messages;
class TPlacement;
} // namespace ui

namespace billing {

class PaymentPosting;

// The date paid: typed as the user's short date (two-digit years read 1950 to 2049) or picked
// from the calendar of its button.
class PaymentDateBox : public QWidget
{
    Q_OBJECT
public:
    explicit PaymentDateBox(QWidget *parent = nullptr);
    QLineEdit *edit() const { return m_edit; }
    void setDate(const QDate &date);
    // The typed date; null when the text is blank or no date.
    QDate date() const;
    bool isValid() const;

private:
    QLineEdit *m_edit;
};

// Shown modally while `posting` holds the client and statement rows. "&Save" posts and closes;
// "&Cancel", Esc and the close box close without posting. The caller destroys `posting` after
// exec(), which releases both rows.
class TPostPmtForm : public QDialog
{
    Q_OBJECT
public:
    TPostPmtForm(PaymentPosting &posting, ui::Messages &messages, const platform::Clock &clock,
        QWidget *parent = nullptr);

    QLineEdit *ReferenceEdit = nullptr;
    QLineEdit *AmountEdit = nullptr;
    PaymentDateBox *DateEdit = nullptr;
    QLineEdit *DescriptionEdit = nullptr;
    QPushButton *SaveBtn = nullptr;
    QPushButton *CancelBtn = nullptr;

    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void SaveBtnClick();

    PaymentPosting &m_posting;
    ui::Messages &m_messages;
    ui::TPlacement *m_placement;
    bool m_placed = false;
};

// The "Post Payment" command after its guards: the statement under `invoices` must belong to the
// client under `clients` ("There are no invoices for " + NAME otherwise); the client and
// statement rows are locked (a row another copy holds: the engine's message, the window does not
// open); the window runs; every lock is released when it closes. Returns whether a payment was
// posted.
bool postPayment(const std::filesystem::path &dataDirectory, ui::Dataset &clients,
    ui::Dataset &invoices, ui::Messages &messages, const platform::Clock &clock,
    QWidget *parent);

} // namespace billing
