/*
 * Starting a download job goes through a replaceable pointer, so that a
 * test container can count the jobs that activation starts without a
 * transfer.  (The property frame, which cannot be dismissed in a test, goes
 * through the system-call table instead.)
 */
#ifndef CORVALA_AX_CONTROL_HOOKS_H
#define CORVALA_AX_CONTROL_HOOKS_H

#include <windows.h>
#include <ole2.h>

typedef HRESULT (*JobStarter)(BSTR url, IUnknown *container, char *tempFileName);

/* Replace the call (NULL puts the real one back); returns the previous one. */
JobStarter SetJobStarter(JobStarter starter);

#endif
