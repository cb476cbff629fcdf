#pragma once

#include "Harness.h"
#include "OperatorDriver.h"

#include <QObject>

#include <memory>

namespace kelvory::grid {
class FlexGrid;
}

namespace kelvory::test {

// The base of a test class that runs the program on one backend (runOnEveryBackend makes
// one per backend): before every test function a fresh Harness, by default on the
// club's empty tables and with User.txt naming the operator, so that start() admits at
// once; after it, the Harness is gone.
class BackendTest : public QObject
{
    Q_OBJECT
public:
    enum class Database { Prepared, NotMade };
    // No operator name writes no User.txt: the first start asks for the name.
    explicit BackendTest(Backend backend = Backend::Sqlite, QString operatorName = QStringLiteral("Dorothy"),
                         Database database = Database::Prepared);

protected Q_SLOTS:
    // QtTest finds these by name in the derived class (a private slot here would run as a
    // test of every derived class). A class that needs more declares its own init() or
    // cleanup() and calls these first.
    void init();
    void cleanup();

protected:
    roster::RosterForm &form() const { return h->form(); }
    grid::FlexGrid &grid() const;
    // Shorthands for this test's window and database.
    QStringList boxes() const { return test::boxes(form()); }
    QStringList column(int col) const { return gridColumn(grid(), col); }
    void clickRow(int row, int col = 0) const { clickGridCell(grid(), row, col); }
    QList<QStringList> members() const { return h->members(); }
    QList<JournalRow> journal() const { return h->journal(); }
    // From here on the database refuses every journal row ("the journal is closed").
    void closeTheJournal() const;

    const Backend m_backend;
    std::unique_ptr<Harness> h;

private:
    const QString m_operatorName;
    const Database m_database;
};

} // namespace kelvory::test
