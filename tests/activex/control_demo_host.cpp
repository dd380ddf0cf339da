/* A small container that uses the control the way a web page does, for the
   end-to-end test and `scripts/demo.sh control`:
     control-demo-host <control library> <url> [close-during-transfer]
   Registers the library, creates the control by its ProgID, gives it the
   URL as "PrintFile" through a property bag, activates it in place in run
   mode inside a window of its own, and pumps messages until the viewer the
   control started has ended.  Then it closes the control and unregisters
   the library.  Says what happened on standard output; exit code 0 when the
   viewer ran, ended with 0 and left no temporary file behind. */
#include <windows.h>
#include <ole2.h>
#include <olectl.h>
#include <ocidl.h>
#include <tlhelp32.h>

#include <stdio.h>
#include <string.h>
#include <set>
#include <string>

#include "handles.h"

namespace {

const DWORD kViewerTimeoutMs = 120000;
const char kAppPaths[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Corvala Viewer.exe";

/* A web page's site: in-place activation in a window, ambient UserMode
   TRUE (run mode), nothing else. */
struct PageSite : IOleClientSite, IOleInPlaceSite, IDispatch {
    HWND window = NULL;
    RECT position = {10, 10, 74, 74};

    STDMETHODIMP QueryInterface(REFIID riid, void **out) override
    {
        *out = nullptr;
        if (riid == IID_IUnknown || riid == IID_IOleClientSite)
            *out = static_cast<IOleClientSite *>(this);
        else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceSite)
            *out = static_cast<IOleInPlaceSite *>(this);
        else if (riid == IID_IDispatch)
            *out = static_cast<IDispatch *>(this);
        return *out ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    /* IOleClientSite */
    STDMETHODIMP SaveObject() override { return S_OK; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker **) override { return E_NOTIMPL; }
    STDMETHODIMP GetContainer(IOleContainer **out) override { *out = nullptr; return E_NOINTERFACE; }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    /* IOleInPlaceSite */
    STDMETHODIMP GetWindow(HWND *out) override { *out = window; return S_OK; }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame **frame, IOleInPlaceUIWindow **document, LPRECT pos, LPRECT clip,
                                  LPOLEINPLACEFRAMEINFO) override
    {
        *frame = nullptr;
        *document = nullptr;
        *pos = *clip = position;
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
    STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
    STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
    STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }

    /* IDispatch: the ambient UserMode only. */
    STDMETHODIMP GetTypeInfoCount(UINT *count) override { *count = 0; return S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo **) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *result, EXCEPINFO *, UINT *) override
    {
        if (id != DISPID_AMBIENT_USERMODE || result == nullptr)
            return DISP_E_MEMBERNOTFOUND;
        result->vt = VT_BOOL;
        result->boolVal = VARIANT_TRUE;
        return S_OK;
    }
};

/* The page's <param name="PrintFile" value="..."> as a property bag. */
struct PageBag : IPropertyBag {
    std::wstring printFile;

    STDMETHODIMP QueryInterface(REFIID riid, void **out) override
    {
        *out = riid == IID_IUnknown || riid == IID_IPropertyBag ? static_cast<IPropertyBag *>(this) : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP Read(LPCOLESTR name, VARIANT *value, IErrorLog *) override
    {
        if (lstrcmpiW(name, L"PrintFile") != 0)
            return E_INVALIDARG;
        VariantInit(value);
        value->vt = VT_BSTR;
        value->bstrVal = SysAllocStringLen(printFile.data(), (UINT)printFile.size());
        return value->bstrVal != nullptr ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP Write(LPCOLESTR, VARIANT *) override { return E_NOTIMPL; }
};

typedef HRESULT(WINAPI *ServerFunction)(void);

HRESULT CallServer(HMODULE library, const char *name)
{
    ServerFunction function = (ServerFunction)(void *)GetProcAddress(library, name);
    return function != nullptr ? function() : HRESULT_FROM_WIN32(GetLastError());
}

std::wstring Widen(const char *text)
{
    int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring wide(length > 0 ? length : 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], length);
    wide.resize(wide.size() - 1);
    return wide;
}

/* The file name of the program registered as the viewer. */
std::string ViewerFileName()
{
    char path[MAX_PATH] = "Corvala Viewer.exe";
    DWORD size = sizeof(path);
    RegGetValueA(HKEY_LOCAL_MACHINE, kAppPaths, nullptr, RRF_RT_REG_SZ, nullptr, path, &size);
    const char *slash = strrchr(path, '\\');
    return slash != nullptr ? slash + 1 : path;
}

/* A running child of this process called fileName, opened for waiting. */
HANDLE OpenViewerChild(const std::string &fileName)
{
    ScopedFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    if (!snapshot.IsValid() || !Process32First(snapshot.Get(), &entry))
        return NULL;
    do {
        if (entry.th32ParentProcessID == GetCurrentProcessId() && lstrcmpiA(entry.szExeFile, fileName.c_str()) == 0)
            return OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
    } while (Process32Next(snapshot.Get(), &entry));
    return NULL;
}

/* The control's temporary files (CVT*.tmp) now in the temporary folder. */
std::set<std::string> TempFiles()
{
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    std::set<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((std::string(dir) + "CVT*.tmp").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found))
        names.insert(std::string(dir) + found.cFileName);
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
    return names;
}

void PumpWaiting(HANDLE object, DWORD ms)
{
    MsgWaitForMultipleObjects(object != NULL ? 1 : 0, &object, FALSE, ms, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

/* What the control's job did once activated. */
struct JobOutcome {
    std::string tempFile;   /* the file it downloaded into, if seen */
    bool viewerSeen = false;
    DWORD viewerExit = (DWORD)-1;
};

/* Pumps the apartment (the download runs on it) until the viewer has
   started and ended, or the time is up. */
JobOutcome PumpUntilViewerEnds(const std::set<std::string> &tempBefore)
{
    JobOutcome outcome;
    std::string viewerName = ViewerFileName();
    ScopedKernelHandle viewer;
    for (DWORD start = GetTickCount(); GetTickCount() - start < kViewerTimeoutMs;) {
        if (outcome.tempFile.empty())
            for (const std::string &name : TempFiles())
                if (tempBefore.count(name) == 0)
                    outcome.tempFile = name;
        if (!viewer.IsValid()) {
            viewer = ScopedKernelHandle(OpenViewerChild(viewerName));
            if (viewer.IsValid()) {
                outcome.viewerSeen = true;
                printf("the job downloaded into %s and started %s\n", outcome.tempFile.c_str(),
                       viewerName.c_str());
                fflush(stdout);
            }
        }
        PumpWaiting(viewer.Get(), 50);
        if (viewer.IsValid() && WaitForSingleObject(viewer.Get(), 0) == WAIT_OBJECT_0) {
            GetExitCodeProcess(viewer.Get(), &outcome.viewerExit);
            break;
        }
    }
    return outcome;
}

/* Pumps until the job's temporary file appears; its name, or "". */
std::string PumpUntilTempFile(const std::set<std::string> &tempBefore)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < 20000;) {
        for (const std::string &name : TempFiles())
            if (tempBefore.count(name) == 0)
                return name;
        PumpWaiting(NULL, 50);
    }
    return "";
}

/* Creates the registered control, loads the bag, activates it in run mode
   and waits for the viewer; 0 when everything went as it should.  With
   closing, the page goes away as soon as the transfer has begun, and the
   process ends with the job unfinished: 0 when its file was there. */
int HostControl(const std::wstring &url, bool closing)
{
    CLSID clsid;
    IOleObject *object = nullptr;
    HRESULT hr = CLSIDFromProgID(L"CorvalaAX.CorvalaAX.1", &clsid);
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, (void **)&object);
    if (FAILED(hr)) {
        printf("the control could not be created: 0x%08lx\n", (unsigned long)hr);
        return 3;
    }
    HWND window = CreateWindowExA(0, "STATIC", "Corvala control demo", WS_POPUP | WS_VISIBLE, 0, 0, 200, 120,
                                  NULL, NULL, NULL, NULL);
    PageSite site;
    site.window = window;
    PageBag bag;
    bag.printFile = url;
    IPersistPropertyBag *persist = nullptr;
    object->SetClientSite(&site);
    hr = object->QueryInterface(IID_IPersistPropertyBag, (void **)&persist);
    if (SUCCEEDED(hr)) {
        hr = persist->Load(&bag, nullptr);
        persist->Release();
    }
    printf("PrintFile loaded from the property bag: 0x%08lx\n", (unsigned long)hr);
    std::set<std::string> tempBefore = TempFiles();
    if (SUCCEEDED(hr))
        hr = object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, window, &site.position);
    printf("activated in place in run mode: 0x%08lx\n", (unsigned long)hr);
    fflush(stdout);
    JobOutcome outcome;
    if (SUCCEEDED(hr) && closing)
        outcome.tempFile = PumpUntilTempFile(tempBefore);
    else if (SUCCEEDED(hr))
        outcome = PumpUntilViewerEnds(tempBefore);
    object->Close(OLECLOSE_NOSAVE);
    object->SetClientSite(nullptr);
    object->Release();
    DestroyWindow(window);
    if (FAILED(hr))
        return 3;
    if (closing) {
        printf("the browser closes during the transfer into %s\n", outcome.tempFile.c_str());
        return outcome.tempFile.empty() ? 4 : 0;
    }
    if (!outcome.viewerSeen) {
        printf("no viewer was started\n");
        return 4;
    }
    printf("the viewer ended with exit code %lu\n", (unsigned long)outcome.viewerExit);
    bool tempGone = TempFiles().count(outcome.tempFile) == 0;
    printf("the temporary file %s %s\n", outcome.tempFile.c_str(), tempGone ? "is gone" : "is still there");
    return outcome.viewerExit == 0 && tempGone && !outcome.tempFile.empty() ? 0 : 5;
}

} // namespace

int main(int argc, char **argv)
{
    bool closing = argc == 4 && strcmp(argv[3], "close-during-transfer") == 0;
    if (argc != 3 && !closing) {
        fprintf(stderr, "usage: control-demo-host <control library> <url> [close-during-transfer]\n");
        return 2;
    }
    if (FAILED(OleInitialize(nullptr)))
        return 2;
    int rc = 2;
    {
        ScopedLibrary library(LoadLibraryA(argv[1]));
        HRESULT hr = library.IsValid() ? CallServer(library.Get(), "DllRegisterServer") : E_FAIL;
        printf("registered %s: 0x%08lx\n", argv[1], (unsigned long)hr);
        if (SUCCEEDED(hr)) {
            rc = HostControl(Widen(argv[2]), closing);
            CoFreeUnusedLibraries();
            CallServer(library.Get(), "DllUnregisterServer");
        }
    }
    OleUninitialize();
    return rc;
}
