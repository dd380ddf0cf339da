/*
 * Self-registration: the registration script carried as a resource of the
 * library, run with %MODULE% standing for the library's path, and the type
 * library registered from the library file (or the .tlb file beside it).
 */
#ifndef CORVALA_AX_REGISTRATION_H
#define CORVALA_AX_REGISTRATION_H

#include <windows.h>

/* Resource "REGISTRY" id of module, read from the module's file as a data
   file, run in register or removal mode with %MODULE% set to the module's
   path (single quotes doubled). */
HRESULT UpdateRegistryFromResource(HINSTANCE module, UINT id, BOOL registering);

/* The registry update operation of the control's class row: "REGISTRY" 101
   of the server module. */
HRESULT UpdateControlRegistry(BOOL registering);

/* Loads the type library from module's file, or else from the file of the
   same name with the extension .tlb, and registers it. */
HRESULT RegisterModuleTypeLib(HINSTANCE module);

/* DllRegisterServer: every class row's script, then the type library;
   the first failure stops it. */
HRESULT RegisterServer(void);
/* DllUnregisterServer: every class row's script in removal mode; the type
   library stays registered.  Always S_OK. */
HRESULT UnregisterServer(void);

#endif
