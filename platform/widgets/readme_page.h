#pragma once

#include <QString>
#include <QStringList>

namespace platform::widgets {

// Where the suite's README may be: beside the executables, then in the source tree the
// programs were built from.
QStringList DefaultReadmePlaces();

// The first of `places` that holds the README, as an absolute path; empty when none does.
QString FindReadme(const QStringList &places = DefaultReadmePlaces());

// The help items and web labels of the three programs: opens the README in the desktop's
// program for it. Where no README is found, or no program opens it, a box says so and
// names the file, so that the user can still find and read it.
void ShowReadme(const QStringList &places = DefaultReadmePlaces());

} // namespace platform::widgets
