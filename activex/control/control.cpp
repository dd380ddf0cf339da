/* The control object: its life, its identity's IUnknown, the PrintFile
   property and the drawing routine. */
#include "control.h"
#include "control_object.h"
#include "identity.h"
#include "module.h"
#include "syscalls.h"

#include <new>

static const int kIconResource = 202;
/* Two inches square, in HIMETRIC. */
static const LONG kDefaultExtent = 5080;

static HINSTANCE g_iconModule = NULL;

void SetControlIconModule(HINSTANCE module)
{
    g_iconModule = module;
}

/* A copy of the icon that belongs to this control alone: the icon that
   LoadIconA returns is shared by every control of the process, and
   destroying it with one control would take it from the others. */
static HICON LoadOwnIcon()
{
    return static_cast<HICON>(LoadImageA(g_iconModule, MAKEINTRESOURCEA(kIconResource),
                                         IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
}

CorvalaAXControl::CorvalaAXControl(IUnknown *outer)
    : inner_(this),
      controlling_(outer != NULL ? outer : &inner_),
      aggregated_(outer != NULL),
      refs_(0),
      naturalExtent_{kDefaultExtent, kDefaultExtent},
      extent_{kDefaultExtent, kDefaultExtent},
      printFile_(SysAllocString(L"")),
      hIcon(LoadOwnIcon())
{
    ModuleLock();
}

CorvalaAXControl::~CorvalaAXControl()
{
    ReleaseOleState();
    ModuleUnlock();
    if (hIcon != NULL)
        DestroyIcon(hIcon);
    SysFreeString(printFile_);
}

void CorvalaAXControl::Destroy()
{
    this->~CorvalaAXControl();
    free(this);
}

/* --- identity ------------------------------------------------------ */

STDMETHODIMP CorvalaAXControl::QueryInterface(REFIID riid, void **out)
{
    HRESULT hr = controlling_->QueryInterface(riid, out);
    if (hr == E_NOINTERFACE && aggregated_) {
        size_t rows;
        const InterfaceRow *table = ControlInterfaces(&rows);
        hr = TableQueryInterface(this, table, rows, riid, out);
    }
    return hr;
}

STDMETHODIMP_(ULONG) CorvalaAXControl::AddRef()
{
    return controlling_->AddRef();
}

STDMETHODIMP_(ULONG) CorvalaAXControl::Release()
{
    return controlling_->Release();
}

STDMETHODIMP CorvalaAXControl::Inner::QueryInterface(REFIID riid, void **out)
{
    if (out != NULL && owner_->aggregated_ && IsEqualIID(riid, IID_IUnknown)) {
        AddRef();
        *out = static_cast<IUnknown *>(this);
        return S_OK;
    }
    size_t rows;
    const InterfaceRow *table = ControlInterfaces(&rows);
    return TableQueryInterface(owner_, table, rows, riid, out);
}

STDMETHODIMP_(ULONG) CorvalaAXControl::Inner::AddRef()
{
    return ++owner_->refs_;
}

STDMETHODIMP_(ULONG) CorvalaAXControl::Inner::Release()
{
    ULONG refs = --owner_->refs_;
    if (refs == 0)
        owner_->Destroy();
    return refs;
}

HRESULT CreateCorvalaAX(IUnknown *outer, REFIID riid, void **out)
{
    if (out == NULL)
        return E_POINTER;
    *out = NULL;
    if (outer != NULL && !IsEqualIID(riid, IID_IUnknown))
        return CLASS_E_NOAGGREGATION;
    void *memory = osCall(CorvMalloc)(sizeof(CorvalaAXControl));
    if (memory == NULL)
        return E_OUTOFMEMORY;
    CorvalaAXControl *control = new (memory) CorvalaAXControl(outer);
    IUnknown *inner = control->InnerUnknown();
    /* Hold the object while asking, so that a refused IID destroys it. */
    inner->AddRef();
    HRESULT hr = inner->QueryInterface(riid, out);
    inner->Release();
    return hr;
}

/* --- PrintFile ----------------------------------------------------- */

STDMETHODIMP CorvalaAXControl::get_PrintFile(BSTR *out)
{
    if (out == NULL)
        return E_POINTER;
    /* A NULL property has length 0 and copies as a new empty string; a
       failing allocation leaves NULL, which is still S_OK. */
    *out = SysAllocStringLen(printFile_, SysStringLen(printFile_));
    return S_OK;
}

STDMETHODIMP CorvalaAXControl::put_PrintFile(BSTR value)
{
    /* Copied up to the first NUL; NULL stores NULL.  The copy is made before
       the old string goes, so a caller may pass our own string back. */
    BSTR copy = SysAllocString(value);
    SysFreeString(printFile_);
    printFile_ = copy;
    return S_OK;
}

/* --- drawing ------------------------------------------------------- */

HRESULT CorvalaAXControl::DrawControl(const ControlDrawInfo &info)
{
    HRGN clip = CreateRectRgnIndirect(&info.bounds);
    if (clip != NULL) {
        SelectClipRgn(info.hdcDraw, clip);
        DeleteObject(clip);
    }
    if (hIcon != NULL)
        DrawIcon(info.hdcDraw, info.bounds.left, info.bounds.top, hIcon);
    return S_OK;
}

HRESULT DrawCorvalaAX(ICorvalaAX *control, const ControlDrawInfo &info)
{
    return static_cast<CorvalaAXControl *>(control)->DrawControl(info);
}
