/* Shared set-up of the control-object tests; see object_testing.h. */
#include "object_testing.h"
#include "module.h"

#include "doctest_config.h"
#include "testbed.h"

namespace axtest {

std::string LibraryPath()
{
    return testbed::WinePath(CONTROL_LIBRARY_PATH);
}

void RegisterControlTypeLib()
{
    std::string path = LibraryPath();
    ITypeLib *typeLib = NULL;
    REQUIRE(LoadTypeLibEx(std::wstring(path.begin(), path.end()).c_str(), REGKIND_REGISTER, &typeLib) == S_OK);
    typeLib->Release();
}

HMODULE PrepareControl()
{
    static HMODULE library = NULL;
    if (library != NULL)
        return library;
    REQUIRE(SUCCEEDED(CoInitialize(NULL)));
    ModuleStart(NULL, 0, GetModuleHandleA(NULL));
    RegisterControlTypeLib();
    library = LoadLibraryExA(LibraryPath().c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    REQUIRE(library != NULL);
    SetControlIconModule(library);
    return library;
}

ICorvalaAX *NewControl()
{
    PrepareControl();
    ICorvalaAX *control = NULL;
    CHECK(CreateCorvalaAX(NULL, IID_ICorvalaAX, reinterpret_cast<void **>(&control)) == S_OK);
    return control;
}

CorvalaAXControl *ObjectOf(ICorvalaAX *control)
{
    return static_cast<CorvalaAXControl *>(control);
}

std::wstring Text(BSTR text)
{
    return text != NULL ? std::wstring(text, SysStringLen(text)) : std::wstring(L"(null)");
}

std::wstring PrintFileOf(ICorvalaAX *control)
{
    BSTR value = NULL;
    CHECK(control->get_PrintFile(&value) == S_OK);
    std::wstring text = Text(value);
    SysFreeString(value);
    return text;
}

void SetPrintFile(ICorvalaAX *control, const wchar_t *url)
{
    BSTR value = SysAllocString(url);
    CHECK(control->put_PrintFile(value) == S_OK);
    SysFreeString(value);
}

SIZEL ExtentOf(ICorvalaAX *control)
{
    return ObjectOf(control)->Extent();
}

} // namespace axtest
