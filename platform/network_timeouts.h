#pragma once

#include <QtGlobal>

namespace platform {

// Seconds without a single byte after which a connection attempt, a wait for an answer
// or a transfer over the network counts as failed, unless a caller sets its own.
inline constexpr int DefaultStallSeconds = 60;

// Bounds of each transfer besides the stall timeout: an overall deadline in seconds, and
// the most bytes a download may bring. 0 leaves either without bound.
struct TransferLimits
{
    int deadlineSeconds = 0;
    qint64 downloadBytes = 0;
};

// The bounds of a download that the viewer compares: a server that trickles a byte now and
// then, or sends without end, fails the download instead of holding a run for ever or
// filling the disk.
inline constexpr TransferLimits SourceDownloadLimits{30 * 60, qint64(1) << 30};

// The most bytes one folder listing may take; a server that lists without end fails the
// listing there.
inline constexpr qint64 MaxListingBytes = qint64(64) << 20;

} // namespace platform
