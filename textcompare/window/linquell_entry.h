#pragma once

#include "textcompare/engine/viewer_command_line.h"

namespace textcompare {

// The viewer's start, after the application object exists: loads the main window, puts
// the command line's paths into its path boxes, then either shows the window and runs
// until it closes, or, with an output switch, compares the two texts, writes the export
// without showing anything and returns. Returns the process's exit status: 0 on success
// (also when "-X" found no difference and wrote nothing), 1 after any failure, whose
// message went to standard error in an unattended run.
int Main(const ViewerCommandLine &commandLine);

} // namespace textcompare
