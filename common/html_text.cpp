#include "common/html_text.h"

#include "common/export_file.h"
#include "platform/bgr_color.h"

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

QString HtmlRowColor(std::optional<quint32> blueGreenRed)
{
    if (!blueGreenRed)
        return QStringLiteral("#FFFFFF");
    const quint32 rgb = platform::rgbFromBgr(*blueGreenRed);
    return u'#' + QStringLiteral("%1").arg(rgb, 6, 16, QLatin1Char('0')).toUpper();
}

void WriteHtmlPageStart(ExportFile &file, const QString &charset, const QString &title,
                        const std::array<QString, 2> &paths)
{
    file.writeLine(QStringLiteral("<html>"));
    file.writeLine(QStringLiteral("<head>"));
    file.writeLine(QStringLiteral("<meta http-equiv=\"Content-Language\" content=\"ja\">"));
    file.writeLine(QStringLiteral("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=%1\">").arg(charset));
    file.writeLine(QStringLiteral("<title>") + title + QStringLiteral("</title>"));
    file.writeLine(QStringLiteral("</head>"));
    file.writeLine(QStringLiteral("<body>"));
    file.writeLine(QStringLiteral("<basefont size=\"2\">"));
    for (const QString &path : paths)
        file.writeLine(HtmlEscapeMarkup(path) + QStringLiteral("<br>"));
    file.writeLine(QStringLiteral("<table border=\"1\" cellspacing=\"0\" style=\"table-layout:fixed;font-size:13px;\">"));
}

void WriteHtmlPageEnd(ExportFile &file)
{
    file.writeLine(QStringLiteral("</table>"));
    file.writeLine(QStringLiteral("</body>"));
    file.writeLine(QStringLiteral("</html>"));
}

} // namespace common
