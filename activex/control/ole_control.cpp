/* IOleControl and the ambient properties the control reads from its site:
   UserMode, which tells run mode from design mode, and the locale. */
#include "control_object.h"

#include <olectl.h>

STDMETHODIMP CorvalaAXControl::GetControlInfo(CONTROLINFO *)
{
    return E_NOTIMPL;
}

STDMETHODIMP CorvalaAXControl::OnMnemonic(MSG *)
{
    return E_NOTIMPL;
}

STDMETHODIMP CorvalaAXControl::OnAmbientPropertyChange(DISPID)
{
    return S_OK;
}

STDMETHODIMP CorvalaAXControl::FreezeEvents(BOOL freeze)
{
    freezeCount_ += freeze ? 1 : -1;
    return S_OK;
}

HRESULT CorvalaAXControl::GetAmbientProperty(DISPID id, VARIANT *value)
{
    VariantInit(value);
    if (ambientDispatch_ == NULL)
        return E_FAIL;
    DISPPARAMS none = {NULL, NULL, 0, 0};
    return ambientDispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                                    &none, value, NULL, NULL);
}

/* Design mode when the site's UserMode reads as false in whatever type it
   comes (FALSE, 0, "False"); only a UserMode that is missing, empty or
   cannot be read as a boolean at all counts as run mode, as in a host that
   offers no ambient properties. */
bool CorvalaAXControl::InDesignMode()
{
    VARIANT mode;
    HRESULT hr = GetAmbientProperty(DISPID_AMBIENT_USERMODE, &mode);
    bool design = SUCCEEDED(hr) && mode.vt != VT_EMPTY &&
                  SUCCEEDED(VariantChangeType(&mode, &mode, 0, VT_BOOL)) && mode.boolVal == VARIANT_FALSE;
    VariantClear(&mode);
    return design;
}

LCID CorvalaAXControl::AmbientLocale()
{
    VARIANT locale;
    LCID lcid = LOCALE_USER_DEFAULT;
    if (SUCCEEDED(GetAmbientProperty(DISPID_AMBIENT_LOCALEID, &locale)) &&
        SUCCEEDED(VariantChangeType(&locale, &locale, 0, VT_UI4)))
        lcid = locale.ulVal;
    VariantClear(&locale);
    return lcid;
}
