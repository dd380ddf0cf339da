/*
 * Runs a parsed registration script against the registry.
 *
 * Register mode walks each block top-down: Delete and ForceRemove first
 * delete a key with its subtree, then keys are created or opened and their
 * values set.  Removal mode walks bottom-up: what a key lists goes first,
 * then the key itself unless it is marked NoRemove.  Keys named CLSID or
 * TYPELIB hold every class and library of the machine: they are never
 * deleted with their subtree, only when nothing is left below them.
 */
#include "registrar.h"

#include "handles.h"

#include <vector>

namespace {

const REGSAM kKeyAccess = KEY_READ | KEY_WRITE | DELETE;

HKEY RootKey(ScriptRoot root)
{
    switch (root) {
    case ROOT_CLASSES_ROOT: return HKEY_CLASSES_ROOT;
    case ROOT_CURRENT_USER: return HKEY_CURRENT_USER;
    case ROOT_LOCAL_MACHINE: return HKEY_LOCAL_MACHINE;
    case ROOT_USERS: return HKEY_USERS;
    case ROOT_PERFORMANCE_DATA: return HKEY_PERFORMANCE_DATA;
    case ROOT_CURRENT_CONFIG: return HKEY_CURRENT_CONFIG;
    case ROOT_DYN_DATA: return HKEY_DYN_DATA;
    }
    return NULL;
}

LONG SetValue(HKEY key, const ScriptText &name, const ScriptValue &value)
{
    const wchar_t *valueName = name.empty() ? NULL : name.c_str();
    switch (value.type) {
    case VALUE_STRING:
        return RegSetValueExW(key, valueName, 0, REG_SZ, (const BYTE *)value.text.c_str(),
                              (DWORD)((value.text.size() + 1) * sizeof(wchar_t)));
    case VALUE_DWORD:
        return RegSetValueExW(key, valueName, 0, REG_DWORD, (const BYTE *)&value.number, sizeof(value.number));
    case VALUE_BINARY:
        return RegSetValueExW(key, valueName, 0, REG_BINARY, value.bytes.data(), (DWORD)value.bytes.size());
    case VALUE_NONE:
        break;
    }
    return ERROR_SUCCESS;
}

/* Deletes parent\name; a protected key only when it is empty.  A key that
   is not there counts as deleted. */
LONG DeleteKey(HKEY parent, const ScriptText &name)
{
    LONG error = IsProtectedKeyName(name) ? RegDeleteKeyW(parent, name.c_str())
                                          : RegDeleteTreeW(parent, name.c_str());
    return error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;
}

LONG RegisterEntries(HKEY key, const std::vector<ScriptEntry> &entries);

LONG RegisterEntry(HKEY parent, const ScriptEntry &entry)
{
    if (entry.isValue)
        return SetValue(parent, entry.name, entry.value);
    if (entry.deleteKey || entry.forceRemove) {
        /* A protected key is kept as it is: registering only adds to it. */
        LONG error = IsProtectedKeyName(entry.name) ? ERROR_SUCCESS : DeleteKey(parent, entry.name);
        if (error != ERROR_SUCCESS || entry.deleteKey)
            return error;
    }
    HKEY opened = NULL;
    LONG error = RegCreateKeyExW(parent, entry.name.c_str(), 0, NULL, 0, kKeyAccess, NULL, &opened, NULL);
    if (error != ERROR_SUCCESS)
        return error;
    ScopedRegKey key(opened);
    error = SetValue(key.Get(), ScriptText(), entry.value);
    if (error != ERROR_SUCCESS)
        return error;
    return RegisterEntries(key.Get(), entry.children);
}

LONG RegisterEntries(HKEY key, const std::vector<ScriptEntry> &entries)
{
    for (const ScriptEntry &entry : entries) {
        LONG error = RegisterEntry(key, entry);
        if (error != ERROR_SUCCESS)
            return error;
    }
    return ERROR_SUCCESS;
}

void RemoveEntries(HKEY key, const std::vector<ScriptEntry> &entries);

void RemoveEntry(HKEY parent, const ScriptEntry &entry)
{
    if (entry.isValue) {
        RegDeleteValueW(parent, entry.name.empty() ? NULL : entry.name.c_str());
        return;
    }
    if (entry.deleteKey)
        return;
    HKEY opened = NULL;
    if (RegOpenKeyExW(parent, entry.name.c_str(), 0, kKeyAccess, &opened) != ERROR_SUCCESS)
        return;
    ScopedRegKey key(opened);
    RemoveEntries(key.Get(), entry.children);
    key.Close();
    if (!entry.noRemove)
        DeleteKey(parent, entry.name);
}

void RemoveEntries(HKEY key, const std::vector<ScriptEntry> &entries)
{
    for (const ScriptEntry &entry : entries)
        RemoveEntry(key, entry);
}

} // namespace

HRESULT RunRegistrarScript(const ScriptText &script, const ScriptReplacement *table, size_t count,
                           BOOL registering)
{
    ScriptText text;
    ScriptStatus status = SubstituteScript(script, table, count, &text);
    std::vector<ScriptBlock> blocks;
    if (status == SCRIPT_OK)
        status = ParseScript(text, &blocks);
    if (status == SCRIPT_NAME_TOO_LONG)
        return E_FAIL;
    if (status != SCRIPT_OK)
        return DISP_E_EXCEPTION;

    for (const ScriptBlock &block : blocks) {
        HKEY root = RootKey(block.root);
        if (!registering) {
            RemoveEntries(root, block.entries);
            continue;
        }
        LONG error = RegisterEntries(root, block.entries);
        if (error != ERROR_SUCCESS) {
            RemoveEntries(root, block.entries);
            return HRESULT_FROM_WIN32(error);
        }
    }
    return S_OK;
}
