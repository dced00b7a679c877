#include "common/html_text.h"

namespace common {

QString HtmlEscapeMarkup(const QString &text)
{
    QString escaped = text;
    escaped.replace(u'&', QStringLiteral("&amp;"));
    escaped.replace(u'<', QStringLiteral("&lt;"));
    escaped.replace(u'>', QStringLiteral("&gt;"));
    return escaped;
}

QString HtmlEscape(const QString &text)
{
    if (text.isEmpty())
        return QStringLiteral("&nbsp;");
    return HtmlEscapeMarkup(text).replace(u' ', QStringLiteral("&nbsp;"));
}

QString HtmlEscapeText(const QString &text)
{
    if (text.isEmpty())
        return QStringLiteral("&nbsp;");
    return HtmlEscapeMarkup(text);
}

QString HtmlRowColor(quint32 blueGreenRed)
{
    const quint32 bgr = blueGreenRed & 0xFFFFFF;
    const quint32 rgb = ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF);
    if (rgb == 0)
        return QStringLiteral("#FFFFFF");
    return u'#' + QStringLiteral("%1").arg(rgb, 6, 16, QLatin1Char('0')).toUpper();
}

} // namespace common
