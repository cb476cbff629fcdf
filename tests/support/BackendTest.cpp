#include "BackendTest.h"

#include "roster/RosterForm.h"

namespace kelvory::test {

BackendTest::BackendTest(Backend backend, QString operatorName, Database database)
    : m_backend(backend), m_operatorName(std::move(operatorName)), m_database(database)
{
}

void BackendTest::init()
{
    h = std::make_unique<Harness>(m_backend);
    if (m_database == Database::Prepared)
        h->prepareDatabase();
    if (!m_operatorName.isEmpty())
        h->writeUserFile(m_operatorName);
}

void BackendTest::cleanup()
{
    h.reset();
}

grid::FlexGrid &BackendTest::grid() const
{
    return *form().Grid1;
}

void BackendTest::closeTheJournal() const
{
    if (m_backend == Backend::Sqlite) {
        h->exec(QStringLiteral("create trigger refuse_journal before insert on changeHistory "
                               "begin select raise(abort, 'the journal is closed'); end"));
        return;
    }
    h->exec(QStringLiteral("create or replace function refuse_journal() returns trigger language plpgsql as "
                           "$$ begin raise exception 'the journal is closed'; end $$"));
    h->exec(QStringLiteral("create trigger refuse_journal before insert on changeHistory "
                           "for each row execute function refuse_journal()"));
}

} // namespace kelvory::test
