/* The control's interface table and the lookup that every QueryInterface of
   the control runs. */
#include "identity.h"
#include "control_object.h"

HRESULT TableQueryInterface(void *object, const InterfaceRow *rows, size_t count,
                            REFIID riid, void **out)
{
    if (out == NULL)
        return E_POINTER;
    *out = NULL;
    if (count == 0)
        return E_NOINTERFACE;
    const InterfaceRow *found = NULL;
    if (IsEqualIID(riid, IID_IUnknown))
        found = &rows[0];
    for (size_t i = 0; found == NULL && i < count; i++) {
        if (IsEqualIID(riid, *rows[i].iid))
            found = &rows[i];
    }
    if (found == NULL)
        return E_NOINTERFACE;
    IUnknown *unknown = reinterpret_cast<IUnknown *>(static_cast<char *>(object) + found->offset);
    unknown->AddRef();
    *out = unknown;
    return S_OK;
}

/* Where the base class Interface starts inside a control object. */
template <class Interface>
static ptrdiff_t OffsetIn()
{
    CorvalaAXControl *object = reinterpret_cast<CorvalaAXControl *>(0x1000);
    return reinterpret_cast<char *>(static_cast<Interface *>(object)) -
           reinterpret_cast<char *>(object);
}

#define ROW(iid, Base) { &iid, OffsetIn<Base>() }

/* In the order containers are answered.  Interfaces that extend one
   another share the row of the most derived one. */
static const InterfaceRow kControlRows[] = {
    ROW(IID_ICorvalaAX, ICorvalaAX),
    ROW(IID_IDispatch, ICorvalaAX),
    ROW(IID_IViewObjectEx, IViewObjectEx),
    ROW(IID_IViewObject2, IViewObjectEx),
    ROW(IID_IViewObject, IViewObjectEx),
    ROW(IID_IOleInPlaceObjectWindowless, IOleInPlaceObjectWindowless),
    ROW(IID_IOleInPlaceObject, IOleInPlaceObjectWindowless),
    ROW(IID_IOleWindow, IOleInPlaceObjectWindowless),
    ROW(IID_IOleInPlaceActiveObject, IOleInPlaceActiveObject),
    ROW(IID_IOleControl, IOleControl),
    ROW(IID_IOleObject, IOleObject),
    ROW(IID_IQuickActivate, IQuickActivate),
    ROW(IID_IPersistStorage, IPersistStorage),
    ROW(IID_IPersistStreamInit, IPersistStreamInit),
    ROW(IID_ISpecifyPropertyPages, ISpecifyPropertyPages),
    ROW(IID_IDataObject, IDataObject),
    ROW(IID_IProvideClassInfo, IProvideClassInfo2),
    ROW(IID_IProvideClassInfo2, IProvideClassInfo2),
    ROW(IID_IPersistPropertyBag, IPersistPropertyBag),
    ROW(IID_IObjectSafety, IObjectSafety),
};

const InterfaceRow *ControlInterfaces(size_t *count)
{
    *count = sizeof kControlRows / sizeof kControlRows[0];
    return kControlRows;
}
