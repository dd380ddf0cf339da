/*
 * The class factory: its own reference count under its own guard, and the
 * aggregation rule in front of the class's instance creator.
 */
#include "class_factory.h"

#include "syscalls.h"

#include <new>

namespace {

class ClassFactory : public IClassFactory {
public:
    explicit ClassFactory(InstanceCreator creator) : refs_(1), creator_(creator)
    {
        InitializeCriticalSection(&guard_);
    }
    ~ClassFactory() { DeleteCriticalSection(&guard_); }

    STDMETHODIMP QueryInterface(REFIID riid, void **out) override
    {
        if (out == NULL)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *out = static_cast<IClassFactory *>(this);
            AddRef();
            return S_OK;
        }
        *out = NULL;
        return E_NOINTERFACE;
    }

    /* The second reference is the first a client holds: the module stays
       locked from then until the count falls back to the cache's one. */
    STDMETHODIMP_(ULONG) AddRef() override
    {
        EnterCriticalSection(&guard_);
        ULONG refs = ++refs_;
        if (refs == 2)
            ModuleLock();
        LeaveCriticalSection(&guard_);
        return refs;
    }

    STDMETHODIMP_(ULONG) Release() override
    {
        EnterCriticalSection(&guard_);
        ULONG refs = --refs_;
        if (refs == 1)
            ModuleUnlock();
        LeaveCriticalSection(&guard_);
        if (refs == 0) {
            this->~ClassFactory();
            free(this);
        }
        return refs;
    }

    STDMETHODIMP CreateInstance(IUnknown *outer, REFIID riid, void **out) override
    {
        if (out == NULL)
            return E_POINTER;
        *out = NULL;
        if (outer != NULL && !IsEqualIID(riid, IID_IUnknown))
            return CLASS_E_NOAGGREGATION;
        return creator_(outer, riid, out);
    }

    STDMETHODIMP LockServer(BOOL lock) override
    {
        if (lock)
            ModuleLock();
        else
            ModuleUnlock();
        return S_OK;
    }

private:
    ULONG refs_;
    InstanceCreator creator_;
    CRITICAL_SECTION guard_;
};

} // namespace

HRESULT CreateClassFactory(InstanceCreator creator, IUnknown **out)
{
    *out = NULL;
    void *memory = osCall(CorvMalloc)(sizeof(ClassFactory));
    if (memory == NULL)
        return E_OUTOFMEMORY;
    *out = new (memory) ClassFactory(creator);
    return S_OK;
}
