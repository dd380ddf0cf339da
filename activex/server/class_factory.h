/*
 * The class object of the server's class: IClassFactory over the class
 * row's instance creator.  While a client holds it (its count is 2 or more,
 * the module's cache holding the first reference) it keeps the module locked.
 */
#ifndef CORVALA_AX_CLASS_FACTORY_H
#define CORVALA_AX_CLASS_FACTORY_H

#include "module.h"

/* The class-object creator of a class row: a new factory with one
   reference in out; E_OUTOFMEMORY when it cannot be allocated. */
HRESULT CreateClassFactory(InstanceCreator creator, IUnknown **out);

#endif
