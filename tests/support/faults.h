/*
 * Fault injection through the table of overridable system calls: a row is
 * swapped for the life of a scope object, and restored afterwards.
 */
#ifndef CORVALA_FAULTS_H
#define CORVALA_FAULTS_H

#include "syscalls.h"

#include <commdlg.h>
#include <string>
#include <vector>

namespace testbed {

/* Swaps one row of the system-call table while in scope. */
class SysCallOverride {
public:
    SysCallOverride(const char *name, FARPROC proc);
    ~SysCallOverride();
    SysCallOverride(const SysCallOverride &) = delete;
    SysCallOverride &operator=(const SysCallOverride &) = delete;

private:
    const char *name_;
    FARPROC previous_;
};

template <typename F>
FARPROC AsProc(F *function)
{
    return reinterpret_cast<FARPROC>(function);
}

/* A print dialog for a driver that cannot make copies: the real dialog,
   with the user's count moved from dmCopies into nCopies (Wine's driver
   always reports it in dmCopies).  For the PrintDlgA row. */
BOOL WINAPI PrintDlgCopiesInNCopies(LPPRINTDLGA pd);

/* Records every MessageBoxA call made through the table (text, caption,
   style, result) and passes it on to the real message box. */
struct RecordedBox {
    std::string text;
    std::string caption;
    UINT style;
    HWND owner;
    int result;
};

class MessageBoxRecorder {
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder &) = delete;
    MessageBoxRecorder &operator=(const MessageBoxRecorder &) = delete;
    const std::vector<RecordedBox> &Boxes() const;
    /* Makes the next count calls fail with result 0 without a box. */
    void FailNext(int count);
};

} // namespace testbed

#endif
