#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace platform::testing {

// A test server written in Python beside this file (`script`, e.g. "ftp_test_server.py"),
// run by Debian's interpreter on 127.0.0.1 with a port of its own choice. The script
// prints "READY <port>" once it listens, then any lines the tests read. start() launches
// it and waits until it listens and answers; stop() and the destructor end it.
class ScriptProcess
{
public:
    ScriptProcess(QString script, QStringList arguments);
    virtual ~ScriptProcess();
    ScriptProcess(const ScriptProcess &) = delete;
    ScriptProcess &operator=(const ScriptProcess &) = delete;

    // True once the process listens and answers(); on failure the reason is reported to
    // GoogleTest and the process is ended.
    bool start();
    // Ends the process (its connections break); harmless when it is not running.
    void stop();

    quint16 port() const { return m_port; }
    // "127.0.0.1:<port>".
    QString hostAndPort() const;

protected:
    // Whether the server listening on `port` answers as it should; true by default.
    virtual bool answers(quint16 port) const;
    // The lines the process printed after its READY line, in order.
    QStringList outputLines();
    // Adds arguments for the next start().
    void addArguments(const QStringList &arguments) { m_arguments += arguments; }

private:
    void readOutput();

    QString m_script;
    QStringList m_arguments;
    QProcess m_process;
    QByteArray m_pending;
    QStringList m_lines;
    quint16 m_port = 0;
};

} // namespace platform::testing
