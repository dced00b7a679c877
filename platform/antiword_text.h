#pragma once

#include <QString>

#include <functional>

namespace platform {

// Seconds that antiword may take for one document before it is stopped.
inline constexpr int AntiwordSeconds = 60;

// The plain text of a legacy Word document (.doc, Word 97 to 2003) as antiword writes it:
// UTF-8, each paragraph on one line ending in LF, tables as lines of "|"-separated cells
// padded with blanks. False, with `error` telling why (antiword's own message, a missing
// antiword, a run that took too long), when the document gives no text. `keepGoing`, when
// given, is asked at least every tenth of a second; false stops antiword ("中止しました").
bool antiwordText(const QString &path, QString &text, QString &error, int timeoutSeconds = AntiwordSeconds,
                  const std::function<bool()> &keepGoing = {});

} // namespace platform
