#include "platform/testing/recording_process_starter.h"

namespace platform::testing {

RecordingProcessStarter::RecordingProcessStarter()
{
    installProcessStarter(this);
}

RecordingProcessStarter::~RecordingProcessStarter()
{
    installProcessStarter(nullptr);
}

bool RecordingProcessStarter::startDetached(const QString &program, const QStringList &arguments)
{
    m_starts.append({program, arguments});
    return m_succeeds;
}

} // namespace platform::testing
