#include "platform/testing/workbook_read_back.h"

#include <QJsonDocument>
#include <QProcess>

#include <gtest/gtest.h>

namespace platform::testing {

namespace {

constexpr int ReadTimeoutMilliseconds = 120000;

const char ReaderScript[] = R"(
import json, sys
import openpyxl
from openpyxl.utils import get_column_letter, range_boundaries

def color(c):
    if c is None:
        return None
    if c.type == 'rgb':
        return c.rgb
    return '%s:%s' % (c.type, c.value)

def cell_facts(ws, cell):
    link = None
    if cell.hyperlink is not None:
        h = cell.hyperlink
        link = {'target': h.target, 'location': h.location, 'tooltip': h.tooltip, 'display': h.display}
    b = cell.border
    fill = cell.fill
    return {
        'value': cell.value,
        'type': cell.data_type,
        'format': cell.number_format,
        'font': {'name': cell.font.name, 'size': cell.font.sz, 'underline': cell.font.u,
                 'color': color(cell.font.color)},
        'fill': color(fill.fgColor) if fill is not None and fill.fill_type == 'solid' else None,
        'borders': ','.join(str(side.style) for side in (b.left, b.right, b.top, b.bottom)),
        'link': link,
    }

# Opened as a file object, so that a workbook named .xls is read by its content.
with open(sys.argv[1], 'rb') as stream:
    wb = openpyxl.load_workbook(stream)
ws = wb.worksheets[0]
facts = {'sheets': wb.sheetnames, 'maxRow': ws.max_row, 'maxColumn': ws.max_column}
columns = {}
for dimension in list(ws.column_dimensions.values()):
    if dimension.min is None:
        continue
    for index in range(dimension.min, dimension.max + 1):
        columns[get_column_letter(index)] = {'width': dimension.width, 'format': dimension.number_format}
facts['columns'] = columns
conditions = []
for formatting in ws.conditional_formatting:
    for rule in formatting.rules:
        fill = None
        if rule.dxf is not None and rule.dxf.fill is not None:
            fill = color(rule.dxf.fill.bgColor)
        conditions.append({'range': str(formatting.sqref), 'type': rule.type, 'formula': list(rule.formula),
                           'priority': rule.priority, 'fill': fill})
facts['conditions'] = conditions
cells = {}
for wanted in sys.argv[2:]:
    first_column, first_row, last_column, last_row = range_boundaries(wanted)
    for row in range(first_row, last_row + 1):
        for column in range(first_column, last_column + 1):
            cells['%s%d' % (get_column_letter(column), row)] = cell_facts(ws, ws.cell(row=row, column=column))
facts['cells'] = cells
print(json.dumps(facts))
)";

} // namespace

QJsonObject readWorkbookBack(const QString &path, const QStringList &ranges)
{
    QProcess reader;
    reader.start(QStringLiteral("/usr/bin/python3"),
                 QStringList{QStringLiteral("-c"), QString::fromUtf8(ReaderScript), path} + ranges);
    if (!reader.waitForFinished(ReadTimeoutMilliseconds) || reader.exitStatus() != QProcess::NormalExit
        || reader.exitCode() != 0) {
        ADD_FAILURE() << "openpyxl could not read " << path.toStdString() << ": "
                      << reader.readAllStandardError().toStdString();
        return {};
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(reader.readAllStandardOutput(), &error);
    if (!document.isObject()) {
        ADD_FAILURE() << "unreadable facts of " << path.toStdString() << ": " << error.errorString().toStdString();
        return {};
    }
    return document.object();
}

} // namespace platform::testing
