/* The table of overridable system calls; see syscalls.h. */
#include "syscalls.h"

#include <string.h>

void *__cdecl CorvMalloc(size_t size) { return malloc(size); }
void *__cdecl CorvRealloc(void *block, size_t size) { return realloc(block, size); }

SysCallRow g_sysCalls[SC_COUNT] = {
#define CORV_SYSCALL_ROW(name) \
    { #name, reinterpret_cast<FARPROC>(&::name), reinterpret_cast<FARPROC>(&::name) },
    CORV_SYSCALL_LIST(CORV_SYSCALL_ROW)
#undef CORV_SYSCALL_ROW
};

static SysCallRow *FindSysCall(const char *name)
{
    for (int i = 0; i < SC_COUNT; i++) {
        if (strcmp(g_sysCalls[i].name, name) == 0)
            return &g_sysCalls[i];
    }
    return NULL;
}

BOOL SetSysCall(const char *name, FARPROC proc)
{
    SysCallRow *row = FindSysCall(name);
    if (row == NULL)
        return FALSE;
    row->current = proc != NULL ? proc : row->real;
    return TRUE;
}

FARPROC GetSysCall(const char *name)
{
    SysCallRow *row = FindSysCall(name);
    return row != NULL ? row->current : NULL;
}

void ResetSysCalls(void)
{
    for (int i = 0; i < SC_COUNT; i++)
        g_sysCalls[i].current = g_sysCalls[i].real;
}
