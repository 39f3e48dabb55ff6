#pragma once

#include <functional>
#include <memory>

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QVariant>

#include "ui/data_cursor.h"

namespace ui {

class DatasetGroup;

// A table cursor as the windows see it: the current record with its fields, the browse, edit and
// insert states, the events windows hang their rules on, master-detail links and a frozen
// display. Widgets and grids bind to a Dataset, never to a cursor.
//
// States (stateChanged on each change):
//   Inactive --open()--> Browse --close()--> Inactive
//   Browse --edit(), or setValue() with auto-edit on--> Edit
//   Browse --insert()--> Insert
//   Edit/Insert --post()--> Browse     (BeforePost, write, stateChanged, afterPost)
//   Edit/Insert --cancel()--> Browse   (changes discarded, lock released)
//   Edit/Insert --moving to another record--> Browse (posted when modified, else cancelled)
// A post or edit refused by the engine throws and leaves the state as it was.
//
// Event order of a post: aboutToPost (widgets write pending text), BeforePost (may throw to
// refuse, see AbortAction), the engine's post, flush when flushOnPost, stateChanged(Browse),
// afterPost, then every other dataset of the same DatasetGroup re-reads its record.
//
// Display signals (recordChanged, fieldChanged, rowsChanged, dataChanged) are held back while
// the display is frozen (disableControls) and sent once when it thaws; afterScroll, afterPost
// and stateChanged are always sent.
//
// Ownership: a Dataset owns its cursor. Create datasets as members (or children) of the object
// that owns the table cursors; a master must outlive its details or clear the link first.
class Dataset : public QObject
{
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Edit, Insert };
    struct Bookmark
    {
        dbf::RecNo recNo = 0;
        bool isValid() const { return recNo != 0; }
        bool operator==(const Bookmark &) const = default;
    };

    explicit Dataset(const QString &name = {}, QObject *parent = nullptr);
    ~Dataset() override;

    void open(std::unique_ptr<DataCursor> cursor);
    void close(); // cancels a pending edit
    bool isOpen() const { return m_cursor != nullptr; }
    DataCursor *cursor() const { return m_cursor.get(); }

    State state() const { return m_state; }
    bool isEditing() const { return m_state == State::Edit || m_state == State::Insert; }
    bool isModified() const { return m_modified; }
    // Whether typing into a field starts an edit on its own. On by default.
    bool autoEdit() const { return m_autoEdit; }
    void setAutoEdit(bool on) { m_autoEdit = on; }
    // Whether a field may be changed now: in edit or insert, or in browse with auto-edit on and
    // a record to edit.
    bool canModify() const;
    // After each post, write the table's pending changes to disk at once. On by default.
    void setFlushOnPost(bool on) { m_flushOnPost = on; }

    // Fields, by name without regard to case.
    const dbf::RecordLayout &layout() const;
    int fieldIndex(const QString &name) const; // -1 when there is none
    const dbf::FieldDef &field(int index) const;
    QVariant value(int field) const;
    QVariant value(const QString &field) const;
    QString text(const QString &field) const; // value as text ("" for null)
    // Starts an edit first when in browse (auto-edit or not: a program that sets a field wants
    // it changed); throws std::logic_error when no record can be edited. Sends fieldChanged and
    // dataChanged.
    void setValue(int field, const QVariant &value);
    void setValue(const QString &field, const QVariant &value);

    // Rows in the current order and range.
    std::size_t recordCount() const;
    bool isEmpty() const { return recordCount() == 0; }
    void first();
    void last();
    void next(); // at the last row sets eof() and stays
    void prior(); // at the first row sets bof() and stays
    bool eof() const { return m_eof; }
    bool bof() const { return m_bof; }
    Bookmark bookmark() const;
    bool gotoBookmark(const Bookmark &bookmark); // false (and no move) when it is gone

    // Locks and re-reads the record; when another program changed it since it was shown, tells
    // the views (recordChanged, dataChanged). On an empty dataset this inserts. When another
    // program deleted the record meanwhile, it throws with the dataset on a neighbouring record
    // (afterScroll sent).
    void edit();
    void insert();
    void post();
    void cancel();
    void remove(); // cancels a pending edit first; an insert is just cancelled
    // Reads the current record again and tells every view; no effect on a pending edit.
    void refresh();

    void setTag(const QString &tag); // goes to the first row
    QString tag() const;
    void setRange(const QVariantList &low, const QVariantList &high); // goes to the first row
    void cancelRange();
    // The range set by setRange (a detail's range follows its master and is not reported here).
    bool hasRange() const { return m_hasRange; }
    const QVariantList &rangeLow() const { return m_rangeLow; }
    const QVariantList &rangeHigh() const { return m_rangeHigh; }
    bool findKey(const QVariantList &key); // moves only on a hit
    void findNearest(const QVariantList &key);

    // Master-detail: this dataset shows only the rows whose current tag's key equals the
    // master's fields (in order), following the master as it moves or its fields change.
    // Before the master moves, its details post (or drop) their pending edits, so a refused
    // post stops the master's move with the detail's error. A detail that cannot follow later
    // (its pending edit refused when the master's key field changed) stays where it is and
    // sends followFailed.
    void setMaster(Dataset *master, const QStringList &masterFields);
    void clearMaster();
    Dataset *master() const { return m_master; }
    const QStringList &masterFields() const { return m_masterFields; }

    void disableControls();
    void enableControls();
    bool controlsDisabled() const { return m_disableCount > 0; }

    void setGroup(DatasetGroup *group);

    // Handlers. BeforePost may refuse the post by throwing (AbortAction refuses silently).
    // OnNewRecord runs after insert() has made the blank record, to set its defaults.
    std::function<void(Dataset &)> BeforePost;
    std::function<void(Dataset &)> OnNewRecord;

signals:
    void stateChanged(ui::Dataset::State state);
    void aboutToPost();
    void afterPost();
    void afterCancel();
    void afterScroll();
    // A field changed (name) or the whole current record changed (empty name).
    void dataChanged(const QString &field);
    void recordChanged();
    void fieldChanged(int field);
    void rowsChanged();
    void followFailed(const QString &message);

private:
    friend class DatasetGroup;
    void setState(State state);
    void checkBrowseMode(); // post or cancel a pending edit before moving
    void requireOpen() const;
    void scrolled(bool rowsToo = false);
    void sendRecordChanged(bool rowsToo);
    void followMaster();
    void peerPosted();

    QString m_name;
    std::unique_ptr<DataCursor> m_cursor;
    State m_state = State::Inactive;
    bool m_autoEdit = true;
    bool m_modified = false;
    bool m_flushOnPost = true;
    bool m_eof = false;
    bool m_bof = false;
    int m_disableCount = 0;
    bool m_pendingRecord = false;
    bool m_pendingRows = false;
    bool m_hasRange = false;
    QVariantList m_rangeLow;
    QVariantList m_rangeHigh;
    QPointer<Dataset> m_master;
    QStringList m_masterFields;
    QList<QMetaObject::Connection> m_masterConnections;
    QList<QPointer<Dataset>> m_details;
    QPointer<DatasetGroup> m_group;
};

// An exception that refuses an operation (for example in BeforePost) without a message.
class AbortAction : public std::exception
{
public:
    const char *what() const noexcept override { return ""; }
};

// Datasets whose cursors read the same tables. After a post or delete on one, every other one
// on the same table re-reads its current record and tells its views. Owned by whoever owns the
// datasets (the shared data context).
class DatasetGroup : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    void add(Dataset *dataset) { dataset->setGroup(this); }
    void changed(Dataset &source);

private:
    friend class Dataset;
    QList<QPointer<Dataset>> m_members;
};

} // namespace ui
