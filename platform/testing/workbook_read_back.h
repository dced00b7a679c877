#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace platform::testing {

// Reads a written workbook back through openpyxl (run by Debian's /usr/bin/python3) and
// tells what its first sheet holds:
//   "sheets": the sheet names; "maxRow", "maxColumn": the used area (1-based);
//   "columns": {"C": {"width": stored width, "format": number format}} for every column
//     with its own settings;
//   "conditions": [{"range", "type", "formula", "priority", "fill"}], one per rule;
//   "cells": {"A1": {"value", "type" ("n" number or empty, "s" text, "f" formula),
//     "format", "font": {"name", "size", "underline", "color"}, "fill" (solid fill
//     colour or null), "borders": "left,right,top,bottom" styles, "link": null or
//     {"target", "location", "tooltip", "display"}}} for every cell of `ranges`
//     ("A1:F6", "E3", ...).
// Colours are openpyxl's "AARRGGBB" texts. A failure to read fails the test and gives an
// empty object.
QJsonObject readWorkbookBack(const QString &path, const QStringList &ranges = {});

} // namespace platform::testing
