#pragma once

#include <QDialog>

#include "ui/input_dialog_mode.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace ui {

// The code-entry dialog for new project, staff and activity codes. Set the mode, exec(), and on
// QDialog::Accepted read code(). "&OK" with an empty box ends the dialog as "&Cancel" does. The
// dialog checks nothing else: uniqueness is the caller's business.
class TInputDialog : public QDialog
{
    Q_OBJECT
public:
    explicit TInputDialog(
        QWidget *parent = nullptr, InputDialogMode mode = InputDialogMode::Project);

    void setMode(InputDialogMode mode);
    InputDialogMode mode() const { return m_mode; }
    QString code() const;
    void setCode(const QString &code);

private:
    void OKBtnClick();

    InputDialogMode m_mode;
    QLabel *m_prompt;
    QLineEdit *m_edit;
    QPushButton *m_ok;
    QPushButton *m_cancel;
};

} // namespace ui
