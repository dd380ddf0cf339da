/*
 * The system calls that tests must be able to make fail, gathered in one
 * table.  Production code calls them through osCall(name), which reads like a
 * plain call; every row defaults to the real function.  Tests swap single rows
 * with SetSysCall and put everything back with ResetSysCalls.
 *
 * Only calls whose failure no real component can produce belong here (a
 * spooler call that fails half-way, an allocation that fails).
 */
#ifndef CORVALA_SYSCALLS_H
#define CORVALA_SYSCALLS_H

#include <windows.h>
#include <winspool.h>
#include <wininet.h>
#include <olectl.h>
#include <stdlib.h>

/* Plain C allocation wrappers, so that the allocator can sit in the table
   with the same calling convention as every other row. */
void *__cdecl CorvMalloc(size_t size);
void *__cdecl CorvRealloc(void *block, size_t size);

#define CORV_SYSCALL_LIST(X) \
    X(CorvMalloc)            \
    X(CorvRealloc)           \
    X(LocalAlloc)            \
    X(FormatMessageA)        \
    X(MessageBoxA)           \
    X(GlobalLock)            \
    X(OpenPrinterA)          \
    X(StartDocPrinterA)      \
    X(StartPagePrinter)      \
    X(WritePrinter)          \
    X(EndPagePrinter)        \
    X(EndDocPrinter)         \
    X(AbortPrinter)          \
    X(ReadFile)              \
    X(WriteFile)             \
    X(SetFilePointer)        \
    X(InternetReadFile)      \
    X(InternetSetOptionA)    \
    X(GetTempPathA)          \
    X(GetTempFileNameA)      \
    X(PrintDlgA)             \
    X(OleCreatePropertyFrame)

enum SysCallIndex {
#define CORV_SYSCALL_ENUM(name) SC_##name,
    CORV_SYSCALL_LIST(CORV_SYSCALL_ENUM)
#undef CORV_SYSCALL_ENUM
    SC_COUNT
};

struct SysCallRow {
    const char *name;
    FARPROC current;
    FARPROC real;
};

extern SysCallRow g_sysCalls[SC_COUNT];

/* Typed access to a row: keeps the calling convention of the real function
   (WINAPI on i686) in the pointer type. */
#define osCall(name) (reinterpret_cast<decltype(&::name)>(g_sysCalls[SC_##name].current))

/* Replaces the row called name by proc (NULL restores the real function).
   Returns FALSE when there is no such row. */
BOOL SetSysCall(const char *name, FARPROC proc);
/* The function a row currently calls, or NULL for an unknown name. */
FARPROC GetSysCall(const char *name);
/* Restores every row to the real function. */
void ResetSysCalls(void);

#endif
