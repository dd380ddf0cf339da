/* The recorder program in the viewer's place: copied under a path with
   blanks and registered under App Paths, it writes down each command line
   it is started with and the file it was given, then deletes that file as
   the viewer does. */
#ifndef CORVALA_RECORDING_VIEWER_H
#define CORVALA_RECORDING_VIEWER_H

#include <windows.h>
#include <string>
#include <vector>

namespace testbed {

struct ViewerRun {
    std::string commandLine;
    std::string data;
    bool deletedFile;
};

class RecordingViewer {
public:
    std::string path;
    std::string records;
    /* recorder: the recorder program's Unix path. */
    RecordingViewer(const char *recorder, const char *label = "viewer");
    ~RecordingViewer();
    /* The runs recorded so far, oldest first, after waiting up to ms for
       expected ones. */
    std::vector<ViewerRun> Runs(size_t expected, DWORD ms = 10000);
    /* Forgets the runs recorded so far: later calls see only newer ones. */
    void Forget();
    std::string CommandLineFor(const std::string &file) const;

private:
    std::vector<std::string> RecordNames();
};

} // namespace testbed

#endif
