#include "platform/antiword_text.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>

#include <algorithm>

namespace platform {

bool antiwordText(const QString &path, QString &text, QString &error, int timeoutSeconds,
                  const std::function<bool()> &keepGoing)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // antiword looks for its settings in the home folder and complains without one.
    if (!environment.contains(QStringLiteral("HOME")))
        environment.insert(QStringLiteral("HOME"), QDir::tempPath());
    process.setProcessEnvironment(environment);
    // A name that begins with "-" must not read as an option.
    const QString argument = path.startsWith(u'-') ? QStringLiteral("./") + path : path;
    process.start(QStringLiteral("antiword"), {QStringLiteral("-m"), QStringLiteral("UTF-8.txt"), QStringLiteral("-w"),
                                               QStringLiteral("0"), argument});
    if (!process.waitForStarted()) {
        error = QStringLiteral("antiword を起動できません (") + process.errorString() + u')';
        return false;
    }
    process.closeWriteChannel();
    const QDeadlineTimer deadline(qint64(timeoutSeconds) * 1000);
    for (;;) {
        const bool stopped = keepGoing && !keepGoing();
        if (stopped || deadline.hasExpired()) {
            process.kill();
            process.waitForFinished();
            error = stopped ? QStringLiteral("中止しました")
                            : QStringLiteral("antiword が %1 秒で終わりませんでした").arg(timeoutSeconds);
            return false;
        }
        // keepGoing may let events run, which can see the process end before a wait does.
        if (process.state() == QProcess::NotRunning
            || process.waitForFinished(int(std::min<qint64>(deadline.remainingTime(), keepGoing ? 100 : 1000))))
            break;
    }
    const QString messages = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        error = QStringLiteral("antiword が読めません (")
                + (messages.isEmpty() ? QStringLiteral("exit %1").arg(process.exitCode()) : messages) + u')';
        return false;
    }
    const QByteArray output = process.readAllStandardOutput();
    text = QString::fromUtf8(output);
    return true;
}

} // namespace platform
