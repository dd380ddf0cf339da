/*
 * The three exports through which the browser meets the plug-in: the
 * plug-in's function table going out, the browser's coming in, and the
 * version handshake.
 */
#include "plugin.h"

/* The table the browser gave to NP_GetEntryPoints; NP_Initialize completes
   two of its slots. */
static NPPluginFuncs *g_pluginFuncs = NULL;
/* The browser's table, from NP_Initialize until NP_Shutdown. */
static NPNetscapeFuncs *g_browserFuncs = NULL;

void *BrowserMemAlloc(uint32_t size)
{
    if (g_browserFuncs == NULL || g_browserFuncs->memalloc == NULL)
        return NULL;
    return g_browserFuncs->memalloc(size);
}

void BrowserMemFree(void *block)
{
    if (block != NULL && g_browserFuncs != NULL && g_browserFuncs->memfree != NULL)
        g_browserFuncs->memfree(block);
}

extern "C" NPError WINAPI NP_GetEntryPoints(NPPluginFuncs *pluginFuncs)
{
    if (pluginFuncs == NULL)
        return NPERR_INVALID_FUNCTABLE_ERROR;
    /* The size the browser set is left as it is. */
    pluginFuncs->version = (NP_VERSION_MAJOR << 8) | NP_VERSION_MINOR;
    pluginFuncs->newp = NPP_New;
    pluginFuncs->destroy = NPP_Destroy;
    pluginFuncs->setwindow = NPP_SetWindow;
    pluginFuncs->newstream = NPP_NewStream;
    pluginFuncs->destroystream = NPP_DestroyStream;
    pluginFuncs->asfile = NPP_StreamAsFile;
    pluginFuncs->writeready = NPP_WriteReady;
    pluginFuncs->write = NPP_Write;
    pluginFuncs->print = NPP_Print;
    pluginFuncs->event = NULL;
    g_pluginFuncs = pluginFuncs;
    return NPERR_NO_ERROR;
}

extern "C" NPError WINAPI NP_Initialize(NPNetscapeFuncs *browserFuncs)
{
    if (browserFuncs == NULL)
        return NPERR_INVALID_FUNCTABLE_ERROR;
    g_browserFuncs = browserFuncs;
    if ((browserFuncs->version >> 8) > NP_VERSION_MAJOR)
        return NPERR_INCOMPATIBLE_VERSION_ERROR;
    /* Without an earlier NP_GetEntryPoints there is no table to complete. */
    if ((browserFuncs->version & 0xFF) >= NPVERS_HAS_NOTIFICATION && g_pluginFuncs != NULL) {
        g_pluginFuncs->urlnotify = NPP_URLNotify;
        g_pluginFuncs->javaClass = NULL;
    }
    return NPP_Initialize();
}

extern "C" NPError WINAPI NP_Shutdown(void)
{
    NPP_Shutdown();
    g_browserFuncs = NULL;
    return NPERR_NO_ERROR;
}
