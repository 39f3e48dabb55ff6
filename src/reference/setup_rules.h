#pragma once

#include <QString>
#include <QStringList>

namespace ui {
class Dataset;
class Messages;
} // namespace ui

namespace reference {

// The rules of the company setup window over the single TWSETUP record.
//
// The record is in editing for the whole visit:
//   open() --> editing --save()--> posted, window closes
//                      --discard()--> cancelled, window closes
//                      --closeQuery()--> asks when modified, then one of the two
// After either end the main window's user-defined field captions are refreshed from the record
// as it then stands (userFieldCaptions()). A post refused by the engine is shown with the
// engine's message and the record stays in editing, so that nothing typed is lost.
class SetupRules
{
public:
    // The detail line orders, as stored in INVSORT and listed in the drop-down.
    static QStringList sortOrders();

    // What a detail order allows for the two subtotal boxes. A box not allowed is unticked,
    // its field set to "N" and disabled.
    struct SubtotalState
    {
        bool projectsAllowed;
        bool activitiesAllowed;
        bool operator==(const SubtotalState &) const = default;
    };
    // An order that is none of the five (compared exactly) allows both.
    static SubtotalState subtotalStateFor(const QString &sortOrder);

    SetupRules(ui::Dataset &setup, ui::Messages &messages);

    // Puts the record into editing and applies the subtotal rule to the stored order. Writes
    // SUBPROJ/SUBACT only where the stored order forbids a ticked box.
    void open();
    // A field of the record changed (by the user or by a rule): INVSORT applies the subtotal
    // rule, PRINTBOX cleared clears PRINTSHADE.
    void fieldChanged(const QString &field);
    SubtotalState subtotalState() const { return m_subtotals; }

    // The font chooser's answer: only the face name is kept.
    void setInvoiceFont(const QString &family);

    bool isModified() const;
    // Posts; false (after the error box) when the engine refuses.
    bool save();
    void discard();
    // Closing any other way: asks "Do you want to save these changes?" when the record holds
    // unsaved changes; Yes saves, No discards. False only when a save was refused.
    bool closeQuery();

    // USERFIELD1 .. USERFIELD5 as the record holds them now.
    QStringList userFieldCaptions() const;

private:
    void applySubtotalRule();
    void setFlag(const QString &field, bool on);

    ui::Dataset &m_setup;
    ui::Messages &m_messages;
    SubtotalState m_subtotals{ true, true };
    bool m_applying = false;
};

} // namespace reference
