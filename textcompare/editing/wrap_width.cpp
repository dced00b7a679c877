#include "textcompare/editing/wrap_width.h"

#include <cmath>
#include <limits>

namespace textcompare {

namespace {

constexpr qint32 TypeMismatch = 13;
constexpr qint32 Overflow = 6;

} // namespace

WrapWidthEntry WrapWidthFromEntry(const QString &text, bool ticked)
{
    bool isNumber = false;
    double number = text.trimmed().toDouble(&isNumber);
    if (!isNumber || !std::isfinite(number))
        return {std::nullopt, TypeMismatch, QStringLiteral("型が一致しません。")};
    if (ticked)
        number = std::nearbyint(number);
    double width = std::floor((number + 1) / 2) * 2;
    if (!ticked)
        width = -std::abs(width);
    if (width < std::numeric_limits<qint32>::min() || width > std::numeric_limits<qint32>::max())
        return {std::nullopt, Overflow, QStringLiteral("オーバーフローしました。")};
    return {qint32(width), 0, {}};
}

} // namespace textcompare
