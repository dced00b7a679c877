#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

namespace foldercompare::listing {

// True when `pattern` matches the relative path `path` (folders end with "/"), without
// regard to letter case. "*" stands for any run of characters, none included; no other
// character is special. A pattern whose part after its last "*" is "." matches a path
// whose last element (after its last "/") is non-empty and holds no ".": "*." selects
// files without an extension. A pattern without "*" must equal the whole path; an empty
// pattern matches nothing.
bool MatchTargetPattern(QStringView pattern, QStringView path);

// Decides which relative paths take part in a comparison, from the subfolder option and
// the include and exclude pattern texts (comma separated; the pieces are used as they
// stand, blanks included).
class TargetFilter
{
public:
    TargetFilter(const QString &includeText, const QString &excludeText, bool listSubfolders);

    // An empty text gives no patterns.
    static QStringList SplitPatterns(const QString &text);

    // False for a path below the top folder while subfolders are not listed, for a path
    // that an exclude pattern matches, and, when include patterns are given, for a path
    // that none of them matches; otherwise true.
    bool CheckTarget(QStringView path) const;

    // MatchTargetPattern for one pattern.
    static bool Matches(QStringView pattern, QStringView path);

private:
    struct Pattern
    {
        QStringList pieces;    // lower-cased pieces between the "*"s
        bool wildcard = false; // the pattern holds a "*"
    };
    static Pattern compile(const QString &pattern);
    static bool matches(const Pattern &pattern, QStringView loweredPath);

    QList<Pattern> m_include;
    QList<Pattern> m_exclude;
    bool m_listSubfolders = true;
};

} // namespace foldercompare::listing
