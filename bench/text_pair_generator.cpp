#include "bench/text_pair_generator.h"

#include <QDir>
#include <QFile>

namespace bench {

namespace {

bool writeLines(const QString &path, const QList<QByteArray> &lines)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    for (const QByteArray &line : lines) {
        if (file.write(line + '\n') != line.size() + 1)
            return false;
    }
    return file.flush();
}

const TextPairScenario Scenarios[] = {
    {"million_lines_1pct_changed", [](LineMaker &maker) { return maker.codeLines(1000000, 0); },
     [](LineMaker &maker, const QList<QByteArray> &first) { return maker.edited(first, 0.01); }},
    {"unrelated_100k_lines", [](LineMaker &maker) { return maker.codeLines(100000, 0); },
     [](LineMaker &maker, const QList<QByteArray> &) { return maker.codeLines(100000, 0); }},
    {"200k_lines_third_blank_or_brace", [](LineMaker &maker) { return maker.codeLines(200000, 1.0 / 3); },
     [](LineMaker &maker, const QList<QByteArray> &first) { return maker.edited(first, 0.01); }},
};

} // namespace

QByteArray LineMaker::codeLine()
{
    static const char *const words[] = {"int",   "return", "if",   "else", "for",  "while", "value",
                                        "count", "index",  "name", "data", "node", "size",  "item",
                                        "list",  "map",    "text", "line", "buf",  "result"};
    QByteArray line(4 * pick(4), ' ');
    const int wordCount = 2 + pick(7);
    for (int k = 0; k < wordCount; ++k) {
        if (k)
            line += ' ';
        line += words[pick(int(std::size(words)))];
        line += QByteArray::number(pick(1000));
    }
    return line + ';';
}

QByteArray LineMaker::sparseLine(double blankOrBrace)
{
    if (chance(blankOrBrace))
        return pick(2) ? QByteArray() : QByteArrayLiteral("}");
    return codeLine();
}

QList<QByteArray> LineMaker::codeLines(int count, double blankOrBrace)
{
    QList<QByteArray> lines;
    lines.reserve(count);
    for (int k = 0; k < count; ++k)
        lines.append(sparseLine(blankOrBrace));
    return lines;
}

QList<QByteArray> LineMaker::edited(const QList<QByteArray> &lines, double share)
{
    QList<QByteArray> result;
    result.reserve(lines.size() + lines.size() / 50);
    for (const QByteArray &line : lines) {
        if (!chance(share)) {
            result.append(line);
            continue;
        }
        switch (pick(3)) {
        case 0:
            result.append(codeLine());
            break;
        case 1:
            break;
        default:
            result.append(line);
            result.append(codeLine());
            break;
        }
    }
    return result;
}

std::span<const TextPairScenario> TextPairScenarios()
{
    return Scenarios;
}

std::array<QString, 2> EnsureTextPair(const QString &folder, const TextPairScenario &scenario)
{
    const QDir dir(folder);
    const std::array<QString, 2> paths{dir.filePath(QString(scenario.name) + "_1.txt"),
                                       dir.filePath(QString(scenario.name) + "_2.txt")};
    if (!QFile::exists(paths[1])) {
        LineMaker maker(20240611);
        const QList<QByteArray> first = scenario.makeFirst(maker);
        if (!writeLines(paths[0], first) || !writeLines(paths[1], scenario.makeSecond(maker, first)))
            return {};
    }
    return paths;
}

} // namespace bench
