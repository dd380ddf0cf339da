/*
 * The server module: one per loaded library.  It keeps the module handle,
 * the class table, the lock count that DllCanUnloadNow reports, the guards
 * that serialize creating the class object and loading type information, and
 * the clean-up actions run when the library is unloaded.
 */
#ifndef CORVALA_AX_MODULE_H
#define CORVALA_AX_MODULE_H

#include <windows.h>
#include <objbase.h>

/* Makes an object of the class (outer may be NULL) and returns riid of it. */
typedef HRESULT (*InstanceCreator)(IUnknown *outer, REFIID riid, void **out);
/* Makes the class object for an instance creator; returns its IUnknown. */
typedef HRESULT (*ClassObjectCreator)(InstanceCreator creator, IUnknown **out);
/* Runs the class's registration script in register (TRUE) or removal mode. */
typedef HRESULT (*RegistryUpdater)(BOOL registering);

struct ClassRow {
    const CLSID *clsid;
    RegistryUpdater updateRegistry;
    ClassObjectCreator createClassObject;
    InstanceCreator createInstance;
    IUnknown *classObject;       /* cached; NULL until first requested */
    const char *description;     /* NULL: the row takes part in registration */
    void (*startEnd)(bool starting);
};

void ModuleStart(ClassRow *table, size_t rows, HINSTANCE instance);
void ModuleEnd(void);

HINSTANCE ModuleInstance(void);
ClassRow *ModuleClassTable(size_t *rows);

/* The lock count: interlocked, any thread. */
LONG ModuleLock(void);
LONG ModuleUnlock(void);
LONG ModuleLockCount(void);

/* DllGetClassObject: the class object of the row for clsid, created on the
   first request and cached until the module ends; riid of it into out. */
HRESULT ModuleGetClassObject(REFCLSID clsid, REFIID riid, void **out);

/* Serializes the first load of shared type information. */
CRITICAL_SECTION *ModuleTypeInfoGuard(void);

/* Adds an action run at module end, newest first.  FALSE when out of memory. */
BOOL ModuleAddCleanup(void (*action)(void *context), void *context);

#endif
