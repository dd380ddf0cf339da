/* IDispatch and IProvideClassInfo2 of the control, over the registered type
   library. */
#include "dispatch.h"
#include "control_object.h"
#include "module.h"

#include <string.h>

namespace {

struct MemberName {
    BSTR name;
    DISPID id;
};

/* Shared by all objects; written only under the type-information guard. */
struct TypeInfoCache {
    ITypeLib *library;
    ITypeInfo *info;
    MemberName *names;
    UINT nameCount;
};

TypeInfoCache g_cache;

void FreeMemberNames(void)
{
    for (UINT i = 0; i < g_cache.nameCount; i++)
        SysFreeString(g_cache.names[i].name);
    CoTaskMemFree(g_cache.names);
    g_cache.names = NULL;
    g_cache.nameCount = 0;
}

void ReleaseTypeInfo(void *)
{
    FreeMemberNames();
    if (g_cache.info != NULL)
        g_cache.info->Release();
    if (g_cache.library != NULL)
        g_cache.library->Release();
    g_cache.info = NULL;
    g_cache.library = NULL;
}

/* For a dual interface the library answers with the dispatch half; calls
   go through the vtable half, which its implemented type -1 names. */
HRESULT VtableHalf(ITypeInfo *info, ITypeInfo **out)
{
    TYPEATTR *attr;
    HRESULT hr = info->GetTypeAttr(&attr);
    if (FAILED(hr))
        return hr;
    bool dualDispatch = attr->typekind == TKIND_DISPATCH && (attr->wTypeFlags & TYPEFLAG_FDUAL);
    info->ReleaseTypeAttr(attr);
    if (!dualDispatch) {
        info->AddRef();
        *out = info;
        return S_OK;
    }
    HREFTYPE vtable;
    hr = info->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtable);
    if (SUCCEEDED(hr))
        hr = info->GetRefTypeInfo(vtable, out);
    return hr;
}

/* One entry per DISPID, named as the type information names it. */
HRESULT CacheMemberNames(ITypeInfo *info)
{
    TYPEATTR *attr;
    HRESULT hr = info->GetTypeAttr(&attr);
    if (FAILED(hr))
        return hr;
    UINT functions = attr->cFuncs;
    info->ReleaseTypeAttr(attr);
    g_cache.names = static_cast<MemberName *>(CoTaskMemAlloc(sizeof(MemberName) * (functions + 1)));
    if (g_cache.names == NULL)
        return E_OUTOFMEMORY;
    for (UINT i = 0; i < functions && SUCCEEDED(hr); i++) {
        FUNCDESC *desc;
        hr = info->GetFuncDesc(i, &desc);
        if (FAILED(hr))
            break;
        DISPID id = desc->memid;
        info->ReleaseFuncDesc(desc);
        DISPID known;
        BSTR name = NULL;
        hr = info->GetDocumentation(id, &name, NULL, NULL, NULL);
        if (SUCCEEDED(hr) && (name == NULL || CachedMemberId(name, &known))) {
            SysFreeString(name);
            continue;
        }
        if (SUCCEEDED(hr))
            g_cache.names[g_cache.nameCount++] = MemberName{name, id};
    }
    return hr;
}

HRESULT LoadTypeInfo(LCID lcid)
{
    ITypeLib *library = NULL;
    ITypeInfo *dispatchInfo = NULL;
    HRESULT hr = LoadRegTypeLib(LIBID_CORVALAACTIVEXLib, 1, 0, lcid, &library);
    if (SUCCEEDED(hr))
        hr = library->GetTypeInfoOfGuid(IID_ICorvalaAX, &dispatchInfo);
    g_cache.library = library;
    if (SUCCEEDED(hr))
        hr = VtableHalf(dispatchInfo, &g_cache.info);
    if (dispatchInfo != NULL)
        dispatchInfo->Release();
    if (SUCCEEDED(hr))
        hr = CacheMemberNames(g_cache.info);
    if (SUCCEEDED(hr) && !ModuleAddCleanup(ReleaseTypeInfo, NULL))
        hr = E_OUTOFMEMORY;
    if (FAILED(hr))
        ReleaseTypeInfo(NULL);
    return hr;
}

/* Loads the library on first need; later calls find it loaded. */
HRESULT EnsureTypeInfo(LCID lcid)
{
    CRITICAL_SECTION *guard = ModuleTypeInfoGuard();
    EnterCriticalSection(guard);
    HRESULT hr = g_cache.info != NULL ? S_OK : LoadTypeInfo(lcid);
    LeaveCriticalSection(guard);
    return hr;
}

} // namespace

HRESULT ControlTypeInfo(LCID lcid, ITypeInfo **out)
{
    *out = NULL;
    HRESULT hr = EnsureTypeInfo(lcid);
    if (SUCCEEDED(hr)) {
        g_cache.info->AddRef();
        *out = g_cache.info;
    }
    return hr;
}

HRESULT ControlClassInfo(ITypeInfo **out)
{
    *out = NULL;
    HRESULT hr = EnsureTypeInfo(0);
    if (SUCCEEDED(hr))
        hr = g_cache.library->GetTypeInfoOfGuid(CLSID_CorvalaAX, out);
    return hr;
}

bool CachedMemberId(LPCOLESTR name, DISPID *id)
{
    size_t length = wcslen(name);
    for (UINT i = 0; i < g_cache.nameCount; i++) {
        BSTR cached = g_cache.names[i].name;
        if (SysStringLen(cached) == length && memcmp(cached, name, length * sizeof(WCHAR)) == 0) {
            *id = g_cache.names[i].id;
            return true;
        }
    }
    return false;
}

/* --- IDispatch ----------------------------------------------------- */

STDMETHODIMP CorvalaAXControl::GetTypeInfoCount(UINT *count)
{
    if (count == NULL)
        return E_POINTER;
    *count = 1;
    return S_OK;
}

STDMETHODIMP CorvalaAXControl::GetTypeInfo(UINT index, LCID lcid, ITypeInfo **out)
{
    if (out == NULL)
        return E_POINTER;
    return ControlTypeInfo(lcid, out);
}

STDMETHODIMP CorvalaAXControl::GetIDsOfNames(REFIID riid, LPOLESTR *names, UINT count,
                                             LCID lcid, DISPID *ids)
{
    if (!IsEqualIID(riid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    if (names == NULL || ids == NULL)
        return E_POINTER;
    ITypeInfo *info;
    HRESULT hr = ControlTypeInfo(lcid, &info);
    if (FAILED(hr))
        return hr;
    if (count != 1 || names[0] == NULL || !CachedMemberId(names[0], &ids[0]))
        hr = info->GetIDsOfNames(names, count, ids);
    info->Release();
    return hr;
}

STDMETHODIMP CorvalaAXControl::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                                      DISPPARAMS *params, VARIANT *result,
                                      EXCEPINFO *exception, UINT *argError)
{
    if (!IsEqualIID(riid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    ITypeInfo *info;
    HRESULT hr = ControlTypeInfo(lcid, &info);
    if (FAILED(hr))
        return hr;
    hr = info->Invoke(static_cast<ICorvalaAX *>(this), id, flags, params, result, exception,
                      argError);
    info->Release();
    return hr;
}

/* --- IProvideClassInfo2 -------------------------------------------- */

STDMETHODIMP CorvalaAXControl::GetClassInfo(ITypeInfo **out)
{
    if (out == NULL)
        return E_POINTER;
    return ControlClassInfo(out);
}

STDMETHODIMP CorvalaAXControl::GetGUID(DWORD kind, GUID *out)
{
    if (out == NULL)
        return E_POINTER;
    /* The control fires no events: there is no outgoing interface. */
    *out = GUID_NULL;
    return E_FAIL;
}
