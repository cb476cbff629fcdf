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

} // namespace kelvory::test
