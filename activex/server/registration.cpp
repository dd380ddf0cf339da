/*
 * DllRegisterServer and DllUnregisterServer: the class rows' registration
 * scripts and the type library.
 */
#include "registration.h"

#include "handles.h"
#include "module.h"
#include "registrar.h"

#include <oleauto.h>
#include <string.h>

namespace {

const UINT kScriptResource = 101;

/* GetLastError as an HRESULT that is never a success. */
HRESULT LastErrorResult(void)
{
    DWORD error = GetLastError();
    return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
}

/* The module's full path; a path the buffer had to cut is refused rather
   than registered shortened. */
HRESULT ModulePathA(HINSTANCE module, char (&path)[MAX_PATH])
{
    DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
    if (length == 0)
        return LastErrorResult();
    if (length >= MAX_PATH)
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    return S_OK;
}

ScriptText Widen(const char *text, int length)
{
    int wide = MultiByteToWideChar(CP_ACP, 0, text, length, NULL, 0);
    ScriptText out(wide > 0 ? wide : 0, L'\0');
    if (wide > 0)
        MultiByteToWideChar(CP_ACP, 0, text, length, &out[0], wide);
    return out;
}

HRESULT ModulePathW(HINSTANCE module, ScriptText *path)
{
    char narrow[MAX_PATH];
    HRESULT hr = ModulePathA(module, narrow);
    if (SUCCEEDED(hr))
        *path = Widen(narrow, (int)strlen(narrow));
    return hr;
}

/* The script writes its texts in single quotes. */
ScriptText DoubleQuotes(const ScriptText &text)
{
    ScriptText out;
    for (wchar_t c : text) {
        out.push_back(c);
        if (c == L'\'')
            out.push_back(c);
    }
    return out;
}

/* The text of resource "REGISTRY" id, up to its first zero byte. */
HRESULT ReadScriptResource(const char *modulePath, UINT id, ScriptText *script)
{
    ScopedLibrary file(LoadLibraryExA(modulePath, NULL, LOAD_LIBRARY_AS_DATAFILE));
    if (!file)
        return LastErrorResult();
    HRSRC found = FindResourceA(file.Get(), MAKEINTRESOURCEA(id), "REGISTRY");
    if (found == NULL)
        return LastErrorResult();
    HGLOBAL loaded = LoadResource(file.Get(), found);
    const char *bytes = loaded != NULL ? (const char *)LockResource(loaded) : NULL;
    if (bytes == NULL)
        return LastErrorResult();
    DWORD size = SizeofResource(file.Get(), found);
    size_t length = strnlen(bytes, size);
    *script = Widen(bytes, (int)length);
    return S_OK;
}

/* path with its file name's extension replaced by ".tlb". */
ScriptText TypeLibFileBeside(const ScriptText &path)
{
    size_t name = path.find_last_of(L"\\/:");
    name = name == ScriptText::npos ? 0 : name + 1;
    size_t dot = path.rfind(L'.');
    if (dot == ScriptText::npos || dot < name)
        return path + L".tlb";
    return path.substr(0, dot) + L".tlb";
}

} // namespace

HRESULT UpdateRegistryFromResource(HINSTANCE module, UINT id, BOOL registering)
{
    char path[MAX_PATH];
    HRESULT hr = ModulePathA(module, path);
    if (FAILED(hr))
        return hr;
    ScriptText script;
    hr = ReadScriptResource(path, id, &script);
    if (FAILED(hr))
        return hr;
    ScriptText escaped = DoubleQuotes(Widen(path, (int)strlen(path)));
    const ScriptReplacement table[] = { { L"Module", escaped.c_str() } };
    return RunRegistrarScript(script, table, 1, registering);
}

HRESULT UpdateControlRegistry(BOOL registering)
{
    return UpdateRegistryFromResource(ModuleInstance(), kScriptResource, registering);
}

HRESULT RegisterModuleTypeLib(HINSTANCE module)
{
    ScriptText path;
    HRESULT hr = ModulePathW(module, &path);
    if (FAILED(hr))
        return hr;
    ITypeLib *library = NULL;
    hr = LoadTypeLib(path.c_str(), &library);
    if (FAILED(hr)) {
        path = TypeLibFileBeside(path);
        hr = LoadTypeLib(path.c_str(), &library);
        if (FAILED(hr))
            return hr;
    }
    size_t separator = path.find_last_of(L"\\/:");
    ScriptText helpDirectory = separator == ScriptText::npos ? ScriptText() : path.substr(0, separator + 1);
    hr = RegisterTypeLib(library, &path[0], &helpDirectory[0]);
    library->Release();
    return hr;
}

HRESULT RegisterServer(void)
{
    size_t rows = 0;
    ClassRow *table = ModuleClassTable(&rows);
    for (size_t i = 0; i < rows; i++) {
        if (table[i].description != NULL || table[i].updateRegistry == NULL)
            continue;
        HRESULT hr = table[i].updateRegistry(TRUE);
        if (FAILED(hr))
            return hr;
    }
    return RegisterModuleTypeLib(ModuleInstance());
}

HRESULT UnregisterServer(void)
{
    size_t rows = 0;
    ClassRow *table = ModuleClassTable(&rows);
    for (size_t i = 0; i < rows; i++) {
        if (table[i].description == NULL && table[i].updateRegistry != NULL)
            table[i].updateRegistry(FALSE);
    }
    return S_OK;
}
