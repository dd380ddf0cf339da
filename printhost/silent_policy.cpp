#include "silent_policy.h"

#include <windows.h>
#include <wchar.h>

#include "ansi_names.h"
#include "handles.h"
#include "wide_text.h"

namespace {

const wchar_t kPolicyKey[] = L"SOFTWARE\\Policies\\Corvala\\Corvala400\\SilentPrinting";
const DWORD kMaxValueName = 16383;   /* the registry's limit, in characters */

/* The key's value whose name is origin, character for character: the
   registry's own lookup ignores letter case, so every name is compared. */
bool FindExactName(HKEY key, const std::wstring &origin, std::wstring *name)
{
    name->resize(kMaxValueName + 1);
    for (DWORD index = 0;; index++) {
        DWORD length = kMaxValueName + 1;
        LONG status = RegEnumValueW(key, index, &(*name)[0], &length, NULL, NULL, NULL, NULL);
        if (status == ERROR_NO_MORE_ITEMS)
            return false;
        if (status == ERROR_SUCCESS && length == origin.size() && wmemcmp(name->data(), origin.data(), length) == 0) {
            name->resize(length);
            return true;
        }
    }
}

/* The value's printer as the command line carries it: REG_SZ only. */
bool ReadPrinter(HKEY key, const std::wstring &name, std::string *printer)
{
    wchar_t data[SILENT_PRINTER_CAPACITY + 1];
    DWORD type = 0, size = sizeof(data) - sizeof(wchar_t);
    if (RegQueryValueExW(key, name.c_str(), NULL, &type, (BYTE *)data, &size) != ERROR_SUCCESS || type != REG_SZ)
        return false;
    data[size / sizeof(wchar_t)] = L'\0';   /* the data need not end in one */
    for (const wchar_t *c = data; *c != L'\0'; c++)
        if (*c < 0x20 || *c == 0x7F || *c == L'"')
            return false;
    char ansi[SILENT_PRINTER_CAPACITY * 2 + 1];
    if (!WideToAnsiExact(data, ansi, (int)sizeof(ansi)))
        return false;
    printer->assign(ansi);
    return true;
}

} // namespace

bool FindSilentPrinter(const std::string &origin, std::string *printer)
{
    printer->clear();
    std::wstring wide = WideFromUtf8(origin), name;
    HKEY opened = NULL;
    if (wide.empty() || RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPolicyKey, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY,
                                      &opened) != ERROR_SUCCESS)
        return false;
    ScopedRegKey key(opened);
    return FindExactName(key.Get(), wide, &name) && ReadPrinter(key.Get(), name, printer);
}
