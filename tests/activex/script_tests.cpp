/* A script reaches the registered control by its ProgID through cscript. */
#include "doctest_config.h"
#include "handles.h"
#include "testbed.h"

#include <objbase.h>

TEST_CASE("JScript creates the control by ProgID and sets and reads PrintFile")
{
    ScopedLibrary library(LoadLibraryA(testbed::WinePath(CONTROL_LIBRARY_PATH).c_str()));
    REQUIRE(library);
    typedef HRESULT(WINAPI * ServerEntry)(void);
    auto registerServer = reinterpret_cast<ServerEntry>(GetProcAddress(library.Get(), "DllRegisterServer"));
    auto unregisterServer = reinterpret_cast<ServerEntry>(GetProcAddress(library.Get(), "DllUnregisterServer"));
    REQUIRE(registerServer != NULL);
    REQUIRE(registerServer() == S_OK);
    std::string script = testbed::WinePath(PRINTFILE_SCRIPT_PATH);
    CHECK(testbed::RunProcess("C:\\windows\\system32\\cscript.exe",
                              "cscript.exe //nologo \"" + script + "\"", 60000) == 0);
    CHECK(unregisterServer() == S_OK);
}
