#include "common/command_line.h"
#include "common/startup_check.h"
#include "platform/testing/print_to.h"
#include "platform/testing/temporary_folder.h"
#include "textcompare/engine/viewer_command_line.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>

#include <functional>
#include <optional>

#include <gtest/gtest.h>

namespace {

using platform::testing::TemporaryFolder;

// Longest sentence a page may hold, in words.
constexpr int SentenceWordsMax = 60;

// The README and the user's guide, as paths from the top of the source tree.
QStringList userPages()
{
    QStringList pages{QStringLiteral("README.md")};
    const QDir guide(platform::testing::sourceFolder() + QStringLiteral("/docs"));
    for (const QString &name : guide.entryList({QStringLiteral("*.md")}, QDir::Files, QDir::Name))
        pages.append(QStringLiteral("docs/") + name);
    return pages;
}

// A page's text without its HTML comments (notes for maintainers, which readers never see).
QString withoutComments(QString text)
{
    static const QRegularExpression comment(QStringLiteral("<!--.*?-->"),
                                            QRegularExpression::DotMatchesEverythingOption);
    return text.remove(comment);
}

// The anchor that a heading gets on the usual Markdown hosts: lower-cased, without
// punctuation, blanks turned into "-".
QString headingAnchor(QString heading)
{
    static const QRegularExpression markup(QStringLiteral("[`*_]|\\[([^\\]]*)\\]\\([^)]*\\)"));
    static const QRegularExpression punctuation(QStringLiteral("[^\\p{L}\\p{M}\\p{N}\\p{Pc} -]"));
    heading.replace(markup, QStringLiteral("\\1"));
    return heading.trimmed().toLower().remove(punctuation).replace(u' ', u'-');
}

// A page split as a reader meets it.
struct PageParts
{
    // Lines of shell code blocks, and code spans that start with one of our commands.
    QStringList commandLines;
    // Headings, paragraphs, list items and table cells, with code spans as one word each.
    QStringList prose;
    // Targets of links and images outside code.
    QStringList links;
    QSet<QString> anchors;
};

const QStringList &commandWords()
{
    static const QStringList words{
        QStringLiteral("./run.sh"),           QStringLiteral("./test.sh"),         QStringLiteral("./setup.sh"),
        QStringLiteral("bench/run.sh"),       QStringLiteral("build/bin/Dirgleam"), QStringLiteral("build/bin/Linquell"),
        QStringLiteral("build/bin/Zelquin"),
    };
    return words;
}

bool startsWithCommand(const QString &code)
{
    return commandWords().contains(code.section(u' ', 0, 0, QString::SectionSkipEmpty));
}

// Takes the links and the command spans out of one unit of prose and leaves its words.
QString readProse(QString text, PageParts &parts)
{
    static const QRegularExpression codeSpan(QStringLiteral("`([^`]*)`"));
    for (const QRegularExpressionMatch &span : codeSpan.globalMatch(text))
        if (startsWithCommand(span.captured(1)))
            parts.commandLines.append(span.captured(1));
    text.replace(codeSpan, QStringLiteral("code"));
    static const QRegularExpression link(QStringLiteral("(!?)\\[([^\\]]*)\\]\\(([^)\\s]*)\\)"));
    for (const QRegularExpressionMatch &found : link.globalMatch(text))
        parts.links.append(found.captured(3));
    return text.replace(link, QStringLiteral("\\2"));
}

PageParts splitPage(const QString &page)
{
    static const QRegularExpression heading(QStringLiteral("^#{1,6}\\s+(.*)$"));
    static const QRegularExpression listItem(QStringLiteral("^\\s*([-*+]|\\d+\\.)\\s+(.*)$"));
    static const QRegularExpression tableRule(QStringLiteral("^\\|[-|: ]+\\|$"));
    static const QStringList shellFences{QString(), QStringLiteral("sh"), QStringLiteral("bash"),
                                         QStringLiteral("console")};
    PageParts parts;
    QHash<QString, int> anchorUses;
    QString unit;
    auto endUnit = [&] {
        if (!unit.trimmed().isEmpty())
            parts.prose.append(readProse(unit, parts));
        unit.clear();
    };
    std::optional<QString> fence;
    bool previousBlank = true;
    bool inCodeBlock = false;
    for (const QString &line : withoutComments(page).split(u'\n')) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(QStringLiteral("```"))) {
            endUnit();
            fence = fence ? std::nullopt : std::optional<QString>(trimmed.mid(3).trimmed());
            continue;
        }
        if (fence) {
            if (shellFences.contains(*fence) && !trimmed.isEmpty())
                parts.commandLines.append(trimmed);
            continue;
        }
        const bool blank = trimmed.isEmpty();
        // An indented block after a blank line is code, as long as it goes on.
        inCodeBlock = !blank && line.startsWith(QStringLiteral("    ")) && (previousBlank || inCodeBlock);
        previousBlank = blank;
        if (inCodeBlock) {
            endUnit();
            parts.commandLines.append(trimmed);
            continue;
        }
        if (blank) {
            endUnit();
        } else if (const QRegularExpressionMatch title = heading.match(line); title.hasMatch()) {
            endUnit();
            parts.prose.append(readProse(title.captured(1), parts));
            const QString anchor = headingAnchor(title.captured(1));
            const int earlier = anchorUses[anchor]++;
            parts.anchors.insert(earlier == 0 ? anchor : anchor + u'-' + QString::number(earlier));
        } else if (trimmed.startsWith(u'|')) {
            endUnit();
            if (!tableRule.match(trimmed).hasMatch())
                for (const QString &cell : trimmed.split(u'|', Qt::SkipEmptyParts))
                    parts.prose.append(readProse(cell, parts));
        } else if (const QRegularExpressionMatch item = listItem.match(line); item.hasMatch()) {
            endUnit();
            unit = item.captured(2);
        } else {
            unit += u' ' + trimmed;
        }
    }
    endUnit();
    return parts;
}

// Splits a command line as a shell does: blanks separate words, quotes hold them
// together, and "#" after a blank starts a comment.
QStringList shellWords(const QString &line)
{
    QStringList words;
    QString word;
    bool inWord = false;
    QChar quote;
    for (const QChar c : line) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            else
                word += c;
        } else if (c == u'"' || c == u'\'') {
            quote = c;
            inWord = true;
        } else if (c.isSpace()) {
            if (inWord)
                words.append(word);
            word.clear();
            inWord = false;
        } else if (c == u'#' && !inWord) {
            break;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.append(word);
    return words;
}

// What a program's command-line reader made of its arguments, as one text, so that two
// readings can be compared.
QString dirgleamReading(const QStringList &arguments)
{
    const common::StartupRequest request = common::ParseCommandLine(arguments);
    QStringList parts{request.passwordFile, QString::number(request.batchMode), QString::number(request.batchKind),
                      request.batchOutputPath, request.batchCsvSeparator};
    for (const QVariant &slot : request.options)
        parts.append(slot.isNull() ? QStringLiteral("null") : slot.toString());
    return parts.join(u'|');
}

QString linquellReading(const QStringList &arguments)
{
    const textcompare::ViewerCommandLine line = textcompare::ParseViewerCommandLine(arguments);
    return QStringList{QString::number(line.noSame), QString::number(line.nomi), QString::number(line.saiteki),
                       line.codes[0], line.codes[1], QString::number(int(line.outputKind)), line.outputPath,
                       QString::number(line.batchMode), line.csvSeparator, line.passwordFile}
        .join(u'|');
}

// One of the two comparison programs as this check drives it.
struct Comparer
{
    QString name;
    std::function<QString(const QStringList &)> reading;
    std::function<bool(const QStringList &)> unattended;
    // Writes the two sides of a run into `folder` and gives their paths.
    std::function<std::array<QString, 2>(const TemporaryFolder &folder)> sides;
};

const Comparer &dirgleam()
{
    static const Comparer comparer{
        QStringLiteral("Dirgleam"), dirgleamReading,
        [](const QStringList &arguments) { return common::ParseCommandLine(arguments).batchMode; },
        [](const TemporaryFolder &folder) {
            folder.writeFile(QStringLiteral("old/same.txt"), "same\n");
            folder.writeFile(QStringLiteral("new/same.txt"), "same\n");
            folder.writeFile(QStringLiteral("old/changed.txt"), "one\n");
            folder.writeFile(QStringLiteral("new/changed.txt"), "two lines\nof text\n");
            folder.writeFile(QStringLiteral("new/added.txt"), "added\n");
            return std::array<QString, 2>{folder.filePath(QStringLiteral("old")), folder.filePath(QStringLiteral("new"))};
        }};
    return comparer;
}

const Comparer &linquell()
{
    static const Comparer comparer{
        QStringLiteral("Linquell"), linquellReading,
        [](const QStringList &arguments) { return textcompare::ParseViewerCommandLine(arguments).batchMode; },
        [](const TemporaryFolder &folder) {
            return std::array<QString, 2>{folder.writeFile(QStringLiteral("old.txt"), "same\none\nend\n"),
                                          folder.writeFile(QStringLiteral("new.txt"), "same\ntwo\nend\n")};
        }};
    return comparer;
}

// Runs an unattended comparison as the page writes it, on sides of its own and with its
// report in a folder of its own; the problem found, if any.
std::optional<QString> runUnattended(const Comparer &comparer, const QStringList &arguments)
{
    TemporaryFolder folder;
    const std::array<QString, 2> sides = comparer.sides(folder);
    QStringList run = arguments;
    for (int side = 0; side < 2 && side < run.size(); ++side)
        if (!run[side].isEmpty())
            run[side] = sides[size_t(side)];
    // The output switch names the report; the last one given wins.
    QString report;
    for (qsizetype index = 2; index < run.size(); ++index) {
        if (!comparer.unattended({QStringLiteral("a"), QStringLiteral("b"), run[index]}))
            continue;
        const QString named = QFileInfo(run[index].mid(2)).fileName();
        report = named.isEmpty() ? QString() : folder.filePath(QStringLiteral("reports/") + named);
        run[index] = run[index].left(2) + report;
    }
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DIRGLEAM_SUITE_FOLDER"), folder.makeFolder(QStringLiteral("settings")));
    for (const char *display : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(display));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(folder.path());
    process.start(platform::testing::builtProgramsFolder() + u'/' + comparer.name, run);
    if (!process.waitForFinished(120000))
        return QStringLiteral("the unattended run did not end");
    const QString errors = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return QStringLiteral("the unattended run ended with status %1: %2").arg(process.exitCode()).arg(errors);
    if (report.isEmpty() || QFileInfo(report).size() == 0)
        return QStringLiteral("the unattended run wrote no report");
    return std::nullopt;
}

// The problem of a command line of Dirgleam or Linquell, if any: every switch is one the
// program's reader takes (it changes the reading, alone or in an unattended run), the
// start is one the program does not refuse, and an unattended run does its work.
std::optional<QString> comparerProblem(const Comparer &comparer, const QStringList &arguments)
{
    common::StartupShape shape{comparer.name, {}, comparer.unattended(arguments), true};
    for (int side = 0; side < 2 && side < arguments.size(); ++side)
        shape.paths[size_t(side)] = arguments[side];
    if (const std::optional<QString> refusal = common::StartupRefusal(shape))
        return comparer.name + QStringLiteral(" refuses to start: ") + *refusal;
    const QStringList paths{QStringLiteral("a"), QStringLiteral("b")};
    const QStringList unattended{QStringLiteral("-Hx.html")};
    for (qsizetype index = 2; index < arguments.size(); ++index) {
        const QString &word = arguments[index];
        if (comparer.reading(paths + QStringList{word}) == comparer.reading(paths)
            && comparer.reading(paths + QStringList{word} + unattended) == comparer.reading(paths + unattended))
            return QStringLiteral("%1 does not take the switch %2").arg(comparer.name, word);
    }
    if (comparer.unattended(arguments))
        return runUnattended(comparer, arguments);
    return std::nullopt;
}

std::optional<QString> commandProblem(const QString &line)
{
    const QStringList words = shellWords(line);
    if (words.isEmpty())
        return std::nullopt;
    const QString command = words.first();
    const QStringList arguments = words.mid(1);
    if (command == u"build/bin/Dirgleam" || command == u"./run.sh")
        return comparerProblem(dirgleam(), arguments);
    if (command == u"build/bin/Linquell")
        return comparerProblem(linquell(), arguments);
    if (command == u"build/bin/Zelquin")
        return arguments.isEmpty() ? std::nullopt : std::optional<QString>(QStringLiteral("Zelquin takes no arguments"));
    if (commandWords().contains(command)) {
        if (!QFileInfo(platform::testing::sourceFolder() + u'/' + command).isExecutable())
            return command + QStringLiteral(" is no script of the tree");
        return arguments.isEmpty() ? std::nullopt : std::optional<QString>(command + QStringLiteral(" takes no arguments"));
    }
    return QStringLiteral("not a command of the programs or the tree");
}

// The problem of the link `target` on the page at `pagePath`, whose own headings give
// `ownAnchors`, if any.
std::optional<QString> linkProblem(const QString &pagePath, const QSet<QString> &ownAnchors, const QString &target)
{
    static const QRegularExpression scheme(QStringLiteral("^[a-z][a-z0-9+.-]*:"));
    if (scheme.match(target).hasMatch())
        return std::nullopt;
    const QString file = target.section(u'#', 0, 0);
    const QString anchor = target.section(u'#', 1);
    if (file.isEmpty())
        return ownAnchors.contains(anchor) ? std::nullopt : std::optional<QString>(QStringLiteral("no such heading"));
    const QString path = QFileInfo(pagePath).dir().filePath(file);
    if (!QFileInfo::exists(path))
        return QStringLiteral("no such file");
    if (anchor.isEmpty())
        return std::nullopt;
    QFile linked(path);
    if (!path.endsWith(QStringLiteral(".md")) || !linked.open(QIODevice::ReadOnly))
        return QStringLiteral("an anchor into a page that has no headings");
    if (!splitPage(QString::fromUtf8(linked.readAll())).anchors.contains(anchor))
        return QStringLiteral("no such heading");
    return std::nullopt;
}

// Everything a reader of the page `text` at `pagePath` would trip over.
QStringList pageProblems(const QString &pagePath, const QString &text)
{
    const PageParts parts = splitPage(text);
    QStringList problems;
    for (const QString &target : parts.links)
        if (const std::optional<QString> problem = linkProblem(pagePath, parts.anchors, target))
            problems.append(QStringLiteral("link %1: %2").arg(target, *problem));
    static const QRegularExpression sentenceEnd(QStringLiteral("(?<=[.!?])\\s+|。"));
    for (const QString &unit : parts.prose) {
        for (const QString &sentence : unit.split(sentenceEnd)) {
            const qsizetype words = sentence.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts).size();
            if (words > SentenceWordsMax)
                problems.append(QStringLiteral("a sentence of %1 words: %2").arg(words).arg(sentence.trimmed()));
        }
    }
    for (const QString &line : parts.commandLines)
        if (const std::optional<QString> problem = commandProblem(line))
            problems.append(QStringLiteral("command line %1: %2").arg(line, *problem));
    return problems;
}

TEST(UserGuide, EveryPageHasLinksThatResolveShortSentencesAndCommandLinesThatWork)
{
    const QStringList pages = userPages();
    ASSERT_TRUE(pages.contains(QStringLiteral("docs/dirgleam.md"))) << "the guide lies in docs/";
    for (const QString &page : pages) {
        SCOPED_TRACE(page.toStdString());
        const QString path = platform::testing::sourceFolder() + u'/' + page;
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QStringList problems = pageProblems(path, QString::fromUtf8(file.readAll()));
        EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
    }
}

TEST(UserGuide, ChecksCatchWhatAReaderWouldTripOver)
{
    const QString longSentence = QStringLiteral("word ").repeated(SentenceWordsMax) + QStringLiteral("end.");
    const struct
    {
        const char *name;
        QString page;
        const char *problem;
    } cases[] = {
        {"a missing page", "See [the guide](docs/nowhere.md).", "link docs/nowhere.md: no such file"},
        {"a missing heading", "# Top\n\nSee [below](#bottom).", "link #bottom: no such heading"},
        {"a heading of another page", "See [it](docs/shared.md#no-such-part).", "no such heading"},
        {"a long sentence", longSentence, "a sentence of 61 words"},
        {"a long list item", "- " + longSentence, "a sentence of 61 words"},
        {"no command", "Run this:\n\n    ls -l\n", "not a command"},
        {"a switch no program takes", "```sh\nbuild/bin/Dirgleam a b -Q\n```", "does not take the switch -Q"},
        {"a switch in a code span", "Run `build/bin/Linquell a b -Z` now.", "does not take the switch -Z"},
        {"paths after the output switch", "    build/bin/Dirgleam -Hx.html a b\n", "refuses to start"},
        {"a code name no reader knows", "    build/bin/Linquell a.txt b.txt -M1FOO -Hx.html\n", "ended with status 1"},
        {"an output switch without a file", "    build/bin/Dirgleam a b -E\n", "ended with status 1"},
        {"arguments to Zelquin", "    build/bin/Zelquin now\n", "takes no arguments"},
        {"arguments to the tests", "    ./test.sh -R Foo\n", "takes no arguments"},
    };
    const QString path = platform::testing::sourceFolder() + QStringLiteral("/snippet.md");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QStringList problems = pageProblems(path, c.page);
        ASSERT_EQ(problems.size(), 1) << problems.join(u'\n').toStdString();
        EXPECT_TRUE(problems.first().contains(QString::fromUtf8(c.problem))) << problems.first().toStdString();
    }
    EXPECT_EQ(pageProblems(path, "# Top\n\nSee [top](#top), [the trash](docs/shared.md#the-trash) and the "
                                 "[screenshot](docs/dirgleam.png).\n\n"
                                 "    build/bin/Linquell old.txt new.txt -N -K -M1SJIS -M2EUC -STAB -C/tmp/d.csv\n"
                                 "    ./run.sh /path/old /path/new  # a comment\n"),
              QStringList());
}

} // namespace
