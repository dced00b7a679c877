#include "common/saved_error.h"

#include <QCoreApplication>

#include <new>

namespace common {

namespace {

ErrorRecord &savedRecord()
{
    static ErrorRecord record;
    return record;
}

} // namespace

Failure::Failure(ErrorRecord record)
    : m_record(std::move(record))
    , m_what(m_record.Description.toUtf8())
{
}

Failure::Failure(qint32 number, const QString &source, const QString &description)
    : Failure(ErrorRecord{number, source, description, {}, 0})
{
}

void SaveErr()
{
    ErrorRecord &saved = savedRecord();
    try {
        throw;
    } catch (const Failure &failure) {
        saved = failure.record();
    } catch (const std::bad_alloc &) {
        saved = ErrorRecord{7, QCoreApplication::applicationName(), QStringLiteral("メモリが不足しています。"), {}, 0};
    } catch (const std::exception &exception) {
        saved = ErrorRecord{0, QCoreApplication::applicationName(), QString::fromUtf8(exception.what()), {}, 0};
    } catch (...) {
        saved = ErrorRecord{0, QCoreApplication::applicationName(), QStringLiteral("不明なエラー"), {}, 0};
    }
}

void SaveErr(qint32 number, const QString &source, const QString &description)
{
    savedRecord() = ErrorRecord{number, source, description, {}, 0};
}

const ErrorRecord &SavedErr()
{
    return savedRecord();
}

void RaiseSavedErr()
{
    throw Failure(savedRecord());
}

QString SystemErrorText(const QString &procedure)
{
    return QStringLiteral("システムエラー : ") + procedure + QStringLiteral("\r\n") + savedRecord().Description;
}

} // namespace common
