/* The print host's spool target on Windows: a temporary file of our own
   (common/temp_file.h), handed to the viewer the way the control hands its
   downloads over (common/viewer_launch.h). */
#ifndef CORVALA_PRINTHOST_SPOOL_TARGET_H
#define CORVALA_PRINTHOST_SPOOL_TARGET_H

#include <memory>

#include "session.h"

class TempFile;

class TempFileTarget : public SpoolTarget {
public:
    TempFileTarget();
    ~TempFileTarget() override;
    bool Create(std::string *detail) override;
    bool Write(const unsigned char *data, size_t length, std::string *detail) override;
    void Discard() override;
    SpoolOutcome Print(std::string *detail) override;

private:
    std::unique_ptr<TempFile> file_;   /* a fresh one for each transfer */
};

#endif
