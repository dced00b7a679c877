#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <iosfwd>

// Lets GoogleTest print Qt values readably in failure messages.
QT_BEGIN_NAMESPACE
void PrintTo(const QString &text, std::ostream *out);
void PrintTo(const QByteArray &bytes, std::ostream *out);
void PrintTo(const QStringList &list, std::ostream *out);
QT_END_NAMESPACE
