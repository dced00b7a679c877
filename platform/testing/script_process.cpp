#include "platform/testing/script_process.h"

#include "platform/testing/temporary_folder.h"

#include <QDeadlineTimer>

#include <gtest/gtest.h>

namespace platform::testing {

namespace {

// Debian's interpreter, which sees the Debian packages (pyftpdlib).
const QString Interpreter = QStringLiteral("/usr/bin/python3");

constexpr int StartSeconds = 20;

} // namespace

ScriptProcess::ScriptProcess(QString script, QStringList arguments)
    : m_script(std::move(script)), m_arguments(std::move(arguments))
{
}

ScriptProcess::~ScriptProcess()
{
    stop();
}

bool ScriptProcess::start()
{
    stop();
    m_pending.clear();
    m_lines.clear();
    m_port = 0;
    const QString script = sourceFolder() + QStringLiteral("/platform/testing/") + m_script;
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(Interpreter, QStringList{script} + m_arguments);
    if (!m_process.waitForStarted(StartSeconds * 1000)) {
        ADD_FAILURE() << "cannot start " << Interpreter.toStdString() << ": " << m_process.errorString().toStdString();
        return false;
    }
    const QDeadlineTimer deadline(StartSeconds * 1000);
    while (m_port == 0 && !deadline.hasExpired() && m_process.state() == QProcess::Running) {
        m_process.waitForReadyRead(int(deadline.remainingTime()));
        readOutput();
        if (!m_lines.isEmpty() && m_lines.first().startsWith(QStringLiteral("READY "))) {
            m_port = quint16(m_lines.takeFirst().mid(6).toUInt());
            break;
        }
    }
    if (m_port == 0 || !answers(m_port)) {
        ADD_FAILURE() << "the test server " << m_script.toStdString()
                      << " did not answer: " << m_arguments.join(u' ').toStdString();
        stop();
        return false;
    }
    return true;
}

void ScriptProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString ScriptProcess::hostAndPort() const
{
    return QStringLiteral("127.0.0.1:") + QString::number(m_port);
}

bool ScriptProcess::answers(quint16) const
{
    return true;
}

QStringList ScriptProcess::outputLines()
{
    while (m_process.state() == QProcess::Running && m_process.waitForReadyRead(200))
        readOutput();
    readOutput();
    return m_lines;
}

void ScriptProcess::readOutput()
{
    m_pending += m_process.readAllStandardOutput();
    qsizetype end = 0;
    while ((end = m_pending.indexOf('\n')) >= 0) {
        m_lines.append(QString::fromUtf8(m_pending.left(end)));
        m_pending.remove(0, end + 1);
    }
}

} // namespace platform::testing
