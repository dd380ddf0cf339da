/* The print host's spool target on Windows: a temporary file of our own
   (common/temp_file.h), written from the transfer or taken over from a
   finished download (adopt_file.h), and handed to the viewer the way the
   control hands its downloads over (common/viewer_launch.h), with an
   outcome file the viewer fills in when it ends. */
#ifndef CORVALA_PRINTHOST_SPOOL_TARGET_H
#define CORVALA_PRINTHOST_SPOOL_TARGET_H

#include <memory>

#include "handles.h"
#include "session.h"
#include "temp_file.h"

class TempFileTarget : public SpoolTarget {
public:
    TempFileTarget();
    ~TempFileTarget() override;
    bool Create(std::string *detail) override;
    bool Write(const unsigned char *data, size_t length, std::string *detail) override;
    void Discard() override;
    SpoolOutcome Adopt(const std::string &path, std::string *detail) override;
    SpoolOutcome Print(const std::string &origin, std::string *detail) override;
    ViewerReport AwaitOutcome() override;

private:
    /* Gives the spool file up after a failed start: back to the download's
       place when it was one, else deleted. */
    void Abandon(std::unique_ptr<TempFile> file);

    std::unique_ptr<TempFile> file_;     /* a fresh one for each transfer */
    std::wstring adopted_;               /* the download file_ was taken from, or empty */
    std::unique_ptr<TempFile> report_;   /* the viewer's outcome file ("CVO") */
    ScopedKernelHandle viewer_;          /* the viewer started last, until its outcome is read */
    char spoolName_[TEMP_NAME_CAPACITY]; /* the file it was given */
};

#endif
