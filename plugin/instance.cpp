/*
 * Plug-in instances: each keeps the window the browser gave it, which owns
 * the print and save dialogs of its streams.  The plug-in never draws.
 */
#include "plugin.h"

NPError NPP_Initialize(void)
{
    return NPERR_NO_ERROR;
}

void NPP_Shutdown(void)
{
}

NPError NPP_New(NPMIMEType pluginType, NPP instance, uint16_t mode, int16_t argc, char *argn[], char *argv[],
                NPSavedData *saved)
{
    if (instance == NULL)
        return NPERR_INVALID_INSTANCE_ERROR;
    PluginInstance *record = (PluginInstance *)BrowserMemAlloc(sizeof(PluginInstance));
    instance->pdata = record;
    if (record == NULL)
        return NPERR_OUT_OF_MEMORY_ERROR;
    record->hwnd = NULL;
    return NPERR_NO_ERROR;
}

NPError NPP_Destroy(NPP instance, NPSavedData **save)
{
    if (instance == NULL)
        return NPERR_INVALID_INSTANCE_ERROR;
    if (instance->pdata != NULL) {
        BrowserMemFree(instance->pdata);
        instance->pdata = NULL;
    }
    return NPERR_NO_ERROR;
}

NPError NPP_SetWindow(NPP instance, NPWindow *window)
{
    if (instance == NULL)
        return NPERR_INVALID_INSTANCE_ERROR;
    PluginInstance *record = (PluginInstance *)instance->pdata;
    /* An instance whose record could not be allocated has nowhere to keep
       the window. */
    if (record != NULL)
        record->hwnd = (window != NULL && window->window != NULL) ? (HWND)window->window : NULL;
    return NPERR_NO_ERROR;
}

HWND InstanceWindow(NPP instance)
{
    PluginInstance *record = instance != NULL ? (PluginInstance *)instance->pdata : NULL;
    return record != NULL ? record->hwnd : NULL;
}

void NPP_StreamAsFile(NPP instance, NPStream *stream, const char *fname)
{
}

/* The plug-in adds nothing when the browser prints the page. */
void NPP_Print(NPP instance, NPPrint *platformPrint)
{
}

void NPP_URLNotify(NPP instance, const char *url, NPReason reason, void *notifyData)
{
}
