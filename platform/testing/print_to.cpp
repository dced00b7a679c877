#include "platform/testing/print_to.h"

#include <ostream>

QT_BEGIN_NAMESPACE

void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

void PrintTo(const QByteArray &bytes, std::ostream *out)
{
    *out << "bytes[" << bytes.size() << "] " << bytes.toHex(' ').toStdString();
}

void PrintTo(const QStringList &list, std::ostream *out)
{
    *out << '{';
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (i)
            *out << ", ";
        PrintTo(list[i], out);
    }
    *out << '}';
}

QT_END_NAMESPACE
