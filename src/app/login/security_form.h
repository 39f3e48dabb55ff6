#pragma once

#include <filesystem>
#include <memory>

#include <QDialog>

#include "app/login/security_model.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;

namespace ui {
class TPlacement;
}

namespace login {

// "Administrator Security": the option levels ("&Menu Security") and the staff levels and
// passwords ("&Staff Settings"), over a SecurityModel opened with the window. OK posts the row
// being edited on either page; closing by the frame leaves an unposted change unsaved.
// Placement entry "FrmSecurity" of the settings file given.
class TFrmSecurity : public QDialog
{
    Q_OBJECT
public:
    TFrmSecurity(const std::filesystem::path &dataDirectory, ui::Messages &messages,
        const QString &iniFileName = QStringLiteral("TARNW.INI"), QWidget *parent = nullptr);
    ~TFrmSecurity() override;

    SecurityModel &model() { return *m_model; }

    QTabWidget *Pages = nullptr;
    QTableWidget *MenuGrid = nullptr;
    QTableWidget *StaffGrid = nullptr;
    QPushButton *OKBtn = nullptr;

    // The editors of a row, for the tests that drive the window.
    QComboBox *menuLevelBox(int row) const;
    QComboBox *staffLevelBox(int row) const;
    QLineEdit *passwordBox(int row) const;

public slots:
    void OKBtnClick();

protected:
    void showEvent(QShowEvent *event) override;
    void done(int result) override;

private:
    QWidget *makeMenuPage();
    QWidget *makeStaffPage();
    void fillMenuGrid();
    void fillStaffGrid();
    void refreshStaffLevels();
    QComboBox *makeLevelBox(int level);
    template <typename Action> void guarded(Action action);

    ui::Messages &m_messages;
    std::unique_ptr<SecurityModel> m_model;
    ui::TPlacement *m_placement = nullptr;
    bool m_filling = false;
};

} // namespace login
