#pragma once

#include "platform/process_starter.h"

#include <QList>
#include <QStringList>

namespace platform::testing {

// A process starter for tests: records each start instead of starting anything. It
// installs itself on construction and restores the real starter when destroyed.
class RecordingProcessStarter final : public ProcessStarter
{
public:
    struct Start
    {
        QString program;
        QStringList arguments;
    };

    RecordingProcessStarter();
    ~RecordingProcessStarter() override;

    bool startDetached(const QString &program, const QStringList &arguments) override;

    const QList<Start> &starts() const { return m_starts; }
    // What the next starts report; true unless set otherwise.
    void setSucceeds(bool succeeds) { m_succeeds = succeeds; }

private:
    QList<Start> m_starts;
    bool m_succeeds = true;
};

} // namespace platform::testing
