#pragma once

#include <QCursor>
#include <QGuiApplication>

namespace kelvory {

// The wait cursor over the program's windows while a handler runs statements, which
// block the window until they return (or wait for a lock up to the time-out).
class BusyCursor
{
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;

    // While it lives, a message box shown under a BusyCursor gets the ordinary cursor:
    // it waits for the operator, not for the database.
    class Pause
    {
    public:
        Pause() : m_paused(QGuiApplication::overrideCursor() != nullptr)
        {
            if (m_paused)
                QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
        }
        ~Pause()
        {
            if (m_paused)
                QGuiApplication::restoreOverrideCursor();
        }
        Pause(const Pause &) = delete;
        Pause &operator=(const Pause &) = delete;

    private:
        bool m_paused;
    };
};

} // namespace kelvory
