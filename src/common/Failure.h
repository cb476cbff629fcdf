#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

namespace kelvory {

// The standard error: a failure that no handler catches. It travels to the one place
// that shows its number and description to the operator and ends the process.
class Failure : public std::exception
{
public:
    Failure(QString number, QString description)
        : m_number(std::move(number)), m_description(std::move(description)), m_what(m_description.toUtf8())
    {
    }

    const QString &number() const { return m_number; }
    const QString &description() const { return m_description; }
    const char *what() const noexcept override { return m_what.constData(); }

    // The database was busy: another session held a lock past the time-out (or chose this
    // one as a deadlock's victim). Nothing the statement did is kept, and the same
    // statement may well succeed a moment later.
    bool busy() const { return m_busy; }
    Failure &markBusy()
    {
        m_busy = true;
        return *this;
    }

private:
    bool m_busy = false;
    QString m_number;
    QString m_description;
    QByteArray m_what;
};

} // namespace kelvory
