/*
 * DownloadCallback: one per job.  It drives a URL-moniker transfer
 * (IBindStatusCallback), appends every block to the job's temporary file,
 * and when the transfer ends decides the job's outcome: a complete download
 * goes to the viewer, anything else is reported and its file deleted.
 *
 * It holds everything the job needs (the file, the address, the binding),
 * so the job runs to its end whatever becomes of the control that started
 * it.  Its reference count is plain: it lives and is called on the
 * apartment thread that started it, which must pump messages.
 */
#ifndef CORVALA_AX_DOWNLOAD_CALLBACK_H
#define CORVALA_AX_DOWNLOAD_CALLBACK_H

#include <windows.h>
#include <urlmon.h>

#include "stall_watch.h"
#include "temp_file.h"

#define READ_BLOCK_SIZE 65536

class DownloadCallback final : public IBindStatusCallback {
public:
    /* A new callback with one reference held by the caller; NULL when out of
       memory or when url cannot be copied. */
    static DownloadCallback *Create(BSTR url);

    /* The job's file: create it before StartDownload. */
    TempFile &File() { return file_; }

    /* Starts the transfer, through the container's bind host when it offers
       one (container may be NULL).  The job may already be over when this
       returns: a transfer that cannot start has been reported and its file
       deleted. */
    HRESULT StartDownload(IUnknown *container);

    /* IUnknown */
    STDMETHODIMP QueryInterface(REFIID riid, void **out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    /* IBindStatusCallback */
    STDMETHODIMP OnStartBinding(DWORD reserved, IBinding *binding) override;
    STDMETHODIMP GetPriority(LONG *priority) override;
    STDMETHODIMP OnLowResource(DWORD reserved) override;
    STDMETHODIMP OnProgress(ULONG progress, ULONG progressMax, ULONG statusCode, LPCWSTR statusText) override;
    STDMETHODIMP OnStopBinding(HRESULT result, LPCWSTR error) override;
    STDMETHODIMP GetBindInfo(DWORD *bindFlags, BINDINFO *bindInfo) override;
    STDMETHODIMP OnDataAvailable(DWORD flags, DWORD size, FORMATETC *format, STGMEDIUM *medium) override;
    STDMETHODIMP OnObjectAvailable(REFIID riid, IUnknown *object) override;

private:
    DownloadCallback();
    ~DownloadCallback();

    HRESULT BindThroughHost(IBindHost *host, IUnknown **result);
    HRESULT BindPlainly(IUnknown **result);
    HRESULT ReadAvailable(DWORD available);
    void Conclude();
    BOOL CheckHttpAnswer();
    void HandOff();
    void EndJob();
    void StopTransfer();
    void FailWithError(HRESULT result);
    void FailWithStatus(DWORD status, const char *reason);
    void FailWrite(DWORD error);
    static void OnStall(void *self);
    void Enlist();
    void Delist();
    friend void DiscardUnfinishedJobFiles(BOOL processEnding);

    LONG refCount_;
    bool running_;            /* the job has not reached its outcome yet */
    bool stopping_;           /* inside OnStopBinding: nothing left to abort */
    BSTR url_;
    char *urlText_;           /* the address as the user's messages show it */
    IMoniker *moniker_;
    IBindCtx *bindCtx_;
    IBinding *binding_;
    IStream *stream_;
    ULONGLONG totalRead_;
    int redirects_;           /* redirects followed so far */
    DownloadCallback *nextUnfinished_;
    TempFile file_;
    StallWatch watch_;
    BYTE block_[READ_BLOCK_SIZE];
};

#endif
