/*
 * The plug-in's own records and functions: the library-wide tables, the
 * per-instance record, the per-stream output job, and the functions that the
 * plug-in function table points at.
 *
 * The browser calls everything on one thread, one call at a time, so the
 * library-wide state needs no lock.
 */
#ifndef CORVALA_PLUGIN_H
#define CORVALA_PLUGIN_H

#include "npapi.h"

/* Offered by NPP_WriteReady: the browser may hand over any block it has. */
#define WRITE_READY_BYTES 0xFFFFFF

/* One per instance, hung on the instance's pdata. */
struct PluginInstance {
    HWND hwnd; /* owns the print and save dialogs; NULL without a window */
};

/* One per open stream, hung on the stream's pdata. */
struct SpoolJob {
    HANDLE hFile;          /* output file, when toFile */
    BOOL printerOpen;      /* the printer has been opened */
    DWORD docStarted;      /* spooler job id while a document is open */
    BOOL pageStarted;      /* a page is open */
    int copies;            /* copies to produce */
    DWORD toFile;          /* PD_PRINTTOFILE from the dialog, or 0 */
    HANDLE hPrinter;       /* the opened printer */
    BYTE *buffer;          /* data collected for two or more copies */
    DWORD bufferLength;    /* bytes held in buffer */
    DWORD bufferCapacity;  /* bytes allocated for buffer */
    BOOL failed;           /* data was lost: the output is abandoned */
    char path[260];        /* the output file's path, when toFile */
};

/* --- the browser's side (entry.cpp) ---------------------------------- */
/* Memory through the browser's table; NULL when the browser gave none. */
void *BrowserMemAlloc(uint32_t size);
void BrowserMemFree(void *block);

/* --- exports (entry.cpp) --------------------------------------------- */
extern "C" {
NPError WINAPI NP_GetEntryPoints(NPPluginFuncs *pluginFuncs);
NPError WINAPI NP_Initialize(NPNetscapeFuncs *browserFuncs);
NPError WINAPI NP_Shutdown(void);
}

/* --- global set-up and the instance functions (instance.cpp) ---------- */
NPError NPP_Initialize(void);
void NPP_Shutdown(void);
NPError NPP_New(NPMIMEType pluginType, NPP instance, uint16_t mode, int16_t argc, char *argn[], char *argv[],
                NPSavedData *saved);
NPError NPP_Destroy(NPP instance, NPSavedData **save);
NPError NPP_SetWindow(NPP instance, NPWindow *window);
void NPP_StreamAsFile(NPP instance, NPStream *stream, const char *fname);
void NPP_Print(NPP instance, NPPrint *platformPrint);
void NPP_URLNotify(NPP instance, const char *url, NPReason reason, void *notifyData);
/* The window that owns the instance's dialogs, NULL when there is none. */
HWND InstanceWindow(NPP instance);

/* --- the stream functions (stream.cpp) ------------------------------- */
NPError NPP_NewStream(NPP instance, NPMIMEType type, NPStream *stream, NPBool seekable, uint16_t *stype);
int32_t NPP_WriteReady(NPP instance, NPStream *stream);
int32_t NPP_Write(NPP instance, NPStream *stream, int32_t offset, int32_t len, void *buffer);
NPError NPP_DestroyStream(NPP instance, NPStream *stream, NPReason reason);

/* --- the destination (output.cpp) ------------------------------------ */
/* Open the destination; 0 when it is open, 1 when not, with *retry set
   when the user asked to try again. */
int StartPrinterOutput(SpoolJob *job, const char *deviceName, BOOL *retry);
int StartFileOutput(NPP instance, SpoolJob *job, BOOL *retry);
/* Writes a block to the job's destination; on failure shows the message
   for the destination and returns FALSE. */
BOOL WriteToDestination(SpoolJob *job, const void *data, DWORD length);
/* Ends the page and the document and closes the printer, or closes the file. */
void CloseDestination(SpoolJob *job);
/* Abandons the spooler document (nothing is printed), or closes and
   deletes the file. */
void AbandonDestination(SpoolJob *job);

/* --- collecting copies (collect.cpp) --------------------------------- */
/* Appends a block to the job's buffer; FALSE (buffer unchanged) when no
   memory could be had. */
BOOL CollectBlock(SpoolJob *job, const void *data, DWORD length);
void FreeCollected(SpoolJob *job);

#endif
