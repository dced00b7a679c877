#pragma once

#include <QElapsedTimer>
#include <QString>

namespace foldercompare::listing {

// What long work of the listing needs from the window it runs for: the abort flag, a
// chance for pending window events to run, the caption for progress, and the report of
// failures that do not stop the work. Tests supply their own.
class WorkHost
{
public:
    virtual ~WorkHost() = default;

    // True once the user confirmed an abort; long loops stop at their next check.
    virtual bool abortRequested() const = 0;
    // Lets pending window events run. Called once per entry, record or block; the host
    // may let most calls pass without running the event loop.
    virtual void pumpEvents() = 0;
    // Shows a progress text in the window caption.
    virtual void showProgress(const QString &caption) = 0;
    // Reports a failure that the work passes over: `procedure` failed with `description`.
    virtual void reportFailure(const QString &procedure, const QString &description) = 0;
};

// Lets a caption change at most every 0.3 s.
class CaptionThrottle
{
public:
    // True when the last accepted change is more than 0.3 s ago (or none was made yet).
    bool due()
    {
        if (m_timer.isValid() && m_timer.elapsed() <= 300)
            return false;
        m_timer.start();
        return true;
    }

private:
    QElapsedTimer m_timer;
};

} // namespace foldercompare::listing
