/*
 * Small owners for Win32 handles: one class per release function, not
 * copyable, movable.  They close what they hold when they go out of scope,
 * so every path through a function releases its handles in reverse order of
 * acquisition.
 */
#ifndef CORVALA_HANDLES_H
#define CORVALA_HANDLES_H

#include <windows.h>
#include <winspool.h>
#include <wininet.h>

template <typename Traits>
class ScopedHandle {
public:
    using Handle = typename Traits::Handle;

    ScopedHandle() : handle_(Traits::Invalid()) {}
    explicit ScopedHandle(Handle handle) : handle_(handle) {}
    ~ScopedHandle() { Close(); }

    ScopedHandle(const ScopedHandle &) = delete;
    ScopedHandle &operator=(const ScopedHandle &) = delete;
    ScopedHandle(ScopedHandle &&other) : handle_(other.Release()) {}
    ScopedHandle &operator=(ScopedHandle &&other)
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }

    Handle Get() const { return handle_; }
    bool IsValid() const { return handle_ != Traits::Invalid(); }
    explicit operator bool() const { return IsValid(); }

    /* Gives up ownership without closing. */
    Handle Release()
    {
        Handle handle = handle_;
        handle_ = Traits::Invalid();
        return handle;
    }
    void Reset(Handle handle = Traits::Invalid())
    {
        Close();
        handle_ = handle;
    }
    /* Closes now; returns what the release function returned (TRUE when
       nothing was held). */
    BOOL Close()
    {
        BOOL ok = TRUE;
        if (IsValid())
            ok = Traits::Close(handle_);
        handle_ = Traits::Invalid();
        return ok;
    }

private:
    Handle handle_;
};

struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static BOOL Close(Handle h) { return CloseHandle(h); }
};

struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return NULL; }
    static BOOL Close(Handle h) { return CloseHandle(h); }
};

struct RegKeyTraits {
    using Handle = HKEY;
    static Handle Invalid() { return NULL; }
    static BOOL Close(Handle h) { return RegCloseKey(h) == ERROR_SUCCESS; }
};

struct PrinterTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return NULL; }
    static BOOL Close(Handle h) { return ClosePrinter(h); }
};

struct InternetTraits {
    using Handle = HINTERNET;
    static Handle Invalid() { return NULL; }
    static BOOL Close(Handle h) { return InternetCloseHandle(h); }
};

struct LibraryTraits {
    using Handle = HMODULE;
    static Handle Invalid() { return NULL; }
    static BOOL Close(Handle h) { return FreeLibrary(h); }
};

struct LocalMemTraits {
    using Handle = HLOCAL;
    static Handle Invalid() { return NULL; }
    static BOOL Close(Handle h) { return LocalFree(h) == NULL; }
};

using ScopedFile = ScopedHandle<FileHandleTraits>;
using ScopedKernelHandle = ScopedHandle<KernelHandleTraits>;
using ScopedRegKey = ScopedHandle<RegKeyTraits>;
using ScopedPrinter = ScopedHandle<PrinterTraits>;
using ScopedInternet = ScopedHandle<InternetTraits>;
using ScopedLibrary = ScopedHandle<LibraryTraits>;
using ScopedLocal = ScopedHandle<LocalMemTraits>;

/* Keeps a global memory block locked while in scope. */
class GlobalLockGuard {
public:
    GlobalLockGuard() : block_(NULL), data_(NULL) {}
    ~GlobalLockGuard() { Unlock(); }
    GlobalLockGuard(const GlobalLockGuard &) = delete;
    GlobalLockGuard &operator=(const GlobalLockGuard &) = delete;

    /* Locks block; a NULL block or a failing lock leaves the guard empty. */
    void *Lock(HGLOBAL block);
    void *Data() const { return data_; }
    void Unlock()
    {
        if (data_ != NULL)
            GlobalUnlock(block_);
        data_ = NULL;
        block_ = NULL;
    }

private:
    HGLOBAL block_;
    void *data_;
};

#endif
