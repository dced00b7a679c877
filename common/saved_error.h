#pragma once

#include <QString>

#include <exception>

namespace common {

// The record of a failure: its code, where it was raised, its text, and the help
// reference it names.
struct ErrorRecord
{
    qint32 Number = 0;
    QString Source;
    QString Description;
    QString HelpFile;
    qint32 HelpContext = 0;
};

// A failure in flight. Procedures throw it; handlers catch it, call SaveErr() and report
// it, or pass it on to their caller with RaiseSavedErr().
class Failure : public std::exception
{
public:
    explicit Failure(ErrorRecord record);
    Failure(qint32 number, const QString &source, const QString &description);

    const ErrorRecord &record() const { return m_record; }
    const char *what() const noexcept override { return m_what.constData(); }

private:
    ErrorRecord m_record;
    QByteArray m_what;
};

// Copies the failure being handled into SavedErr(). Call it only inside a catch block:
// a Failure keeps its record; any other exception becomes number 0 with the program
// name as source and its text as description.
void SaveErr();

// Stores number, source and description as SavedErr(): a failure found by a check rather
// than caught in flight.
void SaveErr(qint32 number, const QString &source, const QString &description);

// The last failure captured by SaveErr().
const ErrorRecord &SavedErr();

// Throws a new Failure carrying SavedErr(), so that the caller's handler receives the
// same number, source and text.
[[noreturn]] void RaiseSavedErr();

// "システムエラー : " + procedure + CR LF + the description of SavedErr(): the text of
// every failure report.
QString SystemErrorText(const QString &procedure);

} // namespace common
