/*
 * The server module: module handle, class table, lock count, the cached
 * class objects and the clean-up actions run when the library is unloaded.
 */
#include "module.h"

#include "syscalls.h"

#include <new>

namespace {

struct CleanupAction {
    void (*action)(void *context);
    void *context;
    CleanupAction *next;   /* the one registered before */
};

struct Module {
    HINSTANCE instance;
    ClassRow *table;
    size_t rows;
    volatile LONG lockCount;
    CRITICAL_SECTION classObjectGuard;
    CRITICAL_SECTION typeInfoGuard;
    CleanupAction *cleanups;   /* newest first */
};

Module g_module;

void RunCleanups(void)
{
    while (g_module.cleanups != NULL) {
        CleanupAction *entry = g_module.cleanups;
        g_module.cleanups = entry->next;
        entry->action(entry->context);
        entry->~CleanupAction();
        free(entry);
    }
}

/* The row's cached class object, created under the guard on first use. */
HRESULT CachedClassObject(ClassRow *row)
{
    HRESULT hr = S_OK;
    if (row->classObject == NULL) {
        EnterCriticalSection(&g_module.classObjectGuard);
        if (row->classObject == NULL) {
            IUnknown *created = NULL;
            hr = row->createClassObject(row->createInstance, &created);
            if (SUCCEEDED(hr))
                row->classObject = created;
        }
        LeaveCriticalSection(&g_module.classObjectGuard);
    }
    return hr;
}

} // namespace

void ModuleStart(ClassRow *table, size_t rows, HINSTANCE instance)
{
    g_module.instance = instance;
    g_module.table = table;
    g_module.rows = rows;
    g_module.lockCount = 0;
    g_module.cleanups = NULL;
    InitializeCriticalSection(&g_module.classObjectGuard);
    InitializeCriticalSection(&g_module.typeInfoGuard);
    for (size_t i = 0; i < rows; i++) {
        table[i].classObject = NULL;
        if (table[i].startEnd != NULL)
            table[i].startEnd(true);
    }
}

void ModuleEnd(void)
{
    for (size_t i = 0; i < g_module.rows; i++) {
        ClassRow &row = g_module.table[i];
        if (row.classObject != NULL)
            row.classObject->Release();
        row.classObject = NULL;
        if (row.startEnd != NULL)
            row.startEnd(false);
    }
    DeleteCriticalSection(&g_module.classObjectGuard);
    DeleteCriticalSection(&g_module.typeInfoGuard);
    RunCleanups();
}

HINSTANCE ModuleInstance(void)
{
    return g_module.instance;
}

ClassRow *ModuleClassTable(size_t *rows)
{
    if (rows != NULL)
        *rows = g_module.rows;
    return g_module.table;
}

LONG ModuleLock(void)
{
    return InterlockedIncrement(&g_module.lockCount);
}

LONG ModuleUnlock(void)
{
    return InterlockedDecrement(&g_module.lockCount);
}

LONG ModuleLockCount(void)
{
    return InterlockedCompareExchange(&g_module.lockCount, 0, 0);
}

HRESULT ModuleGetClassObject(REFCLSID clsid, REFIID riid, void **out)
{
    if (out == NULL)
        return E_POINTER;
    *out = NULL;
    for (size_t i = 0; i < g_module.rows; i++) {
        ClassRow *row = &g_module.table[i];
        if (row->createClassObject == NULL || !IsEqualCLSID(*row->clsid, clsid))
            continue;
        HRESULT hr = CachedClassObject(row);
        if (FAILED(hr))
            return hr;
        return row->classObject->QueryInterface(riid, out);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

CRITICAL_SECTION *ModuleTypeInfoGuard(void)
{
    return &g_module.typeInfoGuard;
}

BOOL ModuleAddCleanup(void (*action)(void *context), void *context)
{
    void *memory = osCall(CorvMalloc)(sizeof(CleanupAction));
    if (memory == NULL)
        return FALSE;
    g_module.cleanups = new (memory) CleanupAction{ action, context, g_module.cleanups };
    return TRUE;
}
