/*
 * Type information of the control, shared by every control object of the
 * library: the registered type library, the description of ICorvalaAX that
 * IDispatch runs on, and a cache of its member names.  Loaded once, under
 * the module's type-information guard, and released when the module ends.
 */
#ifndef CORVALA_AX_DISPATCH_H
#define CORVALA_AX_DISPATCH_H

#include <windows.h>
#include <oleauto.h>

/* The description of ICorvalaAX (its vtable half), with a reference added;
   the loading failure when the type library is not registered. */
HRESULT ControlTypeInfo(LCID lcid, ITypeInfo **out);

/* The description of the coclass, with a reference added. */
HRESULT ControlClassInfo(ITypeInfo **out);

/* The DISPID of a member whose name matches exactly (same length, same
   characters); false when the cache does not hold it. */
bool CachedMemberId(LPCOLESTR name, DISPID *id);

#endif
