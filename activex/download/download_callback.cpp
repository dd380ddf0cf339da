#include "download_callback.h"

#include <new>
#include <stdlib.h>
#include <string.h>
#include <wininet.h>

#include "ansi_names.h"
#include "download_job.h"
#include "messages.h"
#include "module.h"
#include "viewer_launch.h"

#define MESSAGE_STYLE (MB_ICONEXCLAMATION | MB_OK)
#define DOWNLOAD_BIND_FLAGS \
    (BINDF_ASYNCHRONOUS | BINDF_ASYNCSTORAGE | BINDF_GETNEWESTVERSION | BINDF_NOWRITECACHE)
#define MAX_REDIRECTS 10
#define STATUS_TEXT_CAPACITY 128
#define NUMBER_TEXT_CAPACITY 32

/* The reasons a job gives for endings that carry no error code of their
   own: the server closed the connection before the whole body arrived, or
   went silent. */
#define TRUNCATED_ERROR WSAECONNRESET
#define STALLED_ERROR ERROR_TIMEOUT

static LONG g_jobsRunning;

/* Jobs that have not reached their outcome, whose files nobody else would
   delete if the library went away now.  Apartments of several threads may
   share the list. */
static SRWLOCK g_unfinishedLock = SRWLOCK_INIT;
static DownloadCallback *g_unfinished;

LONG DownloadJobsRunning(void)
{
    return InterlockedCompareExchange(&g_jobsRunning, 0, 0);
}

void DownloadCallback::Enlist()
{
    AcquireSRWLockExclusive(&g_unfinishedLock);
    nextUnfinished_ = g_unfinished;
    g_unfinished = this;
    ReleaseSRWLockExclusive(&g_unfinishedLock);
}

void DownloadCallback::Delist()
{
    AcquireSRWLockExclusive(&g_unfinishedLock);
    for (DownloadCallback **link = &g_unfinished; *link != NULL; link = &(*link)->nextUnfinished_) {
        if (*link == this) {
            *link = nextUnfinished_;
            break;
        }
    }
    ReleaseSRWLockExclusive(&g_unfinishedLock);
}

/* Closing and deleting a file are plain kernel calls, safe while the
   process ends.  Then the other threads are gone, and one of them may have
   died holding the lock: it is not taken. */
void DiscardUnfinishedJobFiles(BOOL processEnding)
{
    if (!processEnding)
        AcquireSRWLockExclusive(&g_unfinishedLock);
    for (DownloadCallback *job = g_unfinished; job != NULL; job = job->nextUnfinished_)
        job->file_.Discard();
    if (!processEnding)
        ReleaseSRWLockExclusive(&g_unfinishedLock);
}

template <typename T>
static void ReleaseAndClear(T **pointer)
{
    if (*pointer != NULL)
        (*pointer)->Release();
    *pointer = NULL;
}

DownloadCallback::DownloadCallback()
    : refCount_(1), running_(true), stopping_(false), url_(NULL), urlText_(NULL), moniker_(NULL),
      bindCtx_(NULL), binding_(NULL), stream_(NULL), totalRead_(0), redirects_(0),
      nextUnfinished_(NULL)
{
    ModuleLock();
    InterlockedIncrement(&g_jobsRunning);
    Enlist();
}

DownloadCallback::~DownloadCallback()
{
    EndJob();
    ReleaseAndClear(&stream_);
    ReleaseAndClear(&binding_);
    ReleaseAndClear(&bindCtx_);
    ReleaseAndClear(&moniker_);
    SysFreeString(url_);
    free(urlText_);
    ModuleUnlock();
}

DownloadCallback *DownloadCallback::Create(BSTR url)
{
    DownloadCallback *callback = new (std::nothrow) DownloadCallback();
    if (callback == NULL)
        return NULL;
    callback->url_ = SysAllocString(url);
    callback->urlText_ = AnsiCopy(url);
    if (callback->url_ == NULL || callback->urlText_ == NULL) {
        callback->Release();
        return NULL;
    }
    return callback;
}

/* --- starting the transfer ----------------------------------------------- */

static IBindHost *FindBindHost(IUnknown *container)
{
    IServiceProvider *provider = NULL;
    IBindHost *host = NULL;
    if (container == NULL || FAILED(container->QueryInterface(IID_IServiceProvider, (void **)&provider)))
        return NULL;
    if (FAILED(provider->QueryService(SID_IBindHost, IID_IBindHost, (void **)&host)))
        host = NULL;
    provider->Release();
    return host;
}

/* The container's bind host receives the callback and applies its own rules. */
HRESULT DownloadCallback::BindThroughHost(IBindHost *host, IUnknown **result)
{
    HRESULT hr = CreateBindCtx(0, &bindCtx_);
    if (SUCCEEDED(hr))
        hr = CreateURLMoniker(NULL, url_, &moniker_);
    if (FAILED(hr))
        return hr;
    /* The binding may end inside the call, and OnStopBinding lets go of
       moniker_ and bindCtx_ while they are still in use here. */
    IMoniker *moniker = moniker_;
    IBindCtx *bindCtx = bindCtx_;
    moniker->AddRef();
    bindCtx->AddRef();
    hr = host->MonikerBindToStorage(moniker, bindCtx, this, IID_IStream, (void **)result);
    bindCtx->Release();
    moniker->Release();
    return hr;
}

HRESULT DownloadCallback::BindPlainly(IUnknown **result)
{
    HRESULT hr = CreateURLMoniker(NULL, url_, &moniker_);
    if (SUCCEEDED(hr))
        hr = CreateBindCtx(0, &bindCtx_);
    if (SUCCEEDED(hr))
        hr = RegisterBindStatusCallback(bindCtx_, this, NULL, 0);
    if (FAILED(hr))
        return hr;
    IMoniker *moniker = moniker_;
    IBindCtx *bindCtx = bindCtx_;
    moniker->AddRef();
    bindCtx->AddRef();
    hr = moniker->BindToStorage(bindCtx, NULL, IID_IStream, (void **)result);
    bindCtx->Release();
    moniker->Release();
    return hr;
}

HRESULT DownloadCallback::StartDownload(IUnknown *container)
{
    AddRef();
    watch_.Start(StallTimeout(), OnStall, this);
    IBindHost *host = FindBindHost(container);
    IUnknown *result = NULL;
    HRESULT hr = host != NULL ? BindThroughHost(host, &result) : BindPlainly(&result);
    if (host != NULL)
        host->Release();
    /* The data comes through the notifications, not through this stream. */
    ReleaseAndClear(&result);
    if (FAILED(hr) && running_)
        FailWithError(hr);
    if (!running_) {
        /* Nothing more will come: break the cycle with the bind context. */
        ReleaseAndClear(&bindCtx_);
        ReleaseAndClear(&moniker_);
    }
    Release();
    return hr;
}

/* --- the job's outcome --------------------------------------------------- */

/* The job has reached its outcome: no more data is taken, the watch ends. */
void DownloadCallback::EndJob()
{
    if (!running_)
        return;
    running_ = false;
    watch_.Stop();
    Delist();
    InterlockedDecrement(&g_jobsRunning);
}

/* Ends a transfer that is still running; OnStopBinding follows. */
void DownloadCallback::StopTransfer()
{
    if (stopping_ || binding_ == NULL)
        return;
    IBinding *binding = binding_;
    binding->AddRef();
    binding->Abort();
    binding->Release();
}

/* The failures below end the job before telling the user: the message box
   pumps messages, and what arrives meanwhile finds the job over. */
void DownloadCallback::FailWithError(HRESULT result)
{
    EndJob();
    file_.Discard();
    StopTransfer();
    DWORD error = HRESULT_FACILITY(result) == FACILITY_WIN32 ? HRESULT_CODE(result) : (DWORD)result;
    ShowSystemErrorFor(NULL, IDS_OPEN_FILE_ERROR, error, urlText_, MESSAGE_STYLE);
}

void DownloadCallback::FailWithStatus(DWORD status, const char *reason)
{
    EndJob();
    file_.Discard();
    StopTransfer();
    ShowHttpStatusFor(NULL, IDS_OPEN_FILE_ERROR, urlText_, status, reason, MESSAGE_STYLE);
}

void DownloadCallback::FailWrite(DWORD error)
{
    EndJob();
    file_.Discard();
    StopTransfer();
    ShowSystemError(NULL, IDS_WRITE_DISK_ERROR, error, MESSAGE_STYLE);
}

void DownloadCallback::OnStall(void *self)
{
    DownloadCallback *callback = (DownloadCallback *)self;
    callback->AddRef();
    if (callback->running_)
        callback->FailWithError(HRESULT_FROM_WIN32(STALLED_ERROR));
    callback->Release();
}

/* Only a 2xx answer is spool data. */
static BOOL IsDataStatus(DWORD status)
{
    return status >= 200 && status < 300;
}

/* A body in chunked coding ends with its last chunk: a Content-Length
   beside it does not count. */
static BOOL IsChunked(IWinInetHttpInfo *info)
{
    char coding[32] = "";
    DWORD size = sizeof(coding);
    return SUCCEEDED(info->QueryInfo(HTTP_QUERY_TRANSFER_ENCODING, coding, &size, NULL, NULL)) &&
           lstrcmpiA(coding, "chunked") == 0;
}

/* A body in a content coding (gzip, deflate) reaches us decoded, while its
   Content-Length counts the coded bytes: the two cannot be compared. */
static BOOL IsContentCoded(IWinInetHttpInfo *info)
{
    char coding[32] = "";
    DWORD size = sizeof(coding);
    return SUCCEEDED(info->QueryInfo(HTTP_QUERY_CONTENT_ENCODING, coding, &size, NULL, NULL)) &&
           coding[0] != '\0' && lstrcmpiA(coding, "identity") != 0;
}

/* A status other than 2xx, or a body shorter than announced, fails the job.
   TRUE when the answer may be handed on. */
BOOL DownloadCallback::CheckHttpAnswer()
{
    IWinInetHttpInfo *info = NULL;
    if (binding_ == NULL || FAILED(binding_->QueryInterface(IID_IWinInetHttpInfo, (void **)&info)))
        return TRUE;
    DWORD status = 0;
    DWORD size = sizeof(status);
    char statusText[STATUS_TEXT_CAPACITY] = "";
    DWORD textSize = sizeof(statusText);
    char lengthText[NUMBER_TEXT_CAPACITY] = "";
    DWORD lengthSize = sizeof(lengthText);
    BOOL hasStatus = SUCCEEDED(info->QueryInfo(HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                                               &size, NULL, NULL));
    if (hasStatus && !IsDataStatus(status) &&
        FAILED(info->QueryInfo(HTTP_QUERY_STATUS_TEXT, statusText, &textSize, NULL, NULL)))
        statusText[0] = '\0';
    BOOL hasLength = !IsChunked(info) && !IsContentCoded(info) &&
                     SUCCEEDED(info->QueryInfo(HTTP_QUERY_CONTENT_LENGTH, lengthText, &lengthSize, NULL, NULL));
    info->Release();

    if (hasStatus && !IsDataStatus(status)) {
        FailWithStatus(status, statusText);
        return FALSE;
    }
    if (hasLength && totalRead_ < _strtoui64(lengthText, NULL, 10)) {
        FailWithError(HRESULT_FROM_WIN32(TRUNCATED_ERROR));
        return FALSE;
    }
    return TRUE;
}

/* The whole file is there: close it and give it to the viewer, which
   deletes it.  When the viewer cannot be started nobody else will. */
void DownloadCallback::HandOff()
{
    EndJob();
    if (!file_.HandOff()) {
        DWORD error = GetLastError();
        file_.Discard();
        ShowSystemError(NULL, IDS_WRITE_DISK_ERROR, error, MESSAGE_STYLE);
        return;
    }
    char viewer[VIEWER_PATH_CAPACITY];
    DWORD error = 0;
    if (!LaunchViewer(file_.Name(), viewer, &error))
        ShowSystemErrorFor(NULL, 0, error, viewer, MESSAGE_STYLE);
}

/* --- IUnknown -------------------------------------------------------------- */

STDMETHODIMP DownloadCallback::QueryInterface(REFIID riid, void **out)
{
    if (out == NULL)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IBindStatusCallback)) {
        *out = static_cast<IBindStatusCallback *>(this);
        AddRef();
        return S_OK;
    }
    *out = NULL;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) DownloadCallback::AddRef()
{
    return (ULONG)++refCount_;
}

STDMETHODIMP_(ULONG) DownloadCallback::Release()
{
    LONG count = --refCount_;
    if (count == 0)
        delete this;
    return (ULONG)count;
}

/* --- IBindStatusCallback ------------------------------------------------- */

STDMETHODIMP DownloadCallback::OnStartBinding(DWORD reserved, IBinding *binding)
{
    watch_.Touch();
    if (binding != NULL)
        binding->AddRef();
    ReleaseAndClear(&binding_);
    binding_ = binding;
    return S_OK;
}

STDMETHODIMP DownloadCallback::GetPriority(LONG *priority)
{
    return E_NOTIMPL;
}

STDMETHODIMP DownloadCallback::OnLowResource(DWORD reserved)
{
    return E_NOTIMPL;
}

/* The URL monikers follow redirects without end: a server that sends the
   job round in circles is given up after MAX_REDIRECTS, as the viewer
   does.  Progress of any other kind is no sign that data is coming: only
   data keeps the stall watch quiet. */
STDMETHODIMP DownloadCallback::OnProgress(ULONG progress, ULONG progressMax, ULONG statusCode, LPCWSTR statusText)
{
    if (statusCode == BINDSTATUS_REDIRECTING && running_ && ++redirects_ > MAX_REDIRECTS) {
        AddRef();
        FailWithError(HRESULT_FROM_WIN32(ERROR_HTTP_REDIRECT_FAILED));
        Release();
    }
    return E_NOTIMPL;
}

STDMETHODIMP DownloadCallback::OnStopBinding(HRESULT result, LPCWSTR error)
{
    AddRef();
    stopping_ = true;
    if (running_) {
        if (FAILED(result))
            FailWithError(result);
        else if (CheckHttpAnswer())
            HandOff();
    }
    ReleaseAndClear(&stream_);
    ReleaseAndClear(&binding_);
    ReleaseAndClear(&bindCtx_);
    ReleaseAndClear(&moniker_);
    Release();
    return S_OK;
}

STDMETHODIMP DownloadCallback::GetBindInfo(DWORD *bindFlags, BINDINFO *bindInfo)
{
    if (bindInfo == NULL || bindInfo->cbSize == 0 || bindFlags == NULL)
        return E_INVALIDARG;
    *bindFlags = DOWNLOAD_BIND_FLAGS;
    DWORD size = bindInfo->cbSize;
    memset(bindInfo, 0, size);
    bindInfo->cbSize = size;
    bindInfo->dwBindVerb = BINDVERB_GET;
    return S_OK;
}

/* Reads what the notification made available, one bounded block at a time,
   each block straight into the file. */
HRESULT DownloadCallback::ReadAvailable(DWORD available)
{
    while (available > 0 && running_) {
        ULONG wanted = available < READ_BLOCK_SIZE ? available : READ_BLOCK_SIZE;
        ULONG got = 0;
        HRESULT hr = stream_->Read(block_, wanted, &got);
        if (FAILED(hr))
            return hr == E_PENDING ? S_OK : hr;
        if (got == 0)
            break;
        if (!file_.Write(block_, got)) {
            FailWrite(GetLastError());
            break;
        }
        totalRead_ += got;
        available -= got;
    }
    return S_OK;
}

STDMETHODIMP DownloadCallback::OnDataAvailable(DWORD flags, DWORD size, FORMATETC *format, STGMEDIUM *medium)
{
    watch_.Touch();
    if (!running_)
        return S_OK;
    if (stream_ == NULL && medium != NULL && medium->tymed == TYMED_ISTREAM && medium->pstm != NULL) {
        stream_ = medium->pstm;
        stream_->AddRef();
    }
    if (stream_ == NULL)
        return S_OK;
    AddRef();
    /* size counts every byte made available so far. */
    HRESULT hr = ReadAvailable(size - (DWORD)totalRead_);
    Release();
    return hr;
}

STDMETHODIMP DownloadCallback::OnObjectAvailable(REFIID riid, IUnknown *object)
{
    return E_NOTIMPL;
}
