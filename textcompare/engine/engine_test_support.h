#pragma once

#include "textcompare/engine/line_prepare.h"

#include <QString>
#include <QStringList>

namespace textcompare::testing {

// The text of `lines`, each ended by LF.
inline QString textOf(const QStringList &lines)
{
    QString text;
    for (const QString &line : lines)
        text += line + u'\n';
    return text;
}

inline LineKeys keysOf(const QStringList &lines1, const QStringList &lines2, bool ignoreBlanks = false)
{
    return PrepareLines(textOf(lines1), textOf(lines2), ignoreBlanks, false).keys;
}

} // namespace textcompare::testing
