/*
 * The Netscape plug-in interface as the browser and the plug-in share it on
 * Windows: the records the browser passes, the two function tables and the
 * result codes.  Field order and types follow the public interface exactly,
 * since real browsers hand us these records; nothing here is ours to change.
 *
 * The three exported entry points use the Windows API calling convention;
 * the functions reached through the tables use the compiler's default one.
 */
#ifndef CORVALA_NPAPI_H
#define CORVALA_NPAPI_H

#include <windows.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int16_t NPError;
typedef int16_t NPReason;
typedef unsigned char NPBool;
typedef char *NPMIMEType;

/* Interface version 0.11: major in the high byte, minor in the low byte. */
#define NP_VERSION_MAJOR 0
#define NP_VERSION_MINOR 11
/* The first minor version with URL notification and LiveConnect. */
#define NPVERS_HAS_NOTIFICATION 9

#define NPERR_NO_ERROR 0
#define NPERR_GENERIC_ERROR 1
#define NPERR_INVALID_INSTANCE_ERROR 2
#define NPERR_INVALID_FUNCTABLE_ERROR 3
#define NPERR_MODULE_LOAD_FAILED_ERROR 4
#define NPERR_OUT_OF_MEMORY_ERROR 5
#define NPERR_INVALID_PLUGIN_ERROR 6
#define NPERR_INVALID_PLUGIN_DIR_ERROR 7
#define NPERR_INCOMPATIBLE_VERSION_ERROR 8
#define NPERR_INVALID_PARAM 9
#define NPERR_INVALID_URL 10
#define NPERR_FILE_NOT_FOUND 11
#define NPERR_NO_DATA 12
#define NPERR_STREAM_NOT_SEEKABLE 13

#define NPRES_DONE 0
#define NPRES_NETWORK_ERR 1
#define NPRES_USER_BREAK 2

/* Instance modes and stream types. */
#define NP_EMBED 1
#define NP_FULL 2
#define NP_NORMAL 1
#define NP_SEEK 2
#define NP_ASFILE 3
#define NP_ASFILEONLY 4

typedef struct _NPP {
    void *pdata; /* the plug-in's record for the instance */
    void *ndata; /* the browser's */
} NPP_t;
typedef NPP_t *NPP;

typedef struct _NPStream {
    void *pdata; /* the plug-in's record for the stream */
    void *ndata;
    const char *url;
    uint32_t end;
    uint32_t lastmodified;
    void *notifyData;
    const char *headers;
} NPStream;

typedef struct _NPSavedData {
    int32_t len;
    void *buf;
} NPSavedData;

typedef struct _NPRect {
    uint16_t top;
    uint16_t left;
    uint16_t bottom;
    uint16_t right;
} NPRect;

typedef enum { NPWindowTypeWindow = 1, NPWindowTypeDrawable } NPWindowType;

typedef struct _NPWindow {
    void *window; /* the native window handle on Windows */
    int32_t x;
    int32_t y;
    uint32_t width;
    uint32_t height;
    NPRect clipRect;
    NPWindowType type;
} NPWindow;

typedef struct _NPFullPrint {
    NPBool pluginPrinted;
    NPBool printOne;
    void *platformPrint;
} NPFullPrint;

typedef struct _NPEmbedPrint {
    NPWindow window;
    void *platformPrint;
} NPEmbedPrint;

typedef struct _NPPrint {
    uint16_t mode;
    union {
        NPFullPrint fullPrint;
        NPEmbedPrint embedPrint;
    } print;
} NPPrint;

/* The plug-in's functions, as the browser calls them. */
typedef NPError (*NPP_NewProc)(NPMIMEType pluginType, NPP instance, uint16_t mode, int16_t argc, char *argn[],
                               char *argv[], NPSavedData *saved);
typedef NPError (*NPP_DestroyProc)(NPP instance, NPSavedData **save);
typedef NPError (*NPP_SetWindowProc)(NPP instance, NPWindow *window);
typedef NPError (*NPP_NewStreamProc)(NPP instance, NPMIMEType type, NPStream *stream, NPBool seekable,
                                     uint16_t *stype);
typedef NPError (*NPP_DestroyStreamProc)(NPP instance, NPStream *stream, NPReason reason);
typedef void (*NPP_StreamAsFileProc)(NPP instance, NPStream *stream, const char *fname);
typedef int32_t (*NPP_WriteReadyProc)(NPP instance, NPStream *stream);
typedef int32_t (*NPP_WriteProc)(NPP instance, NPStream *stream, int32_t offset, int32_t len, void *buffer);
typedef void (*NPP_PrintProc)(NPP instance, NPPrint *platformPrint);
typedef int16_t (*NPP_HandleEventProc)(NPP instance, void *event);
typedef void (*NPP_URLNotifyProc)(NPP instance, const char *url, NPReason reason, void *notifyData);
typedef NPError (*NPP_GetValueProc)(NPP instance, int variable, void *value);
typedef NPError (*NPP_SetValueProc)(NPP instance, int variable, void *value);

typedef struct _NPPluginFuncs {
    uint16_t size;
    uint16_t version;
    NPP_NewProc newp;
    NPP_DestroyProc destroy;
    NPP_SetWindowProc setwindow;
    NPP_NewStreamProc newstream;
    NPP_DestroyStreamProc destroystream;
    NPP_StreamAsFileProc asfile;
    NPP_WriteReadyProc writeready;
    NPP_WriteProc write;
    NPP_PrintProc print;
    NPP_HandleEventProc event;
    NPP_URLNotifyProc urlnotify;
    void *javaClass; /* a LiveConnect class reference */
    NPP_GetValueProc getvalue;
    NPP_SetValueProc setvalue;
} NPPluginFuncs;

/* The browser's functions.  The plug-in calls only memalloc and memfree;
   the other slots are declared so that the record has its true layout. */
typedef NPError (*NPN_GetURLProc)(NPP instance, const char *url, const char *window);
typedef NPError (*NPN_PostURLProc)(NPP instance, const char *url, const char *window, uint32_t len,
                                   const char *buf, NPBool file);
typedef NPError (*NPN_RequestReadProc)(NPStream *stream, void *rangeList);
typedef NPError (*NPN_NewStreamProc)(NPP instance, NPMIMEType type, const char *window, NPStream **stream);
typedef int32_t (*NPN_WriteProc)(NPP instance, NPStream *stream, int32_t len, void *buffer);
typedef NPError (*NPN_DestroyStreamProc)(NPP instance, NPStream *stream, NPReason reason);
typedef void (*NPN_StatusProc)(NPP instance, const char *message);
typedef const char *(*NPN_UserAgentProc)(NPP instance);
typedef void *(*NPN_MemAllocProc)(uint32_t size);
typedef void (*NPN_MemFreeProc)(void *ptr);
typedef uint32_t (*NPN_MemFlushProc)(uint32_t size);
typedef void (*NPN_ReloadPluginsProc)(NPBool reloadPages);
typedef void *(*NPN_GetJavaEnvProc)(void);
typedef void *(*NPN_GetJavaPeerProc)(NPP instance);
typedef NPError (*NPN_GetURLNotifyProc)(NPP instance, const char *url, const char *window, void *notifyData);
typedef NPError (*NPN_PostURLNotifyProc)(NPP instance, const char *url, const char *window, uint32_t len,
                                         const char *buf, NPBool file, void *notifyData);
typedef NPError (*NPN_GetValueProc)(NPP instance, int variable, void *value);
typedef NPError (*NPN_SetValueProc)(NPP instance, int variable, void *value);
typedef void (*NPN_InvalidateRectProc)(NPP instance, NPRect *rect);
typedef void (*NPN_InvalidateRegionProc)(NPP instance, void *region);
typedef void (*NPN_ForceRedrawProc)(NPP instance);

typedef struct _NPNetscapeFuncs {
    uint16_t size;
    uint16_t version;
    NPN_GetURLProc geturl;
    NPN_PostURLProc posturl;
    NPN_RequestReadProc requestread;
    NPN_NewStreamProc newstream;
    NPN_WriteProc write;
    NPN_DestroyStreamProc destroystream;
    NPN_StatusProc status;
    NPN_UserAgentProc uagent;
    NPN_MemAllocProc memalloc;
    NPN_MemFreeProc memfree;
    NPN_MemFlushProc memflush;
    NPN_ReloadPluginsProc reloadplugins;
    NPN_GetJavaEnvProc getJavaEnv;
    NPN_GetJavaPeerProc getJavaPeer;
    NPN_GetURLNotifyProc geturlnotify;
    NPN_PostURLNotifyProc posturlnotify;
    NPN_GetValueProc getvalue;
    NPN_SetValueProc setvalue;
    NPN_InvalidateRectProc invalidaterect;
    NPN_InvalidateRegionProc invalidateregion;
    NPN_ForceRedrawProc forceredraw;
} NPNetscapeFuncs;

/* The library's exports. */
typedef NPError(WINAPI *NP_GetEntryPointsFunc)(NPPluginFuncs *pluginFuncs);
typedef NPError(WINAPI *NP_InitializeFunc)(NPNetscapeFuncs *browserFuncs);
typedef NPError(WINAPI *NP_ShutdownFunc)(void);

#ifdef __cplusplus
}
#endif

#endif
