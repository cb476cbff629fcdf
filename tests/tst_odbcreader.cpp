#include "BackendTest.h"
#include "database/DateText.h"
#include "database/OdbcDriver.h"
#include "database/OdbcRowReader.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

using namespace kelvory;
using namespace kelvory::test;
using Fetching = database::OdbcRowReader::Fetching;

Q_DECLARE_METATYPE(Fetching)

namespace {

// Every kind of column the reader binds, each with NULLs, empty texts, texts
// beyond the room bound for them (in one column or two of a row, several in one
// block) and texts that are not ASCII.
const QString kSeed = QStringLiteral("insert into readings select i, "
                                     "case when i % 7 = 0 then null when i % 500 = 499 or i = %1 then "
                                     "repeat('Zoë ', 300) || i else 'M ' || i end, "
                                     "case when i % 5 = 0 then null else 'ü𠮷' || i end, "
                                     "case when i % 11 = 0 then '' when i = %1 then repeat('€', 5000) else 'c' "
                                     "|| i end, "
                                     "case when i % 3 = 0 then null else date '2026-01-01' + i end, "
                                     "case when i % 13 = 0 then null else 9000000000000000000 + i end "
                                     "from generate_series(1, %2) as i");

} // namespace

class TestOdbcReader : public BackendTest
{
    Q_OBJECT
public:
    using BackendTest::BackendTest;

private Q_SLOTS:
    void rowsReadAsQtReadsThem_data();
    void rowsReadAsQtReadsThem();
    void columnsItCannotReadAreLeftToQt_data();
    void columnsItCannotReadAreLeftToQt();
    void textsAreReadNarrowWhenTheyComeInUtf8();

private:
    // The query as Qt's own ODBC driver reads it.
    QList<QVariantList> readByQt(database::Connection &connection, const QString &sql)
    {
        QList<QVariantList> rows;
        QSqlQuery query(connection.database());
        query.setForwardOnly(true);
        if (!query.exec(sql))
            return rows;
        while (query.next()) {
            QVariantList row;
            for (int k = 0; k < query.record().count(); ++k)
                row << query.value(k);
            rows << row;
        }
        return rows;
    }
};

void TestOdbcReader::rowsReadAsQtReadsThem_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("longRow");
    QTest::addColumn<Fetching>("fetching");
    QTest::addColumn<bool>("utf8");
    for (const bool utf8 : {false, true}) {
        const char *texts = utf8 ? ", UTF-8 texts" : ", wide texts";
        QTest::addRow("no rows%s", texts) << 0 << 0 << Fetching::Blocks << utf8;
        QTest::addRow("one row, long%s", texts) << 1 << 1 << Fetching::Blocks << utf8;
        QTest::addRow("one block less one, the last long%s", texts) << 1023 << 1023 << Fetching::Blocks << utf8;
        QTest::addRow("one block, the first long%s", texts) << 1024 << 1 << Fetching::Blocks << utf8;
        QTest::addRow("a block and one, the last long%s", texts) << 1025 << 1025 << Fetching::Blocks << utf8;
        QTest::addRow("two blocks and one, long at the seam%s", texts) << 2049 << 1025 << Fetching::Blocks << utf8;
        QTest::addRow("value by value%s", texts) << 1025 << 1024 << Fetching::ValueByValue << utf8;
    }
}

void TestOdbcReader::rowsReadAsQtReadsThem()
{
    QFETCH(int, rows);
    QFETCH(int, longRow);
    QFETCH(Fetching, fetching);
    QFETCH(bool, utf8);
    if (m_backend != Backend::Postgres)
        QSKIP("the reader reads ODBC statements");
    h->exec(QStringLiteral("create table readings (k integer, a varchar, b "
                           "varchar(8), c text, d date, e bigint)"));
    h->exec(kSeed.arg(longRow).arg(rows));
    const QString sql = QStringLiteral("select * from readings order by k");
    database::Connection connection;
    connection.openServer(postgresSettings());
    const QList<QVariantList> expected = readByQt(connection, sql);
    QCOMPARE(expected.size(), rows);

    QSqlQuery query(connection.database());
    query.setForwardOnly(true);
    QVERIFY(query.exec(sql));
    const std::unique_ptr<database::OdbcRowReader> reader = database::OdbcRowReader::over(query, 6, utf8, fetching);
    QVERIFY(reader);
    QCOMPARE(reader->blockRows() > 1, fetching == Fetching::Blocks);
    std::optional<Failure> failure;
    int read = 0;
    for (; reader->fetch(failure); ++read) {
        QVERIFY(read < rows);
        for (int k = 0; k < 6; ++k) {
            const QVariant want = expected[read][k];
            const QVariant got = reader->value(k);
            const QString where = QStringLiteral("row %1, field %2: %3 %4 %5, expected %6 %7 %8")
                                      .arg(read + 1)
                                      .arg(k)
                                      .arg(got.typeName())
                                      .arg(got.isNull())
                                      .arg(got.toString().left(20), want.typeName())
                                      .arg(want.isNull())
                                      .arg(want.toString().left(20));
            QVERIFY2(got.typeId() == want.typeId() && got.isNull() == want.isNull() && got == want, qPrintable(where));
            QCOMPARE(reader->holdsText(k), want.typeId() == QMetaType::QString && !want.isNull());
            // A date is put into words by the caller; everything else comes as the
            // grid shows it.
            // Asked twice, as a caller may: the first answer must still hold.
            const std::optional<QStringView> text = reader->text(k);
            const std::optional<QStringView> again = reader->text(k);
            QCOMPARE(text.has_value(), want.typeId() != QMetaType::QDate);
            if (text)
                QVERIFY2(text->toString() == database::displayText(want) && *again == *text, qPrintable(where));
        }
    }
    QVERIFY(!failure);
    QCOMPARE(read, rows);
    QVERIFY(!reader->fetch(failure));
}

void TestOdbcReader::columnsItCannotReadAreLeftToQt_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<bool>("read");
    QTest::newRow("varchar(300), wider than its bound room") << "varchar(300)" << true;
    QTest::newRow("char(1)") << "char(1)" << true;
    QTest::newRow("numeric") << "numeric(10,2)" << false;
    QTest::newRow("bytea") << "bytea" << false;
    QTest::newRow("double precision") << "double precision" << false;
    QTest::newRow("timestamp") << "timestamp" << false;
}

void TestOdbcReader::columnsItCannotReadAreLeftToQt()
{
    QFETCH(QString, type);
    QFETCH(bool, read);
    if (m_backend != Backend::Postgres)
        QSKIP("the reader reads ODBC statements");
    h->exec(QStringLiteral("create table readings (k integer, v %1)").arg(type));
    database::Connection connection;
    connection.openServer(postgresSettings());
    QSqlQuery query(connection.database());
    query.setForwardOnly(true);
    QVERIFY(query.exec(QStringLiteral("select * from readings")));
    QCOMPARE(bool(database::OdbcRowReader::over(query, 2, true)), read);
}

void TestOdbcReader::textsAreReadNarrowWhenTheyComeInUtf8()
{
    if (m_backend != Backend::Postgres)
        QSKIP("the reader reads ODBC statements");
    database::Connection connection;
    connection.openServer(postgresSettings());
    // psqlODBC gives narrow texts in UTF-8 on Linux, whatever the locale: the probe must
    // see it, or every read would quietly take the slower wide way.
    QVERIFY(database::odbc::narrowTextsAreUtf8(connection.database()));
}

KELVORY_BACKEND_TEST_MAIN(TestOdbcReader)

#include "tst_odbcreader.moc"
