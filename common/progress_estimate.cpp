#include "common/progress_estimate.h"

#include <cmath>

namespace common {

namespace {

QString wholeNumber(double value)
{
    return QString::number(std::llround(value));
}

} // namespace

double MapProgress(double percent, ProgressBarRange &range)
{
    if (range.end < range.start)
        range = {0, 100};
    if (percent < 0)
        return percent;
    return std::floor(double(range.end - range.start) * percent / 100 + 0.5) + range.start;
}

QString ProgressEstimate::timeLine(qint64 elapsedSeconds, double percent)
{
    const double elapsed = double(elapsedSeconds);
    QString line = QStringLiteral("経過時間") + wholeNumber(elapsed) + QStringLiteral("秒（") + wholeNumber(percent)
                   + QStringLiteral("%） ");
    if (elapsedSeconds < 1 || percent <= 0)
        return line;
    double remaining = std::floor(elapsed / percent * (100 - percent) + 0.5);
    if (m_previousRemaining > 0)
        remaining = std::floor((m_previousRemaining + remaining) / 2 + 0.5);
    m_previousRemaining = remaining;
    return line + QStringLiteral("推定残り時間") + wholeNumber(remaining) + QStringLiteral("秒 ")
           + QStringLiteral("推定処理時間") + wholeNumber(remaining + elapsed) + QStringLiteral("秒 ");
}

} // namespace common
