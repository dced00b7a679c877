#include "platform/profile.h"

#include "platform/atomic_file.h"
#include "platform/byte_text.h"
#include "platform/lock_file.h"
#include "platform/own_file.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QList>

namespace platform {

namespace {

QByteArray trimmedBlanks(QByteArrayView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t'))
        ++begin;
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t'))
        --end;
    return text.sliced(begin, end - begin).toByteArray();
}

bool sameName(const QByteArray &stored, const QString &wanted)
{
    return QString::fromUtf8(stored).compare(wanted.trimmed(), Qt::CaseInsensitive) == 0;
}

// One line of a settings file as the parser sees it.
struct ProfileLine
{
    QByteArray bytes;    // the line without its line end
    bool isSection = false;
    QByteArray name;     // section name, or key name of a key line (empty when neither)
    QByteArray value;    // trimmed value of a key line
};

ProfileLine parseLine(const QByteArray &bytes)
{
    ProfileLine line;
    line.bytes = bytes;
    const QByteArray trimmed = trimmedBlanks(bytes);
    if (trimmed.startsWith('[')) {
        line.isSection = true;
        const qsizetype close = trimmed.indexOf(']');
        line.name = trimmedBlanks(QByteArrayView(trimmed).sliced(1, (close < 0 ? trimmed.size() : close) - 1));
        return line;
    }
    const qsizetype equals = trimmed.indexOf('=');
    if (equals > 0) {
        line.name = trimmedBlanks(QByteArrayView(trimmed).first(equals));
        line.value = trimmedBlanks(QByteArrayView(trimmed).sliced(equals + 1));
    }
    return line;
}

struct ProfileText
{
    QList<ProfileLine> lines;
    QByteArray lineEnd = "\n";
    bool endsWithLineEnd = true;
};

ProfileText parseProfile(const QByteArray &content)
{
    ProfileText text;
    if (content.isEmpty())
        return text;
    const qsizetype firstNewline = content.indexOf('\n');
    if (firstNewline > 0 && content[firstNewline - 1] == '\r')
        text.lineEnd = "\r\n";
    text.endsWithLineEnd = content.endsWith('\n');
    const QList<QByteArray> rawLines = content.split('\n');
    const qsizetype count = text.endsWithLineEnd ? rawLines.size() - 1 : rawLines.size();
    text.lines.reserve(count);
    for (qsizetype i = 0; i < count; ++i) {
        QByteArray raw = rawLines[i];
        if (raw.endsWith('\r'))
            raw.chop(1);
        text.lines.append(parseLine(raw));
    }
    return text;
}

// Index of the first key line for (section, key), or -1.
qsizetype findKey(const ProfileText &text, const QString &section, const QString &key)
{
    bool inSection = false;
    for (qsizetype i = 0; i < text.lines.size(); ++i) {
        const ProfileLine &line = text.lines[i];
        if (line.isSection)
            inSection = sameName(line.name, section);
        else if (inSection && !line.name.isEmpty() && sameName(line.name, key))
            return i;
    }
    return -1;
}

// Index after which a new key of `section` goes: the last non-blank line of the first
// occurrence of the section; -1 when the section is missing.
qsizetype insertionPoint(const ProfileText &text, const QString &section)
{
    qsizetype header = -1;
    for (qsizetype i = 0; i < text.lines.size(); ++i) {
        if (text.lines[i].isSection && sameName(text.lines[i].name, section)) {
            header = i;
            break;
        }
    }
    if (header < 0)
        return -1;
    qsizetype last = header;
    for (qsizetype i = header + 1; i < text.lines.size() && !text.lines[i].isSection; ++i) {
        if (!trimmedBlanks(text.lines[i].bytes).isEmpty())
            last = i;
    }
    return last;
}

QString cutValue(const QString &value)
{
    if (value.size() <= ProfileValueMaxLength)
        return value;
    qsizetype length = ProfileValueMaxLength;
    if (value[length - 1].isHighSurrogate())
        --length;
    return value.first(length);
}

QString lockNameFor(const QString &filePath)
{
    const QByteArray absolute = QFileInfo(filePath).absoluteFilePath().toUtf8();
    return QStringLiteral("profile-")
           + QString::fromLatin1(QCryptographicHash::hash(absolute, QCryptographicHash::Sha1).toHex());
}

} // namespace

QString readProfileString(const QString &section, const QString &key, const QString &defaultValue,
                          const QString &filePath)
{
    const OwnFileContents file = readOwnFile(filePath);
    if (!file.problem.isEmpty())
        return defaultValue;
    const ProfileText text = parseProfile(file.bytes);
    const qsizetype index = findKey(text, section, key);
    if (index < 0)
        return defaultValue;
    return cutValue(TextOfBytes(text.lines[index].value));
}

bool writeProfileString(const QString &section, const QString &key, const QString &value,
                        const QString &filePath)
{
    return writeProfileStrings(section, {{key, value}}, filePath);
}

bool writeProfileStrings(const QString &section, const QList<std::pair<QString, QString>> &values,
                         const QString &filePath)
{
    if (section.contains(u'\n'))
        return false;
    for (const auto &[key, value] : values) {
        if (value.contains(u'\n') || value.contains(u'\r') || key.contains(u'\n'))
            return false;
    }
    const std::optional<LockFile> guard = LockFile::lock(lockNameFor(filePath));
    if (!guard)
        return false;

    // A file that is not the user's own is left alone, not replaced.
    const OwnFileContents existing = readOwnFile(filePath);
    if (!existing.problem.isEmpty())
        return false;
    const QByteArray &content = existing.bytes;
    ProfileText text = parseProfile(content);
    qsizetype added = 0;
    for (const auto &[key, value] : values) {
        const QByteArray keyLine = key.trimmed().toUtf8() + '=' + BytesOfText(value.trimmed());
        added += keyLine.size() + 2;
        const qsizetype keyIndex = findKey(text, section, key);
        if (keyIndex >= 0) {
            text.lines[keyIndex] = parseLine(keyLine);
            continue;
        }
        const qsizetype after = insertionPoint(text, section);
        if (after >= 0) {
            text.lines.insert(after + 1, parseLine(keyLine));
        } else {
            text.lines.append(parseLine('[' + section.trimmed().toUtf8() + ']'));
            text.lines.append(parseLine(keyLine));
        }
        text.endsWithLineEnd = true;
    }

    QByteArray output;
    output.reserve(content.size() + added + 64);
    for (qsizetype i = 0; i < text.lines.size(); ++i) {
        output += text.lines[i].bytes;
        if (i + 1 < text.lines.size() || text.endsWithLineEnd)
            output += text.lineEnd;
    }

    // Settings files can hold FTP passwords: a new one is for its owner's eyes only.
    return !writeWholeFile(filePath, output, PrivateFileMode);
}

} // namespace platform
