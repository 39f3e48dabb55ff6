#include "ui/engine_cursor.h"

#include <QDate>
#include <QStringList>

#include "dbf/errors.h"
#include "dbf/field_codec.h"

namespace ui {

namespace {

std::string_view fieldView(const dbf::FieldDef &field, const std::uint8_t *bytes)
{
    return { reinterpret_cast<const char *>(bytes), field.width };
}

template <typename T> int sign(const T &a, const T &b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

// The records of a table in record order whose key lies in a range. Reads the table in blocks;
// the Cursor reading a record it is given skips the deleted ones itself.
class RangeOrder : public dbf::RecordOrder
{
public:
    using Accept = std::function<bool(const std::uint8_t *image)>;
    RangeOrder(const dbf::Table &table, Accept accept)
        : m_table(&table)
        , m_accept(std::move(accept))
    {
    }

    dbf::RecNo first() override
    {
        const dbf::RecNo found = scanForward(1);
        m_current = found;
        return found;
    }
    dbf::RecNo last() override
    {
        const dbf::RecNo found = scanBackward(m_table->recordCount());
        m_current = found;
        return found;
    }
    dbf::RecNo next() override { return keep(scanForward(m_current + 1)); }
    dbf::RecNo prior() override { return m_current <= 1 ? 0 : keep(scanBackward(m_current - 1)); }
    dbf::RecNo current() const override { return m_current; }
    bool seek(dbf::RecNo recNo, const std::uint8_t *image) override
    {
        if (recNo == 0 || !m_table->hasRecord(recNo) || !m_accept(image))
            return false;
        m_current = recNo;
        return true;
    }
    std::unique_ptr<dbf::RecordOrder> clone() const override
    {
        auto copy = std::make_unique<RangeOrder>(*m_table, m_accept);
        copy->m_current = m_current;
        return copy;
    }

private:
    static constexpr std::size_t kBlock = 256;

    dbf::RecNo keep(dbf::RecNo found)
    {
        if (found != 0)
            m_current = found;
        return found;
    }
    dbf::RecNo scanForward(dbf::RecNo from)
    {
        const std::size_t length = m_table->layout().recordLength();
        std::vector<std::uint8_t> block(length * kBlock);
        for (dbf::RecNo at = from;;) {
            const std::size_t got = m_table->readRecords(at, kBlock, block.data());
            for (std::size_t i = 0; i < got; ++i)
                if (m_accept(block.data() + i * length))
                    return at + dbf::RecNo(i);
            if (got < kBlock)
                return 0;
            at += dbf::RecNo(kBlock);
        }
    }
    dbf::RecNo scanBackward(dbf::RecNo from)
    {
        std::vector<std::uint8_t> image(m_table->layout().recordLength());
        for (dbf::RecNo at = from; at >= 1; --at)
            if (m_table->readRecord(at, image.data()) && m_accept(image.data()))
                return at;
        return 0;
    }

    const dbf::Table *m_table;
    Accept m_accept;
    dbf::RecNo m_current = 0;
};

QByteArray toStored(const QString &text)
{
    return text.toLatin1();
}

} // namespace

EngineCursor::EngineCursor(std::shared_ptr<dbf::Table> table)
    : m_table(std::move(table))
    , m_cursor(std::make_unique<dbf::Cursor>(*m_table))
{
}

std::unique_ptr<EngineCursor> EngineCursor::open(
    const std::filesystem::path &directory, std::string_view name)
{
    return std::make_unique<EngineCursor>(
        std::shared_ptr<dbf::Table>(dbf::Table::open(directory, name, dbf::OpenMode::Shared)));
}

EngineCursor::~EngineCursor()
{
    // The cursor must go before the table it borrows.
    m_cursor.reset();
}

void EngineCursor::defineTag(const QString &tag, const QStringList &fields)
{
    m_tags[tag.toUpper()] = fields;
}

const dbf::RecordLayout &EngineCursor::layout() const
{
    return m_table->layout();
}

std::string EngineCursor::tableIdentity() const
{
    std::error_code ec;
    const auto canonical = std::filesystem::weakly_canonical(m_table->path(), ec);
    return ec ? m_table->path().string() : canonical.string();
}

std::size_t EngineCursor::recordCount()
{
    return m_cursor->recordCount();
}

bool EngineCursor::first()
{
    return m_cursor->first();
}

bool EngineCursor::last()
{
    return m_cursor->last();
}

bool EngineCursor::next()
{
    return m_cursor->next();
}

bool EngineCursor::prior()
{
    return m_cursor->prior();
}

dbf::RecNo EngineCursor::recNo() const
{
    return m_cursor->recNo();
}

bool EngineCursor::gotoRecNo(dbf::RecNo recNo)
{
    return m_cursor->gotoRecNo(recNo);
}

void EngineCursor::reread()
{
    m_cursor->reread();
}

QVariant EngineCursor::value(std::size_t field) const
{
    const dbf::FieldDef &f = layout().field(field);
    switch (f.type) {
    case dbf::FieldType::Character:
        return QString::fromLatin1(m_cursor->text(field));
    case dbf::FieldType::Memo:
        return QString::fromLatin1(m_cursor->memo(field));
    case dbf::FieldType::Numeric:
    case dbf::FieldType::Float:
        if (m_cursor->isBlank(field))
            return {};
        return m_cursor->number(field);
    case dbf::FieldType::Date: {
        const dbf::Date d = m_cursor->date(field);
        return d.isNull() ? QDate() : QDate(d.year(), d.month(), d.day());
    }
    case dbf::FieldType::Logical:
        if (m_cursor->isBlank(field))
            return {};
        return m_cursor->logical(field);
    }
    return {};
}

void EngineCursor::setValue(std::size_t field, const QVariant &value)
{
    const dbf::FieldDef &f = layout().field(field);
    if (!value.isValid() || value.isNull()) {
        m_cursor->clear(field);
        return;
    }
    switch (f.type) {
    case dbf::FieldType::Character: {
        const QByteArray stored = toStored(value.toString());
        m_cursor->setText(field, std::string_view(stored.constData(), std::size_t(stored.size())));
        return;
    }
    case dbf::FieldType::Memo: {
        const QByteArray stored = toStored(value.toString());
        m_cursor->setMemo(field, std::string_view(stored.constData(), std::size_t(stored.size())));
        return;
    }
    case dbf::FieldType::Numeric:
    case dbf::FieldType::Float: {
        if (value.typeId() == QMetaType::QString && value.toString().trimmed().isEmpty()) {
            m_cursor->clear(field);
            return;
        }
        bool ok = false;
        const double number = value.toDouble(&ok);
        if (!ok)
            throw dbf::Error("Field " + f.name + " needs a number, not \""
                + value.toString().toStdString() + "\".");
        m_cursor->setNumber(field, number);
        return;
    }
    case dbf::FieldType::Date: {
        const QDate d = value.toDate();
        if (!d.isValid())
            m_cursor->clear(field);
        else
            m_cursor->setDate(field, dbf::Date(d.year(), d.month(), d.day()));
        return;
    }
    case dbf::FieldType::Logical: {
        bool on = value.toBool();
        if (value.typeId() == QMetaType::QString) {
            const QString s = value.toString().trimmed().toUpper();
            on = s == QStringLiteral("Y") || s == QStringLiteral("T");
        }
        m_cursor->setLogical(field, on);
        return;
    }
    }
}

void EngineCursor::edit()
{
    m_cursor->edit();
}

void EngineCursor::append()
{
    m_cursor->append();
}

void EngineCursor::post()
{
    m_cursor->post();
}

void EngineCursor::cancel()
{
    m_cursor->cancel();
}

void EngineCursor::remove()
{
    m_cursor->remove();
}

void EngineCursor::flush()
{
    m_cursor->flush();
}

std::vector<std::size_t> EngineCursor::keyFieldsOf(const QString &tag) const
{
    QStringList names;
    if (auto it = m_tags.find(tag.toUpper()); it != m_tags.end())
        names = it->second;
    else
        names = tag.split(u'+', Qt::SkipEmptyParts);
    std::vector<std::size_t> fields;
    for (const QString &name : names) {
        const auto i = layout().indexOf(name.trimmed().toStdString());
        if (!i)
            throw dbf::Unsupported(
                "Tag " + tag.toStdString() + " is not an order of table " + m_table->name() + ".");
        fields.push_back(*i);
    }
    return fields;
}

bool EngineCursor::tableHasTag(const QString &tag) const
{
    for (const dbf::TagInfo &info : m_table->tags())
        if (QString::fromStdString(info.name).compare(tag, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

std::string EngineCursor::indexKey(const QVariantList &values)
{
    std::vector<std::string> parts;
    for (const QVariant &v : values) {
        switch (v.typeId()) {
        case QMetaType::QDate: {
            const QDate d = v.toDate();
            parts.push_back(d.isValid() ? d.toString(QStringLiteral("yyyyMMdd")).toStdString()
                                        : std::string(8, ' '));
            break;
        }
        case QMetaType::Double:
        case QMetaType::Float:
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
        case QMetaType::ULongLong:
            parts.push_back(QString::number(v.toDouble(), 'f', 6).toStdString());
            break;
        default: {
            const QByteArray stored = toStored(v.toString());
            parts.emplace_back(stored.constData(), std::size_t(stored.size()));
        }
        }
    }
    return m_cursor->makeKey(parts);
}

void EngineCursor::setTag(const QString &tag)
{
    const bool indexTag = !tag.isEmpty() && tableHasTag(tag);
    std::vector<std::size_t> fields;
    if (!tag.isEmpty() && !indexTag)
        fields = keyFieldsOf(tag);
    m_cursor->setTag(indexTag ? tag.toStdString() : std::string());
    m_tag = tag;
    m_indexTag = indexTag;
    m_hasIndexRange = false;
    m_keyFields = std::move(fields);
    m_low.clear();
    m_high.clear();
    applyOrder();
}

void EngineCursor::setRange(const QVariantList &low, const QVariantList &high)
{
    if (m_indexTag) {
        m_lowKey = indexKey(low);
        m_highKey = indexKey(high);
        m_cursor->setRange(m_lowKey, m_highKey);
        m_hasIndexRange = true;
        return;
    }
    if (m_keyFields.empty())
        throw dbf::Unsupported("A range needs an index order of table " + m_table->name() + ".");
    m_low = low;
    m_high = high;
    applyOrder();
}

void EngineCursor::cancelRange()
{
    if (m_indexTag) {
        m_cursor->cancelRange();
        m_hasIndexRange = false;
        return;
    }
    m_low.clear();
    m_high.clear();
    applyOrder();
}

void EngineCursor::applyOrder()
{
    if (m_indexTag) {
        if (m_hasIndexRange)
            m_cursor->setRange(m_lowKey, m_highKey);
        return;
    }
    if (m_low.isEmpty() && m_high.isEmpty()) {
        m_cursor->setOrder(nullptr);
        return;
    }
    const QVariantList low = m_low, high = m_high;
    m_cursor->setOrder(
        std::make_unique<RangeOrder>(*m_table, [this, low, high](const std::uint8_t *image) {
            return compareKey(image, low) >= 0 && compareKey(image, high) <= 0;
        }));
}

int EngineCursor::compareField(
    const dbf::FieldDef &field, const std::uint8_t *bytes, const QVariant &key)
{
    namespace codec = dbf::codec;
    const std::string_view raw = fieldView(field, bytes);
    switch (field.type) {
    case dbf::FieldType::Character:
    case dbf::FieldType::Memo: {
        const std::string_view stored = codec::trimRight(raw);
        QString k = key.toString();
        while (k.endsWith(u' '))
            k.chop(1);
        const int c = QString::fromLatin1(stored.data(), qsizetype(stored.size()))
                          .compare(k, Qt::CaseSensitive);
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    case dbf::FieldType::Numeric:
    case dbf::FieldType::Float:
        return sign(codec::parseNumber(raw).value_or(0.0), key.toDouble());
    case dbf::FieldType::Date: {
        const auto d = dbf::Date::fromText(raw);
        const std::int64_t stored = d && !d->isNull() ? d->julianDay() : 0;
        const QDate k = key.toDate();
        return sign(stored, k.isValid() ? std::int64_t(k.toJulianDay()) : std::int64_t(0));
    }
    case dbf::FieldType::Logical:
        return sign(int(codec::parseLogical(raw).value_or(false)), int(key.toBool()));
    }
    return 0;
}

int EngineCursor::compareKey(const std::uint8_t *image, const QVariantList &key) const
{
    for (std::size_t i = 0; i < m_keyFields.size() && i < std::size_t(key.size()); ++i) {
        const std::size_t f = m_keyFields[i];
        if (int c = compareField(layout().field(f), image + layout().offset(f), key[qsizetype(i)]))
            return c;
    }
    return 0;
}

bool EngineCursor::findKey(const QVariantList &key)
{
    if (m_indexTag)
        return m_cursor->findKey(indexKey(key));
    if (m_keyFields.empty())
        throw dbf::Unsupported(
            "Finding a key needs an index order of table " + m_table->name() + ".");
    const dbf::RecNo at = m_cursor->recNo();
    for (bool on = m_cursor->first(); on; on = m_cursor->next())
        if (compareKey(m_cursor->image(), key) == 0)
            return true;
    if (at == 0 || !m_cursor->gotoRecNo(at))
        m_cursor->first();
    return false;
}

void EngineCursor::findNearest(const QVariantList &key)
{
    if (m_indexTag) {
        m_cursor->findNearest(indexKey(key));
        return;
    }
    if (m_keyFields.empty())
        throw dbf::Unsupported(
            "Finding a key needs an index order of table " + m_table->name() + ".");
    for (bool on = m_cursor->first(); on; on = m_cursor->next())
        if (compareKey(m_cursor->image(), key) >= 0)
            return;
    m_cursor->last();
}

std::unique_ptr<DataCursor> EngineCursor::reader() const
{
    auto r = std::make_unique<EngineCursor>(m_table);
    r->m_tags = m_tags;
    r->m_tag = m_tag;
    r->m_indexTag = m_indexTag;
    r->m_lowKey = m_lowKey;
    r->m_highKey = m_highKey;
    r->m_hasIndexRange = m_hasIndexRange;
    if (m_indexTag)
        r->m_cursor->setTag(m_tag.toStdString());
    r->m_keyFields = m_keyFields;
    r->m_low = m_low;
    r->m_high = m_high;
    r->applyOrder();
    r->first();
    return r;
}

} // namespace ui
