/*
 * What the control-object tests share: the control's core linked into the
 * test program, its module started, its type library registered from the
 * built library, and its icon taken from there.
 */
#ifndef CORVALA_AX_OBJECT_TESTING_H
#define CORVALA_AX_OBJECT_TESTING_H

#include "control.h"
#include "control_object.h"

#include <string>

namespace axtest {

/* The built control library, as Wine names it. */
std::string LibraryPath();
/* Registers the type library carried by the built control library. */
void RegisterControlTypeLib();

/* Initializes COM, starts the module and registers the type library, once
   per program; returns the library's module (loaded as data). */
HMODULE PrepareControl();

/* A new plain control, or NULL. */
ICorvalaAX *NewControl();

/* The object behind a control's interface. */
CorvalaAXControl *ObjectOf(ICorvalaAX *control);

std::wstring Text(BSTR text);
std::wstring PrintFileOf(ICorvalaAX *control);
void SetPrintFile(ICorvalaAX *control, const wchar_t *url);

/* The current extent in HIMETRIC. */
SIZEL ExtentOf(ICorvalaAX *control);

} // namespace axtest

#endif
