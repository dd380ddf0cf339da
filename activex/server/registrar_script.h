/*
 * The registration script language: text to a tree of keys and values.
 *
 *   HKCR
 *   {
 *       Name = s 'text'            key with its default value
 *       {
 *           val Other = d 42       named value of the enclosing key
 *           ForceRemove Sub        deleted and created afresh on registering
 *       }
 *       NoRemove Shared { ... }    never deleted on removal
 *       Delete Old                 deleted with its subtree on registering
 *   }
 *
 * Value types: s (string), d (32-bit number, decimal or 0x hex), b (bytes as
 * hex digits).  Names and texts are bare words or single-quoted, a doubled
 * quote standing for one.  Keywords are matched without regard to case;
 * quoted words are never keywords.
 *
 * %NAME% in the text is replaced before parsing (SubstituteScript).
 *
 * Plain C++ without system headers: the parser also builds natively for
 * fuzzing.
 */
#ifndef CORVALA_AX_REGISTRAR_SCRIPT_H
#define CORVALA_AX_REGISTRAR_SCRIPT_H

#include <stddef.h>
#include <stdint.h>
#include <string>
#include <vector>

/* Text of the script as UTF-16 code units (wchar_t is 16 bits on Windows;
   the native fuzz build uses the same code with wider units). */
typedef std::wstring ScriptText;

enum ScriptStatus {
    SCRIPT_OK,
    SCRIPT_SYNTAX_ERROR,   /* the text is not a script; nothing was run */
    SCRIPT_NAME_TOO_LONG,  /* a %NAME% of 32 or more characters */
};

/* One %NAME% of the replacement table. */
struct ScriptReplacement {
    const wchar_t *name;
    const wchar_t *value;
};

/* Root keys the language knows, by their short and full names. */
enum ScriptRoot {
    ROOT_CLASSES_ROOT,
    ROOT_CURRENT_USER,
    ROOT_LOCAL_MACHINE,
    ROOT_USERS,
    ROOT_PERFORMANCE_DATA,
    ROOT_CURRENT_CONFIG,
    ROOT_DYN_DATA,
};

enum ScriptValueType {
    VALUE_NONE,
    VALUE_STRING,
    VALUE_DWORD,
    VALUE_BINARY,
};

struct ScriptValue {
    ScriptValueType type = VALUE_NONE;
    ScriptText text;               /* VALUE_STRING */
    uint32_t number = 0;           /* VALUE_DWORD */
    std::vector<uint8_t> bytes;    /* VALUE_BINARY */
};

/* A key entry, or with isValue a `val` entry naming a value of the key
   that holds it. */
struct ScriptEntry {
    bool isValue = false;
    bool forceRemove = false;
    bool noRemove = false;
    bool deleteKey = false;
    ScriptText name;
    ScriptValue value;
    std::vector<ScriptEntry> children;
};

struct ScriptBlock {
    ScriptRoot root;
    std::vector<ScriptEntry> entries;
};

/* Nesting deeper than this is refused as a syntax error. */
enum { SCRIPT_MAX_DEPTH = 32, SCRIPT_MAX_NAME = 31 };

/* Replaces each %NAME% by the value of the entry whose name equals NAME
   without regard to case; "%%" gives one "%".  An unknown name or a "%"
   without its partner is a syntax error. */
ScriptStatus SubstituteScript(const ScriptText &text, const ScriptReplacement *table, size_t count,
                              ScriptText *out);

/* Parses the whole text; on a syntax error blocks is left empty. */
ScriptStatus ParseScript(const ScriptText &text, std::vector<ScriptBlock> *blocks);

/* Keys with these names are never deleted with their subtree. */
bool IsProtectedKeyName(const ScriptText &name);

#endif
