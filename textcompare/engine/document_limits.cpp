#include "textcompare/engine/document_limits.h"

#include <QFileInfo>

#include <algorithm>

namespace textcompare {

namespace {

constexpr qint64 Mi = qint64(1) << 20;
// Units of work between two questions whether to go on: well below a millisecond.
constexpr qint64 UnitsPerQuestion = 256;

// `perByte` times the file's size, within [floor, ceiling].
qint64 scaled(qint64 fileBytes, qint64 perByte, qint64 floor, qint64 ceiling)
{
    const qint64 bytes = std::max<qint64>(fileBytes, 0);
    return bytes > ceiling / perByte ? ceiling : std::clamp(bytes * perByte, floor, ceiling);
}

} // namespace

DocumentLimits DocumentLimits::forSize(qint64 fileBytes)
{
    DocumentLimits limits;
    // An ordinary package inflates ten- to fiftyfold; only made-up data passes 256. XML
    // parts are read with their character data whole in memory, twice its bytes at most.
    limits.partBytes = scaled(fileBytes, 256, 64 * Mi, 512 * Mi);
    // 128 Mi characters are about 60,000 pages of text, 256 MB as UTF-16.
    limits.characters = scaled(fileBytes, 64, 8 * Mi, 128 * Mi);
    limits.lines = scaled(fileBytes, 8, 1 * Mi, 8 * Mi);
    limits.cells = scaled(fileBytes, 64, 1 * Mi, 64 * Mi);
    // No document nests a thousand levels; a million open elements hold some 200 MB.
    limits.depth = 1 * Mi;
    // Office and LibreOffice write a few dozen of either at most; 256 of both keep a tag
    // within a few times the work of an ordinary one.
    limits.attributes = 256;
    limits.namespaces = 256;
    // An ordinary document takes some 30 units per byte of its file. 16 Mi units of the
    // dearest kind (lines handed up through nested tables) take about half a second.
    limits.work = scaled(fileBytes, 256, 16 * Mi, 256 * Mi);
    return limits;
}

DocumentLimits DocumentLimits::forFile(const QString &path)
{
    return forSize(QFileInfo(path).size());
}

bool ExpansionBudget::refuse(const QString &what, qint64 bound)
{
    if (m_refusal.isEmpty())
        m_refusal = QStringLiteral("大きすぎます (%1が %2 を超えます)").arg(what).arg(bound);
    return false;
}

bool ExpansionBudget::take(qint64 characters, qint64 lines)
{
    if (exceeded())
        return false;
    m_characters += characters;
    m_lines += lines;
    if (m_lines > m_limits.lines)
        return refuse(QStringLiteral("行数"), m_limits.lines);
    if (m_characters > m_limits.characters)
        return refuse(QStringLiteral("文字数"), m_limits.characters);
    return true;
}

void ExpansionBudget::release(qint64 characters, qint64 lines)
{
    m_characters -= characters;
    m_lines -= lines;
}

bool ExpansionBudget::checkWork()
{
    if (exceeded())
        return false;
    if (m_work > m_limits.work)
        return refuse(QStringLiteral("処理量"), m_limits.work);
    m_unitsUntilAsking = UnitsPerQuestion;
    if (m_keepGoing && !m_keepGoing()) {
        m_refusal = QStringLiteral("中止しました");
        return false;
    }
    return true;
}

bool ExpansionBudget::takeCell()
{
    if (exceeded())
        return false;
    if (++m_cells > m_limits.cells)
        return refuse(QStringLiteral("セル数"), m_limits.cells);
    return true;
}

} // namespace textcompare
