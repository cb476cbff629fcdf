#include "database/ResultSet.h"

#include "database/DateText.h"
#include "database/OdbcRowReader.h"
#include "database/SqliteRowReader.h"

#include <QSqlRecord>

namespace kelvory::database {

ResultSet::ResultSet(QSqlQuery query, Backend backend, bool utf8) : m_query(std::move(query))
{
    m_fieldCount = m_query.record().count();
    m_texts.resize(static_cast<std::size_t>(m_fieldCount));
    m_lastDates.resize(static_cast<std::size_t>(m_fieldCount));
    m_lastDays.resize(static_cast<std::size_t>(m_fieldCount));
    if (backend == Backend::Odbc)
        m_odbc = OdbcRowReader::over(m_query, m_fieldCount, utf8);
    else if (backend == Backend::Embedded)
        m_sqlite = SqliteRowReader::over(m_query, m_fieldCount, utf8);
    advance();
}

ResultSet::~ResultSet() = default;
ResultSet::ResultSet(ResultSet &&) noexcept = default;

ResultSet &ResultSet::operator=(ResultSet &&other) noexcept
{
    if (this == &other)
        return *this;
    // A reader unbinds its statement as it goes, so it goes before the query that owns the statement.
    m_odbc.reset();
    m_sqlite.reset();
    m_query = std::move(other.m_query);
    m_fieldCount = other.m_fieldCount;
    m_eof = other.m_eof;
    m_sqlite = std::move(other.m_sqlite);
    m_odbc = std::move(other.m_odbc);
    m_texts = std::move(other.m_texts);
    m_lastDates = std::move(other.m_lastDates);
    m_lastDays = std::move(other.m_lastDays);
    m_failure = std::move(other.m_failure);
    return *this;
}

bool ResultSet::next()
{
    if (m_sqlite && m_sqlite->reading())
        return m_sqlite->step(m_failure);
    if (m_odbc)
        return m_odbc->fetch(m_failure);
    const bool row = m_query.next();
    if (row && m_sqlite)
        m_sqlite->takeOver();
    return row;
}

QVariant ResultSet::field(int position) const
{
    const bool direct = m_odbc || (m_sqlite && m_sqlite->reading());
    if (!direct)
        return m_query.value(position);
    if (position < 0 || position >= m_fieldCount || m_eof)
        return QVariant();
    return m_odbc ? m_odbc->value(position) : m_sqlite->value(position);
}

QStringView ResultSet::text(int position)
{
    if (position < 0 || position >= m_fieldCount || m_eof)
        return {};
    if (m_sqlite && m_sqlite->reading()) {
        if (const std::optional<QStringView> direct = m_sqlite->text(position))
            return *direct;
    } else if (m_odbc) {
        if (const std::optional<QStringView> direct = m_odbc->text(position))
            return *direct;
        // A journal arrives sorted by its date: a date is put into words once per run of
        // equal dates, and told from the last one without a QVariant for every row.
        if (const std::optional<QDate> day = m_odbc->date(position)) {
            QString &made = m_texts[static_cast<std::size_t>(position)];
            std::optional<qint64> &lastDay = m_lastDays[static_cast<std::size_t>(position)];
            if (lastDay != day->toJulianDay()) {
                made = day->isValid() ? shortDateText(*day) : QString();
                lastDay = day->toJulianDay();
            }
            return made;
        }
    }
    const QVariant value = field(position);
    QString &made = m_texts[static_cast<std::size_t>(position)];
    // A journal arrives sorted by its date: a date is put into words once per run of equal dates.
    const bool date = (value.typeId() == QMetaType::QDate || value.typeId() == QMetaType::QDateTime) && !value.isNull();
    QVariant &lastDate = m_lastDates[static_cast<std::size_t>(position)];
    if (date && value == lastDate)
        return made;
    lastDate = date ? value : QVariant();
    made = displayText(value);
    return made;
}

void ResultSet::heldRow(HeldText *fields, int count)
{
    const bool held = m_sqlite && m_sqlite->reading() && !m_eof && count <= m_fieldCount;
    if (held)
        m_sqlite->heldRow(fields, count);
    for (int k = 0; k < count; ++k) {
        if (held && fields[k].length >= 0)
            continue;
        const QStringView made = text(k);
        fields[k] = {made.utf16(), static_cast<qint32>(made.size()), false};
    }
}

bool ResultSet::holdsText(int position) const
{
    if (position < 0 || position >= m_fieldCount || m_eof)
        return false;
    if (m_sqlite && m_sqlite->reading())
        return m_sqlite->holdsText(position);
    if (m_odbc)
        return m_odbc->holdsText(position);
    const QVariant value = field(position);
    return value.typeId() == QMetaType::QString && !value.isNull();
}

void ResultSet::advance()
{
    m_failure.reset();
    m_eof = !next();
    const bool direct = m_odbc || (m_sqlite && m_sqlite->reading());
    if (m_eof && !direct && m_query.lastError().isValid())
        m_failure = failureFrom(m_query.lastError());
}

void ResultSet::moveNext()
{
    advance();
    raiseFailure();
}

bool ResultSet::tryMoveNext()
{
    advance();
    return !m_eof;
}

} // namespace kelvory::database
