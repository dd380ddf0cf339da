/* Wine's own ATL host as an independent container: the registered control
   created by ProgID in an "AtlAxWin" window, activated, painted, closed. */
#include "doctest_config.h"
#include "testbed.h"

#include <ole2.h>
#include <olectl.h>
#include <ocidl.h>

namespace {

typedef HRESULT(WINAPI *ServerFunction)(void);

/* Lets the host window and its control handle what is queued. */
void Pump()
{
    MSG msg;
    for (int round = 0; round < 20; round++) {
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        Sleep(10);
    }
}

} // namespace

TEST_CASE("hosted by Wine's ATL: windowless, registry answers, painted, closed")
{
    REQUIRE(SUCCEEDED(OleInitialize(nullptr)));
    HMODULE library = LoadLibraryA(testbed::WinePath(AX_LIBRARY_PATH).c_str());
    REQUIRE(library != NULL);
    REQUIRE(((ServerFunction)GetProcAddress(library, "DllRegisterServer"))() == S_OK);
    HMODULE atl = LoadLibraryA("atl.dll");
    REQUIRE(atl != NULL);
    REQUIRE(((BOOL(WINAPI *)(void))GetProcAddress(atl, "AtlAxWinInit"))());
    auto getControl = (HRESULT(WINAPI *)(HWND, IUnknown **))GetProcAddress(atl, "AtlAxGetControl");

    HWND host = CreateWindowExA(0, "AtlAxWin", "CorvalaAX.CorvalaAX.1", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100,
                                NULL, NULL, NULL, NULL);
    REQUIRE(host != NULL);
    Pump();
    IUnknown *control = nullptr;
    REQUIRE(getControl(host, &control) == S_OK);
    IOleObject *object = nullptr;
    REQUIRE(control->QueryInterface(IID_IOleObject, (void **)&object) == S_OK);
    DWORD misc = 0;
    CHECK(object->GetMiscStatus(DVASPECT_CONTENT, &misc) == S_OK);
    CHECK(misc == 131473);
    CHECK(object->GetMiscStatus(DVASPECT_CONTENT, NULL) == E_POINTER);
    CHECK(object->GetUserType(USERCLASSTYPE_SHORT, NULL) == E_POINTER);
    LPOLESTR name = nullptr;
    CHECK(object->GetUserType(USERCLASSTYPE_SHORT, &name) == S_OK);
    CHECK((name != nullptr && name[0] != 0));
    CoTaskMemFree(name);
    IEnumOLEVERB *verbs = nullptr;
    CHECK(object->EnumVerbs(&verbs) == REGDB_E_KEYMISSING);

    /* The host grants windowless activation: no window, drawn by the host. */
    IOleInPlaceObject *inPlace = nullptr;
    REQUIRE(control->QueryInterface(IID_IOleInPlaceObject, (void **)&inPlace) == S_OK);
    HWND hwnd = NULL;
    CHECK(inPlace->GetWindow(&hwnd) == E_FAIL);
    RedrawWindow(host, NULL, NULL, RDW_INVALIDATE | RDW_UPDATENOW);
    Pump();
    HDC dc = GetDC(host);
    CHECK(GetPixel(dc, 15, 20) == RGB(192, 192, 192));   /* the printer's body */
    CHECK(GetPixel(dc, 3, 13) == RGB(0, 0, 0));          /* its corner */
    ReleaseDC(host, dc);

    inPlace->Release();
    object->Release();
    control->Release();
    DestroyWindow(host);
    Pump();
    CHECK(((ServerFunction)GetProcAddress(library, "DllUnregisterServer"))() == S_OK);
    OleUninitialize();
}
