/*
 * Two calls of the control that leave the process's reach: starting a
 * download job and opening a modal property frame.  Both go through a
 * replaceable pointer so that a test container can watch them happen
 * without a transfer or a sheet that nobody can close.
 */
#ifndef CORVALA_AX_CONTROL_HOOKS_H
#define CORVALA_AX_CONTROL_HOOKS_H

#include <windows.h>
#include <olectl.h>

typedef HRESULT (*JobStarter)(BSTR url, IUnknown *container, char *tempFileName);
typedef HRESULT(WINAPI *PropertyFrameOpener)(HWND owner, UINT x, UINT y, LPCOLESTR caption,
                                             ULONG objectCount, LPUNKNOWN *objects,
                                             ULONG pageCount, LPCLSID pages, LCID lcid,
                                             DWORD reserved, LPVOID reserved2);

/* Replace the call (NULL puts the real one back); returns the previous one. */
JobStarter SetJobStarter(JobStarter starter);
PropertyFrameOpener SetPropertyFrameOpener(PropertyFrameOpener opener);

#endif
