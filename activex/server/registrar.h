/*
 * The registrar: runs a registration script against the registry, in
 * register mode (create keys, set values) or removal mode (take back what
 * the script lists).
 */
#ifndef CORVALA_AX_REGISTRAR_H
#define CORVALA_AX_REGISTRAR_H

#include <windows.h>

#include "registrar_script.h"

/* Substitutes %NAME% from table, parses the whole text and runs it.
   A syntax error gives DISP_E_EXCEPTION and a too long %NAME% E_FAIL, both
   before the registry is touched.  In register mode a failing registry call
   takes back the block it happened in (removal mode) and its error is
   returned as an HRESULT; removal mode passes over keys that do not exist. */
HRESULT RunRegistrarScript(const ScriptText &script, const ScriptReplacement *table, size_t count,
                           BOOL registering);

#endif
