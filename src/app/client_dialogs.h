#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;

namespace ui {
class Dataset;
class DbGrid;
class Messages;
} // namespace ui

namespace app {

// "New Client Number": one box of at most six characters, preset with the proposal. The
// number is checked by the client rules after Ok, not here.
class NewClientNumberDialog : public QDialog
{
    Q_OBJECT
public:
    explicit NewClientNumberDialog(const QString &proposal, QWidget *parent = nullptr);
    QString number() const;
    QLineEdit *numberBox() const { return m_number; }

private:
    QLineEdit *m_number;
};

// "Client Search" over the second client cursor: the grid, the order to search and sort by,
// the search characters moving the grid to the nearest match while typed, and "Rec #" n "of" m
// (n the row of the current client in the chosen order). The caller applies Ok.
class ClientSearchDialog : public QDialog
{
    Q_OBJECT
public:
    ClientSearchDialog(ui::Dataset &shadow, ui::Messages &messages, QWidget *parent = nullptr);

    QComboBox *orderBox() const { return m_order; }
    QLineEdit *searchBox() const { return m_search; }
    QLabel *statusLine() const { return m_status; }
    ui::DbGrid *grid() const { return m_grid; }

private:
    void orderChosen(int index);
    void searchTyped(const QString &text);
    void updateStatus();

    ui::Dataset &m_shadow;
    ui::Messages &m_messages;
    QComboBox *m_order;
    QLineEdit *m_search;
    QLabel *m_status;
    ui::DbGrid *m_grid;
};

} // namespace app
