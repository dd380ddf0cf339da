#include "download_job.h"

#include <stdlib.h>

#include "ansi_names.h"
#include "download_callback.h"
#include "messages.h"
#include "url_check.h"

#define MESSAGE_STYLE (MB_ICONEXCLAMATION | MB_OK)
#define RETRY_STYLE (MB_ICONEXCLAMATION | MB_RETRYCANCEL)

/* The page asked for something other than http or https. */
static void ReportRefusedAddress(BSTR url)
{
    char *text = AnsiCopy(url);
    ShowSystemErrorFor(NULL, IDS_OPEN_FILE_ERROR, ERROR_ACCESS_DENIED, text != NULL ? text : "", MESSAGE_STYLE);
    free(text);
}

BOOL CreateTempFileWithRetry(TempFile &file)
{
    for (;;) {
        DWORD error = 0;
        const char *subject = "";
        if (file.Create(&error, &subject))
            return TRUE;
        if (ShowSystemErrorFor(NULL, IDS_OPEN_FILE_ERROR, error, subject, RETRY_STYLE) != IDRETRY)
            return FALSE;
    }
}

HRESULT StartJob(BSTR url, IUnknown *container, char *tempFileName)
{
    /* A control without an address has nothing to fetch and nothing to say. */
    if (url == NULL || url[0] == L'\0')
        return S_FALSE;
    /* Fetched only as it is sent: what the page named, byte for byte. */
    int needed = EncodeFetchableUrl(url, NULL, 0);
    if (needed == 0) {
        ReportRefusedAddress(url);
        return S_FALSE;
    }
    BSTR address = SysAllocStringLen(NULL, (UINT)needed - 1);
    if (address == NULL)
        return E_OUTOFMEMORY;
    EncodeFetchableUrl(url, address, needed);
    DownloadCallback *callback = DownloadCallback::Create(address);
    SysFreeString(address);
    if (callback == NULL)
        return E_OUTOFMEMORY;
    /* The Retry box pumps messages: the container may let go of its site
       meanwhile, but the job still asks it for a bind host afterwards. */
    if (container != NULL)
        container->AddRef();
    HRESULT hr = S_FALSE;
    if (CreateTempFileWithRetry(callback->File())) {
        lstrcpynA(tempFileName, callback->File().Name(), TEMP_NAME_CAPACITY);
        hr = callback->StartDownload(container);
        if (hr == MK_S_ASYNCHRONOUS)
            hr = S_OK;
    }
    if (container != NULL)
        container->Release();
    callback->Release();
    return hr;
}
