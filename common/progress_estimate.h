#pragma once

#include <QString>
#include <QtGlobal>

namespace common {

// The sub-range of the progress bar, in percent, onto which 0 to 100 percent of a run
// are mapped. Both 0 until a caller sets them.
struct ProgressBarRange
{
    qint16 start = 0;
    qint16 end = 0;
};

// Maps a run's percentage onto the bar. An end below the start first turns the range
// into 0 to 100 (kept in `range`). A percentage of 0 or more becomes
// floor((end - start) * percent / 100 + 0.5) + start; a negative one is returned as it
// is and means a message without bar or times. A result of 0 or less starts a run, 100
// or more ends it.
double MapProgress(double percent, ProgressBarRange &range);

// The time line of the progress window: elapsed time and percentage, and once a whole
// second has passed an estimate of the remaining and the total time. Each estimate is
// averaged with the one before it, so that one slow or fast item does not make the
// figures jump.
class ProgressEstimate
{
public:
    // Forgets the previous estimate; called at the start of a run.
    void restart() { m_previousRemaining = 0; }

    // "経過時間E秒（P%） ", followed by "推定残り時間R秒 推定処理時間T秒 " when at least one
    // second has passed and the bar stands above 0. `percent` is the mapped bar value.
    QString timeLine(qint64 elapsedSeconds, double percent);

private:
    double m_previousRemaining = 0;
};

} // namespace common
