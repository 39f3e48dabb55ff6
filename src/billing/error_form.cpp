#include "billing/error_form.h"

#include <QFontMetrics>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace billing {

const QStringList &TErrorForm::explanation()
{
    static const QStringList lines = {
        QStringLiteral("The following is a list of errors that were received "),
        QStringLiteral("during the Bill Finalization process.  After correcting "),
        QStringLiteral("these situations, Billing Statements should be printed "),
        QStringLiteral("and finalized again for each client listed below.  "),
    };
    return lines;
}

TErrorForm::TErrorForm(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("ErrorForm"));
    setWindowTitle(QStringLiteral("Update Error Listing"));
    setModal(true);
    auto *layout = new QVBoxLayout(this);
    for (int i = 0; i < explanation().size(); ++i) {
        auto *label = new QLabel(explanation()[i], this);
        label->setObjectName(QStringLiteral("Label%1").arg(i + 1));
        layout->addWidget(label);
    }
    ErrorList = new QListWidget(this);
    ErrorList->setObjectName(QStringLiteral("ErrorList"));
    // Room for a line naming a client of 30 characters and its reason.
    ErrorList->setMinimumSize(QFontMetrics(font()).horizontalAdvance(QLatin1Char('x')) * 72, 160);
    layout->addWidget(ErrorList, 1);
    OKBtn = new QPushButton(QStringLiteral("&OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    layout->addWidget(OKBtn, 0, Qt::AlignHCenter);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
}

void TErrorForm::addLine(const QString &line)
{
    ErrorList->addItem(line);
}

QStringList TErrorForm::lines() const
{
    QStringList out;
    for (int i = 0; i < ErrorList->count(); ++i)
        out << ErrorList->item(i)->text();
    return out;
}

} // namespace billing
