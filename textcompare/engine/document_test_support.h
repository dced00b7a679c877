#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <utility>

namespace textcompare::testing {

// Writes a zip package of the given parts (name, contents) at `path`.
void writePackage(const QString &path, const QList<std::pair<QByteArray, QByteArray>> &parts);

// Runs `script` under Debian's /usr/bin/python3 (which sees openpyxl) with `arguments`;
// fails the test when it does not end well.
void runPython(const QByteArray &script, const QStringList &arguments);

// The UTF-8 XML `xml` in UTF-16, little-endian after a byte-order mark or big-endian
// without one, an encoding "UTF-8" that it declares made the one it is now in.
QByteArray utf16(const QByteArray &xml, bool littleEndian);

// A Word document package whose body is `body` (WordprocessingML, "w:" prefix).
QList<std::pair<QByteArray, QByteArray>> wordPackage(const QByteArray &body);

// The legacy fixtures made with a spreadsheet program and a word processor.
QString fixturePath(const QString &name);

} // namespace textcompare::testing
