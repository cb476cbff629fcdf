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

private:
    QString m_number;
    QString m_description;
    QByteArray m_what;
};

} // namespace kelvory
