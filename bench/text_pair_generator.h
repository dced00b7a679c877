#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>
#include <random>
#include <span>

namespace bench {

// Makes lines like those of source code, from a fixed seed.
class LineMaker
{
public:
    explicit LineMaker(quint64 seed)
        : m_random(seed)
    {
    }

    int pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(m_random); }
    bool chance(double probability) { return std::uniform_real_distribution<double>(0, 1)(m_random) < probability; }

    // An indented line of two to eight identifiers.
    QByteArray codeLine();
    // A line that is blank or "}" with the given probability, else a code line.
    QByteArray sparseLine(double blankOrBrace);
    // `count` lines, blank or "}" with the given probability.
    QList<QByteArray> codeLines(int count, double blankOrBrace);
    // A copy with about `share` of its lines replaced, deleted or followed by a new line.
    QList<QByteArray> edited(const QList<QByteArray> &lines, double share);

private:
    std::mt19937_64 m_random;
};

// Two texts to compare, made line by line.
struct TextPairScenario
{
    const char *name;
    QList<QByteArray> (*makeFirst)(LineMaker &);
    QList<QByteArray> (*makeSecond)(LineMaker &, const QList<QByteArray> &);
};

// A million lines with 1% changed, 100,000 lines against 100,000 unrelated ones, and
// 200,000 lines of which a third are blank or "}" with 1% changed.
std::span<const TextPairScenario> TextPairScenarios();

// Writes the scenario's two files, each line ended by LF, into `folder` unless they are
// there already; returns their paths, empty on a failure.
std::array<QString, 2> EnsureTextPair(const QString &folder, const TextPairScenario &scenario);

} // namespace bench
