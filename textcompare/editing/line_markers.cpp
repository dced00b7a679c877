#include "textcompare/editing/line_markers.h"

#include "platform/code_page.h"

namespace textcompare {

QString ByteMarkers(QByteArrayView line, QByteArrayView other)
{
    QString markers(line.size(), Qt::Uninitialized);
    for (qsizetype index = 0; index < line.size(); ++index) {
        if (line[index] == '\t')
            markers[index] = u'\t';
        else if (index >= other.size() || other[index] != line[index])
            markers[index] = u'*';
        else
            markers[index] = u' ';
    }
    return markers;
}

std::array<QString, 2> LineMarkers(const QString &line1, const QString &line2)
{
    const QByteArray bytes1 = platform::encodeText(platform::CodePage::Cp932, line1).bytes;
    const QByteArray bytes2 = platform::encodeText(platform::CodePage::Cp932, line2).bytes;
    return {ByteMarkers(bytes1, bytes2), ByteMarkers(bytes2, bytes1)};
}

} // namespace textcompare
