#pragma once

#include <QString>

namespace platform::testing {

// A test that kills a run part way starts its own test program again as a child that runs
// one child test in a folder the parent gives it. The child test marks the folder once it
// is where it should be killed and waits; the parent then kills it with SIGKILL.

// The folder handed to this process as such a child, or empty in an ordinary run.
QString KilledChildFolder();

// In the child: marks `folder` as reached and waits to be killed.
[[noreturn]] void HoldUntilKilled(const QString &folder);

// Starts this test program again, running the tests `filter` names with `folder` handed
// over, waits (up to 30 s) until the child marked the folder, kills it and waits for its
// end. Returns the child's process id, or 0 when it never marked the folder.
qint64 KillChildOnceMarked(const QString &filter, const QString &folder);

} // namespace platform::testing
