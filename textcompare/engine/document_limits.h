#pragma once

#include <QString>

#include <functional>
#include <utility>

namespace textcompare {

// How far reading a document file may take it, so that a small file made to expand (a
// part that inflates a thousandfold, one string repeated in every cell, millions of empty
// paragraphs) is refused before it takes the machine's memory or minutes of work. Each
// bound grows with the file's size from a floor that ordinary documents stay far below,
// up to a ceiling that holds for any file.
struct DocumentLimits
{
    // The bounds for a file of `fileBytes` bytes.
    static DocumentLimits forSize(qint64 fileBytes);
    // The bounds for the file at `path` as it is now (its size, 0 when it cannot be
    // examined).
    static DocumentLimits forFile(const QString &path);

    qint64 partBytes = 0;  // the inflated bytes of one part of a package
    qint64 characters = 0; // the characters of the text and of the strings held to make it
    qint64 lines = 0;      // the lines of the text
    qint64 cells = 0;      // the cells of a worksheet
    // The elements of a part open at once: the reader holds each, with its name, while it
    // is open, and each takes no more than three bytes of the part.
    qint64 depth = 0;
    // The attributes of one element, and the namespace declarations in force at once: the
    // XML reader checks each attribute against the element's others and looks each prefix
    // up among the declarations, so that a few thousand of either make one tag minutes of
    // work that no unit of work counts.
    qint64 attributes = 0;
    qint64 namespaces = 0;
    // The units of work of the reading: an XML element, 4 KiB of a part inflated whole, a
    // field or a character that a table's layout handles; each byte that the XML reader
    // takes in counts two, and every four of its checks of an attribute against another
    // or lookups of a prefix one. Tables nested in tables, rows of cells of unequal
    // height, a long comment and tags of a few hundred attributes each make work that no
    // other bound counts.
    qint64 work = 0;
};

// What a string or list held by a reader costs besides its characters, counted as
// characters: its place in its list and its allocation. Millions of empty ones are no
// cheaper than their text.
inline constexpr qint64 HeldStringCost = 16;

// Counts what a reader holds and makes against DocumentLimits, and lets the reader be
// stopped: the work counted asks `keepGoing` (when given) every few units whether to go
// on. Once a bound is passed, or keepGoing said no, every count fails and refusal() tells
// why.
class ExpansionBudget
{
public:
    explicit ExpansionBudget(const DocumentLimits &limits, std::function<bool()> keepGoing = {})
        : m_limits(limits)
        , m_keepGoing(std::move(keepGoing))
    {
    }

    const DocumentLimits &limits() const { return m_limits; }

    // Counts `characters` more characters in `lines` more lines; false when the totals
    // pass a bound.
    bool take(qint64 characters, qint64 lines = 0);
    // Gives back what was counted for text that is no longer held.
    void release(qint64 characters, qint64 lines);
    // Counts one more cell; false when the cells pass their bound.
    bool takeCell();
    // Counts `units` more units of work; false when the work passes its bound or the
    // reader is to stop.
    bool takeWork(qint64 units = 1)
    {
        m_work += units;
        m_unitsUntilAsking -= units;
        return m_unitsUntilAsking > 0 && m_work <= m_limits.work ? !exceeded() : checkWork();
    }
    // Counts an element that opens; false when the elements open at once pass their bound.
    bool enterElement()
    {
        return ++m_depth <= m_limits.depth || refuse(QStringLiteral("要素の深さ"), m_limits.depth);
    }
    // Counts an element that ends.
    void leaveElement() { --m_depth; }
    // Whether an element with `attributes` attributes, or `namespaces` namespace
    // declarations in force, stays within the bound; false refuses the reading.
    bool allowAttributes(qint64 attributes)
    {
        return attributes <= m_limits.attributes || refuse(QStringLiteral("要素の属性数"), m_limits.attributes);
    }
    bool allowNamespaces(qint64 namespaces)
    {
        return namespaces <= m_limits.namespaces || refuse(QStringLiteral("名前空間の宣言数"), m_limits.namespaces);
    }
    // The elements open now; a part that begins starts from none.
    qint64 depth() const { return m_depth; }
    void startPart() { m_depth = 0; }
    // Whether `characters` more characters would stay within the bound.
    bool fits(qint64 characters) const { return !exceeded() && m_characters + characters <= m_limits.characters; }
    // Fails the budget for text that would not fit (fits() was false).
    void refuseCharacters() { refuse(QStringLiteral("文字数"), m_limits.characters); }

    bool exceeded() const { return !m_refusal.isEmpty(); }
    // "大きすぎます (文字数が 8388608 を超えます)", "中止しました", or empty while no bound
    // was passed.
    QString refusal() const { return m_refusal; }

private:
    bool refuse(const QString &what, qint64 bound);
    bool checkWork();

    DocumentLimits m_limits;
    qint64 m_characters = 0;
    qint64 m_lines = 0;
    qint64 m_cells = 0;
    qint64 m_work = 0;
    qint64 m_depth = 0;
    qint64 m_unitsUntilAsking = 0;
    std::function<bool()> m_keepGoing;
    QString m_refusal;
};

} // namespace textcompare
