/* The administrator's list of sites that print without a dialog:
   HKLM\SOFTWARE\Policies\Corvala\Corvala400\SilentPrinting, one REG_SZ
   value per origin, named exactly as the browser writes the origin, its
   data the printer's name or empty for the default printer.  Only that
   key counts (its 64-bit view, whatever the host's width): the same key
   under HKCU, a value of another type, or a name that differs in any
   character, letter case included, lists nothing. */
#ifndef CORVALA_PRINTHOST_SILENT_POLICY_H
#define CORVALA_PRINTHOST_SILENT_POLICY_H

#include <string>

enum { SILENT_PRINTER_CAPACITY = 256 };

/* true when origin (UTF-8) is listed: printer (ANSI, for the viewer's
   command line) gets the printer's name, "" for the default printer.  A
   name that the command line cannot carry exactly (a quote, a control
   character, a character outside the ANSI code page) lists nothing. */
bool FindSilentPrinter(const std::string &origin, std::string *printer);

#endif
