#include "bench/tree_generator.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace bench {

namespace {

constexpr qint64 BaseDate = 1600000000;

void writeFile(const QString &path, const QByteArray &content, qint64 modified)
{
    const QByteArray encoded = QFile::encodeName(path);
    const int fd = ::open(encoded.constData(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC, 0644);
    if (fd < 0)
        qFatal("cannot write %s", encoded.constData());
    if (::write(fd, content.constData(), size_t(content.size())) != content.size())
        qFatal("short write %s", encoded.constData());
    const struct timespec times[2] = {{time_t(modified), 0}, {time_t(modified), 0}};
    ::futimens(fd, times);
    ::close(fd);
}

QString shapeText(const TreePairShape &shape)
{
    return QStringLiteral("%1 %2 %3 %4 %5 %6")
        .arg(shape.folders)
        .arg(shape.files)
        .arg(shape.changed)
        .arg(shape.dateOnly)
        .arg(shape.onlyFirst)
        .arg(shape.onlySecond);
}

} // namespace

QString EnsureTreePair(const QString &folder, const TreePairShape &shape)
{
    const QString marker = folder + QStringLiteral("/complete");
    QFile done(marker);
    if (done.open(QIODevice::ReadOnly) && done.readAll() == shapeText(shape).toUtf8())
        return folder;
    done.close();
    QDir(folder).removeRecursively();

    const int tops = 10;
    QStringList leaves;
    for (int top = 0; top < tops; ++top) {
        const QString topName = QStringLiteral("d%1").arg(top, 2, 10, QChar(u'0'));
        leaves.append(topName);
        for (int sub = 0; sub < shape.folders / tops - 1; ++sub)
            leaves.append(topName + QStringLiteral("/s%1").arg(sub, 3, 10, QChar(u'0')));
    }
    for (const QString &side : {QStringLiteral("one"), QStringLiteral("two")})
        for (const QString &leaf : leaves)
            QDir().mkpath(folder + u'/' + side + u'/' + leaf);

    QRandomGenerator random(20240601);
    for (int i = 0; i < shape.files; ++i) {
        const QString relative
            = leaves.at(i % leaves.size()) + QStringLiteral("/file%1.dat").arg(i, 6, 10, QChar(u'0'));
        const QByteArray content = QByteArray::number(random.generate64(), 36).repeated(1 + int(random.bounded(4)));
        const qint64 date = BaseDate + random.bounded(86400 * 365);
        writeFile(folder + QStringLiteral("/one/") + relative, content, date);

        const double pick = random.generateDouble();
        double limit = shape.onlyFirst;
        if (pick < limit)
            continue;
        if (pick < (limit += shape.changed)) {
            writeFile(folder + QStringLiteral("/two/") + relative, content + "+", date);
            continue;
        }
        if (pick < (limit += shape.dateOnly)) {
            writeFile(folder + QStringLiteral("/two/") + relative, content, date + 3600);
            continue;
        }
        writeFile(folder + QStringLiteral("/two/") + relative, content, date);
    }
    const int added = int(shape.files * shape.onlySecond);
    for (int i = 0; i < added; ++i) {
        const QString relative = leaves.at(i % leaves.size()) + QStringLiteral("/new%1.dat").arg(i, 6, 10, QChar(u'0'));
        writeFile(folder + QStringLiteral("/two/") + relative, "new", BaseDate);
    }
    // The folders' own dates, fixed as well.
    for (const QString &side : {QStringLiteral("one"), QStringLiteral("two")}) {
        for (const QString &leaf : leaves) {
            const struct timespec times[2] = {{time_t(BaseDate), 0}, {time_t(BaseDate), 0}};
            utimensat(AT_FDCWD, QFile::encodeName(folder + u'/' + side + u'/' + leaf).constData(), times, 0);
        }
    }

    QFile complete(marker);
    if (complete.open(QIODevice::WriteOnly))
        complete.write(shapeText(shape).toUtf8());
    return folder;
}

} // namespace bench
