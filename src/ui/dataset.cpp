#include "ui/dataset.h"

#include <stdexcept>

#include <QDate>

namespace ui {

Dataset::Dataset(const QString &name, QObject *parent)
    : QObject(parent)
    , m_name(name)
{
    setObjectName(name);
}

Dataset::~Dataset()
{
    if (m_cursor && isEditing()) {
        try {
            m_cursor->cancel();
        } catch (...) {
            // Best effort: the lock goes with the cursor anyway.
        }
    }
}

void Dataset::requireOpen() const
{
    if (!m_cursor)
        throw std::logic_error("Dataset " + m_name.toStdString() + " is not open.");
}

void Dataset::open(std::unique_ptr<DataCursor> cursor)
{
    close();
    m_cursor = std::move(cursor);
    m_cursor->first();
    m_bof = true;
    m_eof = m_cursor->recNo() == 0;
    m_modified = false;
    setState(State::Browse);
    if (m_master)
        followMaster();
    else
        scrolled(true);
}

void Dataset::close()
{
    if (!m_cursor)
        return;
    if (isEditing()) {
        try {
            m_cursor->cancel();
        } catch (...) {
        }
    }
    m_cursor.reset();
    m_hasRange = false;
    m_rangeLow.clear();
    m_rangeHigh.clear();
    m_modified = false;
    setState(State::Inactive);
    sendRecordChanged(true);
}

void Dataset::setState(State state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged(state);
}

bool Dataset::canModify() const
{
    if (!m_cursor)
        return false;
    if (isEditing())
        return true;
    return m_autoEdit && m_cursor->recNo() != 0;
}

const dbf::RecordLayout &Dataset::layout() const
{
    requireOpen();
    return m_cursor->layout();
}

int Dataset::fieldIndex(const QString &name) const
{
    if (!m_cursor)
        return -1;
    auto i = m_cursor->layout().indexOf(name.toStdString());
    return i ? int(*i) : -1;
}

const dbf::FieldDef &Dataset::field(int index) const
{
    return layout().field(std::size_t(index));
}

QVariant Dataset::value(int field) const
{
    if (!m_cursor || field < 0)
        return {};
    if (m_cursor->recNo() == 0 && m_state != State::Insert)
        return {};
    return m_cursor->value(std::size_t(field));
}

QVariant Dataset::value(const QString &field) const
{
    const int i = fieldIndex(field);
    if (i < 0 && m_cursor)
        throw std::invalid_argument("Field " + field.toStdString() + " not found.");
    return value(i);
}

QString Dataset::text(const QString &field) const
{
    const QVariant v = value(field);
    if (v.isNull())
        return {};
    if (v.typeId() == QMetaType::QDate)
        return v.toDate().toString(QStringLiteral("MM/dd/yyyy"));
    return v.toString();
}

void Dataset::setValue(int field, const QVariant &value)
{
    requireOpen();
    if (field < 0 || std::size_t(field) >= m_cursor->layout().fieldCount())
        throw std::invalid_argument("Field number out of range.");
    if (!isEditing())
        edit();
    m_cursor->setValue(std::size_t(field), value);
    m_modified = true;
    if (m_disableCount == 0) {
        emit fieldChanged(field);
        emit dataChanged(QString::fromStdString(m_cursor->layout().field(std::size_t(field)).name));
    } else {
        m_pendingRecord = true;
    }
}

void Dataset::setValue(const QString &field, const QVariant &value)
{
    const int i = fieldIndex(field);
    if (i < 0)
        throw std::invalid_argument("Field " + field.toStdString() + " not found.");
    setValue(i, value);
}

std::size_t Dataset::recordCount() const
{
    return m_cursor ? m_cursor->recordCount() : 0;
}

void Dataset::checkBrowseMode()
{
    requireOpen();
    for (const QPointer<Dataset> &detail : std::as_const(m_details))
        if (detail && detail->m_cursor && detail->isEditing())
            detail->checkBrowseMode();
    if (!isEditing())
        return;
    emit aboutToPost();
    if (m_modified)
        post();
    else
        cancel();
}

void Dataset::first()
{
    checkBrowseMode();
    m_cursor->first();
    m_bof = true;
    m_eof = m_cursor->recNo() == 0;
    scrolled();
}

void Dataset::last()
{
    checkBrowseMode();
    m_cursor->last();
    m_eof = true;
    m_bof = m_cursor->recNo() == 0;
    scrolled();
}

void Dataset::next()
{
    checkBrowseMode();
    const bool moved = m_cursor->next();
    m_eof = !moved;
    m_bof = m_bof && !moved;
    if (moved)
        scrolled();
}

void Dataset::prior()
{
    checkBrowseMode();
    const bool moved = m_cursor->prior();
    m_bof = !moved;
    m_eof = m_eof && !moved;
    if (moved)
        scrolled();
}

Dataset::Bookmark Dataset::bookmark() const
{
    return Bookmark{ m_cursor ? m_cursor->recNo() : 0 };
}

bool Dataset::gotoBookmark(const Bookmark &bookmark)
{
    checkBrowseMode();
    if (!bookmark.isValid())
        return false;
    if (!m_cursor->gotoRecNo(bookmark.recNo))
        return false;
    m_bof = m_eof = false;
    scrolled();
    return true;
}

void Dataset::edit()
{
    requireOpen();
    if (isEditing())
        return;
    if (m_cursor->recNo() == 0) {
        insert();
        return;
    }
    const dbf::RecNo before = m_cursor->recNo();
    const std::size_t fields = m_cursor->layout().fieldCount();
    QVariantList shown;
    for (std::size_t f = 0; f < fields; ++f)
        shown << m_cursor->value(f);
    try {
        m_cursor->edit();
    } catch (...) {
        // A record deleted by another program meanwhile: the cursor stands on a neighbour now.
        if (m_cursor->recNo() != before) {
            m_bof = m_eof = false;
            scrolled(true);
        }
        throw;
    }
    m_modified = false;
    setState(State::Edit);
    // The record was read again under its lock; another program may have changed it since it
    // was shown.
    for (std::size_t f = 0; f < fields; ++f)
        if (m_cursor->value(f) != shown[qsizetype(f)]) {
            sendRecordChanged(false);
            break;
        }
}

void Dataset::insert()
{
    checkBrowseMode();
    m_cursor->append();
    m_modified = false;
    setState(State::Insert);
    if (OnNewRecord)
        OnNewRecord(*this);
    sendRecordChanged(false);
}

void Dataset::post()
{
    requireOpen();
    if (!isEditing())
        return;
    emit aboutToPost();
    if (BeforePost)
        BeforePost(*this);
    m_cursor->post();
    m_modified = false;
    if (m_flushOnPost)
        m_cursor->flush();
    m_bof = m_eof = false;
    setState(State::Browse);
    emit afterPost();
    sendRecordChanged(true);
    if (m_group)
        m_group->changed(*this);
}

void Dataset::cancel()
{
    requireOpen();
    if (!isEditing())
        return;
    m_cursor->cancel();
    m_modified = false;
    setState(State::Browse);
    emit afterCancel();
    sendRecordChanged(false);
}

void Dataset::remove()
{
    requireOpen();
    if (m_state == State::Insert) {
        cancel();
        return;
    }
    if (m_state == State::Edit)
        cancel();
    if (m_cursor->recNo() == 0)
        return;
    m_cursor->remove();
    m_eof = m_cursor->recNo() == 0;
    scrolled(true);
    if (m_group)
        m_group->changed(*this);
}

void Dataset::refresh()
{
    requireOpen();
    if (isEditing())
        return;
    m_cursor->reread();
    sendRecordChanged(true);
}

void Dataset::setTag(const QString &tag)
{
    checkBrowseMode();
    m_cursor->setTag(tag);
    m_cursor->first();
    m_bof = true;
    m_eof = m_cursor->recNo() == 0;
    scrolled(true);
}

QString Dataset::tag() const
{
    return m_cursor ? m_cursor->tag() : QString();
}

void Dataset::setRange(const QVariantList &low, const QVariantList &high)
{
    checkBrowseMode();
    m_cursor->setRange(low, high);
    m_hasRange = true;
    m_rangeLow = low;
    m_rangeHigh = high;
    m_cursor->first();
    m_bof = true;
    m_eof = m_cursor->recNo() == 0;
    scrolled(true);
}

void Dataset::cancelRange()
{
    checkBrowseMode();
    const dbf::RecNo at = m_cursor->recNo();
    m_cursor->cancelRange();
    m_hasRange = false;
    m_rangeLow.clear();
    m_rangeHigh.clear();
    if (at == 0 || !m_cursor->gotoRecNo(at))
        m_cursor->first();
    m_bof = m_eof = false;
    scrolled(true);
}

bool Dataset::findKey(const QVariantList &key)
{
    checkBrowseMode();
    if (!m_cursor->findKey(key))
        return false;
    m_bof = m_eof = false;
    scrolled();
    return true;
}

void Dataset::findNearest(const QVariantList &key)
{
    checkBrowseMode();
    m_cursor->findNearest(key);
    m_bof = false;
    m_eof = m_cursor->recNo() == 0;
    scrolled();
}

void Dataset::scrolled(bool rowsToo)
{
    emit afterScroll();
    sendRecordChanged(rowsToo);
}

void Dataset::sendRecordChanged(bool rowsToo)
{
    if (m_disableCount > 0) {
        m_pendingRecord = true;
        m_pendingRows = m_pendingRows || rowsToo;
        return;
    }
    if (rowsToo)
        emit rowsChanged();
    emit recordChanged();
    emit dataChanged(QString());
}

void Dataset::disableControls()
{
    ++m_disableCount;
}

void Dataset::enableControls()
{
    if (m_disableCount == 0)
        return;
    if (--m_disableCount > 0)
        return;
    const bool record = m_pendingRecord, rows = m_pendingRows;
    m_pendingRecord = m_pendingRows = false;
    if (record || rows)
        sendRecordChanged(rows);
}

void Dataset::setMaster(Dataset *master, const QStringList &masterFields)
{
    clearMaster();
    m_master = master;
    m_masterFields = masterFields;
    if (!master)
        return;
    master->m_details.append(this);
    m_masterConnections << connect(master, &Dataset::afterScroll, this, &Dataset::followMaster)
                        << connect(master, &Dataset::afterPost, this, &Dataset::followMaster)
                        << connect(master, &Dataset::afterCancel, this, &Dataset::followMaster)
                        << connect(
                               master, &Dataset::dataChanged, this, [this](const QString &field) {
                                   for (const QString &f : m_masterFields)
                                       if (f.compare(field, Qt::CaseInsensitive) == 0) {
                                           followMaster();
                                           return;
                                       }
                               });
    if (m_cursor)
        followMaster();
}

void Dataset::clearMaster()
{
    for (const auto &c : m_masterConnections)
        disconnect(c);
    m_masterConnections.clear();
    if (m_master)
        m_master->m_details.removeAll(QPointer<Dataset>(this));
    m_master = nullptr;
    m_masterFields.clear();
}

void Dataset::followMaster()
{
    if (!m_master || !m_cursor)
        return;
    QVariantList key;
    for (const QString &f : m_masterFields)
        key << (m_master->isOpen() ? m_master->value(f) : QVariant());
    // Runs from the master's signals, so nothing may be thrown from here. A detail still being
    // edited (its master's key field changed under it) posts its change first, as the new range
    // would otherwise hide it; when that is refused it stays as it is.
    try {
        checkBrowseMode();
        m_cursor->setRange(key, key);
        m_cursor->first();
    } catch (const std::exception &e) {
        emit followFailed(QString::fromLocal8Bit(e.what()));
        return;
    }
    m_bof = true;
    m_eof = m_cursor->recNo() == 0;
    scrolled(true);
}

void Dataset::setGroup(DatasetGroup *group)
{
    if (m_group)
        m_group->m_members.removeAll(QPointer<Dataset>(this));
    m_group = group;
    if (group)
        group->m_members.append(this);
}

void Dataset::peerPosted()
{
    if (!m_cursor || isEditing())
        return;
    m_cursor->reread();
    sendRecordChanged(true);
}

void DatasetGroup::changed(Dataset &source)
{
    if (!source.cursor())
        return;
    const std::string table = source.cursor()->tableIdentity();
    for (const QPointer<Dataset> &d : m_members)
        if (d && d != &source && d->cursor() && d->cursor()->tableIdentity() == table)
            d->peerPosted();
}

} // namespace ui
