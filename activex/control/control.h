/*
 * The control object CorvalaAX: the property PrintFile, the icon it draws,
 * and the COM identity through which containers and scripts reach it.
 */
#ifndef CORVALA_AX_CONTROL_H
#define CORVALA_AX_CONTROL_H

#include <windows.h>
#include <ole2.h>
#include "CorvalaActiveX_h.h"

/* The instance creator of the class table: a plain object when outer is
   NULL, an aggregated one otherwise.  Returns riid of the new object;
   E_OUTOFMEMORY when it cannot be allocated. */
HRESULT CreateCorvalaAX(IUnknown *outer, REFIID riid, void **out);

/* Remembers the module whose icon resource 202 new controls load. */
void SetControlIconModule(HINSTANCE module);

#endif
