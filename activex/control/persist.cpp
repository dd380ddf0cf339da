/* Persistence of the control's three properties: _cx and _cy (the current
   extent) and PrintFile, in property bags, streams, and the "Contents"
   stream of a storage.  PrintFile is read and written through the object's
   dispatch interface, as a script would. */
#include "control_object.h"
#include "stream_format.h"

#include <string.h>

static const DISPID kPrintFileId = 1;
static const WCHAR kContentsStream[] = L"Contents";

HRESULT CorvalaAXControl::GetPrintFileVariant(VARIANT *value)
{
    DISPPARAMS none = {NULL, NULL, 0, 0};
    VariantInit(value);
    HRESULT hr = Invoke(kPrintFileId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                        value, NULL, NULL);
    return SUCCEEDED(hr) ? S_OK : E_FAIL;
}

HRESULT CorvalaAXControl::PutPrintFileVariant(VARIANT *value)
{
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params = {value, &named, 1, 1};
    HRESULT hr = Invoke(kPrintFileId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params,
                        NULL, NULL, NULL);
    return SUCCEEDED(hr) ? S_OK : E_FAIL;
}

/* --- shared by the three interfaces -------------------------------- */

STDMETHODIMP CorvalaAXControl::GetClassID(CLSID *out)
{
    if (out == NULL)
        return E_POINTER;
    *out = CLSID_CorvalaAX;
    return S_OK;
}

/* The control never marks itself as changed. */
STDMETHODIMP CorvalaAXControl::IsDirty()
{
    return S_FALSE;
}

STDMETHODIMP CorvalaAXControl::InitNew()
{
    return S_OK;
}

/* --- IPersistStreamInit -------------------------------------------- */

namespace {

/* Feeds the stream decoder from an IStream, remembering a read failure. */
class StreamSource : public axstream::ByteSource {
public:
    explicit StreamSource(IStream *stream) : stream_(stream), failure_(S_OK) {}
    bool Read(void *into, size_t size) override
    {
        ULONG got = 0;
        HRESULT hr = stream_->Read(into, static_cast<ULONG>(size), &got);
        if (FAILED(hr))
            failure_ = hr;
        return SUCCEEDED(hr) && got == size;
    }
    HRESULT Failure() const { return failure_; }

private:
    IStream *stream_;
    HRESULT failure_;
};

/* The decoded PrintFile as the VARIANT that the property put receives. */
HRESULT StoredValueToVariant(const axstream::StoredValue &stored, VARIANT *value)
{
    VariantInit(value);
    if (stored.type != VT_BSTR) {
        value->vt = stored.type;
        memcpy(&value->bVal, stored.number, stored.numberSize);
        return S_OK;
    }
    value->vt = VT_BSTR;
    if (stored.isNull)
        return S_OK;
    value->bstrVal = SysAllocStringLen(reinterpret_cast<const OLECHAR *>(stored.text.data()),
                                       static_cast<UINT>(stored.text.size()));
    return value->bstrVal != NULL ? S_OK : E_OUTOFMEMORY;
}

} // namespace

/* The whole stream is read and checked before anything changes, so a
   refused stream leaves every property as it was. */
STDMETHODIMP CorvalaAXControl::Load(IStream *stream)
{
    if (stream == NULL)
        return E_POINTER;
    StreamSource source(stream);
    axstream::StoredProperties stored;
    axstream::DecodeResult result = axstream::DecodeProperties(source, &stored);
    if (result == axstream::DecodeResult::Short && FAILED(source.Failure()))
        return source.Failure();
    if (result != axstream::DecodeResult::Ok)
        return E_FAIL;
    VARIANT value;
    HRESULT hr = StoredValueToVariant(stored.printFile, &value);
    if (SUCCEEDED(hr))
        hr = PutPrintFileVariant(&value);
    VariantClear(&value);
    if (FAILED(hr))
        return hr;
    extent_.cx = static_cast<LONG>(stored.cx);
    extent_.cy = static_cast<LONG>(stored.cy);
    return S_OK;
}

HRESULT CorvalaAXControl::SaveToStream(IStream *stream)
{
    VARIANT value;
    HRESULT hr = GetPrintFileVariant(&value);
    if (FAILED(hr))
        return hr;
    axstream::StoredProperties stored;
    stored.cx = static_cast<uint32_t>(extent_.cx);
    stored.cy = static_cast<uint32_t>(extent_.cy);
    if (value.vt != VT_BSTR)
        hr = E_FAIL;
    else if (value.bstrVal == NULL)
        stored.printFile.isNull = true;
    else
        stored.printFile.text.assign(reinterpret_cast<const char16_t *>(value.bstrVal),
                                     SysStringLen(value.bstrVal));
    VariantClear(&value);
    std::vector<uint8_t> bytes;
    if (SUCCEEDED(hr) && !axstream::EncodeProperties(stored, &bytes))
        hr = E_FAIL;
    if (FAILED(hr))
        return hr;
    ULONG written = 0;
    hr = stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    if (SUCCEEDED(hr) && written != bytes.size())
        hr = STG_E_MEDIUMFULL;
    return hr;
}

STDMETHODIMP CorvalaAXControl::Save(IStream *stream, BOOL clearDirty)
{
    if (stream == NULL)
        return E_POINTER;
    return SaveToStream(stream);
}

STDMETHODIMP CorvalaAXControl::GetSizeMax(ULARGE_INTEGER *size)
{
    return E_NOTIMPL;
}

/* --- IPersistStorage ----------------------------------------------- */

STDMETHODIMP CorvalaAXControl::InitNew(IStorage *storage)
{
    return InitNew();
}

STDMETHODIMP CorvalaAXControl::Load(IStorage *storage)
{
    if (storage == NULL)
        return E_POINTER;
    IStream *stream;
    HRESULT hr = storage->OpenStream(kContentsStream, NULL, STGM_DIRECT | STGM_SHARE_EXCLUSIVE, 0,
                                     &stream);
    if (FAILED(hr))
        return hr;
    hr = Load(stream);
    stream->Release();
    return hr;
}

STDMETHODIMP CorvalaAXControl::Save(IStorage *storage, BOOL sameAsLoad)
{
    if (storage == NULL)
        return E_POINTER;
    IStream *stream;
    HRESULT hr = storage->CreateStream(kContentsStream,
                                       STGM_CREATE | STGM_SHARE_EXCLUSIVE | STGM_READWRITE, 0, 0,
                                       &stream);
    if (FAILED(hr))
        return hr;
    hr = Save(stream, sameAsLoad);
    stream->Release();
    return hr;
}

STDMETHODIMP CorvalaAXControl::SaveCompleted(IStorage *storage)
{
    return S_OK;
}

STDMETHODIMP CorvalaAXControl::HandsOffStorage()
{
    return S_OK;
}

/* --- IPersistPropertyBag ------------------------------------------- */

/* A bag may answer in another type than asked (a page's parameter comes
   as text): the value is kept only when it converts to a 32-bit number. */
static void ReadExtentField(IPropertyBag *bag, IErrorLog *log, LPCOLESTR name, LONG *field)
{
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_UI4;
    if (SUCCEEDED(bag->Read(name, &value, log)) &&
        SUCCEEDED(VariantChangeType(&value, &value, 0, VT_UI4)))
        *field = static_cast<LONG>(value.ulVal);
    VariantClear(&value);
}

STDMETHODIMP CorvalaAXControl::Load(IPropertyBag *bag, IErrorLog *log)
{
    if (bag == NULL)
        return E_POINTER;
    ReadExtentField(bag, log, L"_cx", &extent_.cx);
    ReadExtentField(bag, log, L"_cy", &extent_.cy);
    /* The current value tells the bag which type is wanted. */
    VARIANT current;
    HRESULT hr = GetPrintFileVariant(&current);
    if (FAILED(hr))
        return hr;
    VARIANT value;
    VariantInit(&value);
    value.vt = current.vt;
    VariantClear(&current);
    if (SUCCEEDED(bag->Read(L"PrintFile", &value, log)))
        hr = PutPrintFileVariant(&value);
    VariantClear(&value);
    return hr;
}

static HRESULT WriteExtentField(IPropertyBag *bag, LPCOLESTR name, LONG field)
{
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_UI4;
    value.ulVal = static_cast<ULONG>(field);
    return bag->Write(name, &value);
}

STDMETHODIMP CorvalaAXControl::Save(IPropertyBag *bag, BOOL clearDirty, BOOL saveAll)
{
    if (bag == NULL)
        return E_POINTER;
    HRESULT hr = WriteExtentField(bag, L"_cx", extent_.cx);
    if (SUCCEEDED(hr))
        hr = WriteExtentField(bag, L"_cy", extent_.cy);
    if (FAILED(hr))
        return hr;
    VARIANT value;
    hr = GetPrintFileVariant(&value);
    if (SUCCEEDED(hr))
        hr = bag->Write(L"PrintFile", &value);
    VariantClear(&value);
    return hr;
}
