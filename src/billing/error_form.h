#pragma once
// TErrorForm, "Update Error Listing": the clients a finalization could not post, under a fixed
// explanation that tells the user to print and finalize them again. Created at the first error,
// filled line by line, shown modally once finalization has ended.
#include <QDialog>
#include <QStringList>

class QListWidget;
class QPushButton;

namespace billing {

class TErrorForm : public QDialog
{
    Q_OBJECT
public:
    explicit TErrorForm(QWidget *parent = nullptr);

    // The fixed explanation, one text per line, as shown above the list.
    static const QStringList &explanation();

    void addLine(const QString &line);
    QStringList lines() const;

    QListWidget *ErrorList;
    QPushButton *OKBtn;
};

} // namespace billing
