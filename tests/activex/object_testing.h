/*
 * What the control-object tests share: the control's core linked into the
 * test program, its module started, its type library registered from the
 * built library, and its icon taken from there.  The canvas and the outer
 * object are header-only, for the other control test programs too.
 */
#ifndef CORVALA_AX_OBJECT_TESTING_H
#define CORVALA_AX_OBJECT_TESTING_H

#include "control.h"
#include "control_object.h"

#include <algorithm>
#include <string>

namespace axtest {

/* A 100 x 100 32-bit bitmap in a memory DC, filled with a colour the icon
   does not use. */
struct Canvas {
    static const int kSize = 100;
    static const DWORD kPaper = 0xFF00FF;
    HDC dc = CreateCompatibleDC(NULL);
    DWORD *bits = NULL;
    HBITMAP bitmap;
    Canvas()
    {
        BITMAPINFO info = {{sizeof(BITMAPINFOHEADER), kSize, -kSize, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void **>(&bits), NULL, 0);
        SelectObject(dc, bitmap);
        std::fill(bits, bits + kSize * kSize, kPaper);
    }
    ~Canvas() { DeleteDC(dc); DeleteObject(bitmap); }
    bool Drawn(int x, int y) const { return bits[y * kSize + x] != kPaper; }
    /* Pixels drawn outside r. */
    int DrawnOutside(RECT r) const
    {
        int count = 0;
        for (int i = 0; i < kSize * kSize; i++)
            count += bits[i] != kPaper && !PtInRect(&r, POINT{i % kSize, i / kSize});
        return count;
    }
};

/* An outer object that answers IUnknown only and counts what reaches it. */
struct TestOuter : IUnknown {
    int queries = 0, addRefs = 0, releases = 0;
    STDMETHODIMP QueryInterface(REFIID riid, void **out) override
    {
        queries++;
        *out = IsEqualIID(riid, IID_IUnknown) ? this : NULL;
        return *out != NULL ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++addRefs; }
    STDMETHODIMP_(ULONG) Release() override { return ++releases; }
};

/* The built control library, as Wine names it. */
std::string LibraryPath();
/* Registers the type library carried by the built control library. */
void RegisterControlTypeLib();

/* Initializes COM, starts the module and registers the type library, once
   per program; returns the library's module (loaded as data). */
HMODULE PrepareControl();

/* A new plain control, or NULL. */
ICorvalaAX *NewControl();

/* The object behind a control's interface. */
CorvalaAXControl *ObjectOf(ICorvalaAX *control);

std::wstring Text(BSTR text);
std::wstring PrintFileOf(ICorvalaAX *control);
void SetPrintFile(ICorvalaAX *control, const wchar_t *url);

/* The current extent in HIMETRIC. */
SIZEL ExtentOf(ICorvalaAX *control);

} // namespace axtest

#endif
