#include "plugin_testing.h"

#include "testbed.h"

std::string PluginLibraryPath()
{
    return testbed::WinePath(PLUGIN_LIBRARY_PATH);
}

std::vector<std::string> PrintedSince(size_t before, size_t expected)
{
    std::vector<std::string> documents;
    for (const std::string &job : testbed::NewSpoolJobs(before, expected))
        documents.push_back(testbed::ReadBytes(job));
    return documents;
}
