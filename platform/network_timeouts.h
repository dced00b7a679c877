#pragma once

namespace platform {

// Seconds without a single byte after which a connection attempt, a wait for an answer
// or a transfer over the network counts as failed, unless a caller sets its own.
inline constexpr int DefaultStallSeconds = 60;

} // namespace platform
