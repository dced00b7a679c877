#include "foldercompare/listing/target_filter.h"

namespace foldercompare::listing {

TargetFilter::Pattern TargetFilter::compile(const QString &pattern)
{
    Pattern compiled;
    if (pattern.isEmpty())
        return compiled;
    compiled.pieces = pattern.toLower().split(u'*');
    compiled.wildcard = compiled.pieces.size() > 1;
    return compiled;
}

bool TargetFilter::matches(const Pattern &pattern, QStringView path)
{
    if (pattern.pieces.isEmpty())
        return false;
    QStringView rest = path;
    const qsizetype last = pattern.pieces.size() - 1;
    for (qsizetype i = 0; i <= last; ++i) {
        const QString &piece = pattern.pieces.at(i);
        if (piece.isEmpty())
            continue;
        if (i == 0) {
            if (!rest.startsWith(piece))
                return false;
            rest = rest.mid(piece.size());
            if (!pattern.wildcard && !rest.isEmpty())
                return false;
        } else if (i < last) {
            const qsizetype found = rest.indexOf(piece);
            if (found < 0)
                return false;
            rest = rest.mid(found + piece.size());
        } else if (piece == u".") {
            const QStringView name = rest.mid(rest.lastIndexOf(u'/') + 1);
            return !name.isEmpty() && !name.contains(u'.');
        } else if (!rest.endsWith(piece)) {
            return false;
        }
    }
    return true;
}

TargetFilter::TargetFilter(const QString &includeText, const QString &excludeText, bool listSubfolders)
    : m_listSubfolders(listSubfolders)
{
    for (const QString &pattern : SplitPatterns(includeText))
        m_include.append(compile(pattern));
    for (const QString &pattern : SplitPatterns(excludeText))
        m_exclude.append(compile(pattern));
}

QStringList TargetFilter::SplitPatterns(const QString &text)
{
    if (text.isEmpty())
        return {};
    return text.split(u',');
}

bool TargetFilter::CheckTarget(QStringView path) const
{
    if (!m_listSubfolders) {
        const qsizetype slash = path.indexOf(u'/');
        if (slash >= 0 && slash < path.size() - 1)
            return false;
    }
    if (m_include.isEmpty() && m_exclude.isEmpty())
        return true;
    const QString lowered = path.toString().toLower();
    for (const Pattern &pattern : m_exclude)
        if (matches(pattern, lowered))
            return false;
    if (m_include.isEmpty())
        return true;
    for (const Pattern &pattern : m_include)
        if (matches(pattern, lowered))
            return true;
    return false;
}

bool TargetFilter::Matches(QStringView pattern, QStringView path)
{
    return matches(compile(pattern.toString()), path.toString().toLower());
}

bool MatchTargetPattern(QStringView pattern, QStringView path)
{
    return TargetFilter::Matches(pattern, path);
}

} // namespace foldercompare::listing
