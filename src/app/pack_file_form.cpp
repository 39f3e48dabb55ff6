#include "app/pack_file_form.h"

#include <QApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/file_maintenance.h"
#include "ui/placement.h"

namespace app {

namespace {

QString shownPath(const std::filesystem::path &path)
{
    return QDir::toNativeSeparators(QDir::cleanPath(QString::fromStdString(path.string())));
}

// Stops and resumes the repainting of the main window behind the pack window.
void freeze(QWidget *parent, bool frozen)
{
    if (auto *main = qobject_cast<QMainWindow *>(parent); main && main->centralWidget())
        main->centralWidget()->setUpdatesEnabled(!frozen);
}

} // namespace

QString TPackFileForm::explanation()
{
    return QStringLiteral("Deleted Records (Time Slips, Activities, \n"
                          "Projects, etc.) are not automatically \n"
                          "removed from the data files as they are \n"
                          "deleted.  This option will purge all deleted\n"
                          "records from the data files.  If you are\n"
                          "operating Tarnwick in a multi-user\n"
                          "environment, all other users must be out of \n"
                          "the system before this option will function.");
}

TPackFileForm::TPackFileForm(FileMaintenance &maintenance, ui::Messages &messages,
    const QString &settingsPath, QWidget *parent)
    : QDialog(parent)
    , m_maintenance(maintenance)
    , m_messages(messages)
    , m_placement(new ui::TPlacement(this))
    , m_backupLabel(new QLabel(this))
    , m_progress(new QProgressBar(this))
    , m_packBtn(new QPushButton(QStringLiteral("&Pack Files"), this))
    , m_cancelBtn(new QPushButton(QStringLiteral("&Cancel"), this))
{
    setObjectName(QStringLiteral("PackFileForm"));
    setWindowTitle(QStringLiteral("Pack Data Files"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
        | Qt::WindowCloseButtonHint);
    m_placement->setEntry(QStringLiteral("PackFileForm"));
    m_placement->setIniFileName(settingsPath);

    auto *text = new QLabel(explanation(), this);
    text->setObjectName(QStringLiteral("ExplanationLabel"));
    text->setAlignment(Qt::AlignCenter);
    text->setFrameShape(QFrame::StyledPanel);
    text->setMargin(8);
    m_backupLabel->setObjectName(QStringLiteral("BackupLabel"));
    m_backupLabel->setAlignment(Qt::AlignCenter);
    m_backupLabel->setWordWrap(true);
    m_backupLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_backupLabel->setText(QStringLiteral("A copy of each table is kept in %1 before it is packed.")
                               .arg(shownPath(m_maintenance.backupDirectory())));
    m_progress->setObjectName(QStringLiteral("ProgressBar"));
    m_progress->setRange(0, int(FileMaintenance::tableCount()));
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    m_progress->setStyleSheet(
        QStringLiteral("QProgressBar::chunk { background-color: #008080; }")); // teal
    m_progress->hide();
    m_packBtn->setObjectName(QStringLiteral("PackBtn"));
    m_packBtn->setToolTip(QStringLiteral("Pack the files"));
    m_packBtn->setDefault(true);
    m_cancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    m_cancelBtn->setToolTip(QStringLiteral("Cancel"));

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_packBtn);
    buttons->addWidget(m_cancelBtn);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(m_backupLabel);
    layout->addWidget(m_progress);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_packBtn, &QPushButton::clicked, this, &TPackFileForm::PackBtnClick);
    connect(m_cancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TPackFileForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_placed) {
        m_placed = true;
        m_placement->restorePlacement();
    }
}

void TPackFileForm::PackBtnClick()
{
    m_packBtn->setEnabled(false);
    m_cancelBtn->setEnabled(false);
    m_progress->setValue(0);
    m_progress->show();
    freeze(parentWidget(), true);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const FileMaintenance::PackRun run =
        m_maintenance.pack([this](std::string_view, std::size_t packed) {
            m_progress->setValue(int(packed));
            if (packed > 1)
                QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        });
    if (!run.backupFolder.empty())
        m_backupLabel->setText(
            QStringLiteral("Backup copies: %1").arg(shownPath(run.backupFolder)));
    QApplication::restoreOverrideCursor();
    freeze(parentWidget(), false);
    m_maintenance.report(run);
    accept();
}

void TPackFileForm::done(int result)
{
    m_placement->savePlacement();
    QDialog::done(result);
}

} // namespace app
