/* What the plug-in tests share: the library under test, a started browser
   stand-in, and small checks on what reached the spooler. */
#ifndef CORVALA_PLUGIN_TESTING_H
#define CORVALA_PLUGIN_TESTING_H

#include "browser_host.h"
#include "browser_memory.h"

#include <string>
#include <vector>

/* The built NPcvw32.dll as Windows names it. */
std::string PluginLibraryPath();

/* The documents the sandbox printer produced since before (a count taken
   with SpoolJobs().size()), read back. */
std::vector<std::string> PrintedSince(size_t before, size_t expected);

#endif
