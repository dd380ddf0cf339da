/*
 * COM identity of the control: one QueryInterface driven by a table of
 * (IID, offset) rows, searched in order.  The offset is where the
 * interface's vtable pointer sits inside the object.
 */
#ifndef CORVALA_AX_IDENTITY_H
#define CORVALA_AX_IDENTITY_H

#include <windows.h>
#include <objbase.h>
#include <stddef.h>

struct InterfaceRow {
    const IID *iid;
    ptrdiff_t offset;
};

/* Looks riid up in the rows of object.  IUnknown answers with the first
   row, which is the object's identity.  On success *out holds the interface
   with one reference added through it; otherwise E_NOINTERFACE and NULL. */
HRESULT TableQueryInterface(void *object, const InterfaceRow *rows, size_t count,
                            REFIID riid, void **out);

/* The interface table of the control object. */
const InterfaceRow *ControlInterfaces(size_t *count);

#endif
