#pragma once

#include <QString>

#include <optional>

namespace textcompare {

// The wrap width `LenOfRow` that the wrap-width dialog stores for the text of its box.
// Ticked: the number rounded to a whole number (halves to even), then made even upwards:
// "7" and "7.5" store 8, "0" stores 0 (no wrapping), "-5" stores -4. Not ticked: the
// number as it stands, made even upwards, stored as a negative width that the dialog
// offers again next time: "7" stores -8; a negative entry is stored negative too ("-5"
// stores -4), so that an unticked box never turns wrapping on.
struct WrapWidthEntry
{
    std::optional<qint32> width;
    // Without a width: the failure's number (13 for a text that is no number, 6 for a
    // width beyond the 32-bit range) and its description.
    qint32 failureNumber = 0;
    QString failure;
};
WrapWidthEntry WrapWidthFromEntry(const QString &text, bool ticked);

} // namespace textcompare
