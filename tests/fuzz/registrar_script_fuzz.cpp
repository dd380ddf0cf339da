/* libFuzzer harness for the registration-script language: any bytes are
   substituted and parsed or refused without fault, and every script that
   parses prints back to text that parses to the same tree. */
#include "registrar_script.h"

#include <stdlib.h>

namespace {

ScriptText Quoted(const ScriptText &text)
{
    ScriptText out = L"'";
    for (wchar_t c : text) {
        out.push_back(c);
        if (c == L'\'')
            out.push_back(c);
    }
    return out + L"'";
}

ScriptText Printed(const ScriptValue &value)
{
    static const wchar_t hex[] = L"0123456789abcdef";
    switch (value.type) {
    case VALUE_STRING:
        return L" = s " + Quoted(value.text);
    case VALUE_DWORD:
        return L" = d " + std::to_wstring(value.number);
    case VALUE_BINARY: {
        ScriptText digits;
        for (uint8_t b : value.bytes) {
            digits.push_back(hex[b >> 4]);
            digits.push_back(hex[b & 15]);
        }
        return L" = b " + Quoted(digits);
    }
    case VALUE_NONE:
        break;
    }
    return ScriptText();
}

void Print(const std::vector<ScriptEntry> &entries, ScriptText *out)
{
    for (const ScriptEntry &entry : entries) {
        *out += entry.isValue ? L"val " : L"";
        *out += entry.forceRemove ? L"ForceRemove " : L"";
        *out += entry.noRemove ? L"NoRemove " : L"";
        *out += entry.deleteKey ? L"Delete " : L"";
        *out += Quoted(entry.name) + Printed(entry.value) + L"\r\n";
        if (!entry.children.empty()) {
            *out += L"{\r\n";
            Print(entry.children, out);
            *out += L"}\r\n";
        }
    }
}

bool Same(const std::vector<ScriptEntry> &a, const std::vector<ScriptEntry> &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); i++) {
        const ScriptEntry &x = a[i], &y = b[i];
        if (x.isValue != y.isValue || x.forceRemove != y.forceRemove || x.noRemove != y.noRemove ||
            x.deleteKey != y.deleteKey || x.name != y.name || x.value.type != y.value.type ||
            x.value.text != y.value.text || x.value.number != y.value.number || x.value.bytes != y.value.bytes ||
            !Same(x.children, y.children))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    /* One byte per code unit, as an ANSI resource widens. */
    ScriptText text(data, data + size);
    const ScriptReplacement table[] = { { L"Module", L"C:\\it''s\\x.dll" } };
    ScriptText substituted;
    if (SubstituteScript(text, table, 1, &substituted) != SCRIPT_OK)
        return 0;
    std::vector<ScriptBlock> blocks;
    if (ParseScript(substituted, &blocks) != SCRIPT_OK)
        return 0;

    static const wchar_t *roots[] = { L"HKCR", L"HKCU", L"HKLM", L"HKU", L"HKPD", L"HKCC", L"HKDD" };
    ScriptText printed;
    for (const ScriptBlock &block : blocks) {
        printed += ScriptText(roots[block.root]) + L"\r\n{\r\n";
        Print(block.entries, &printed);
        printed += L"}\r\n";
    }
    std::vector<ScriptBlock> again;
    if (ParseScript(printed, &again) != SCRIPT_OK || again.size() != blocks.size())
        abort();
    for (size_t i = 0; i < blocks.size(); i++) {
        if (again[i].root != blocks[i].root || !Same(again[i].entries, blocks[i].entries))
            abort();
    }
    return 0;
}
