#include "url_open.h"

#include "messages.h"
#include "syscalls.h"

#include <string.h>
#include <vector>

#define MESSAGE_STYLE (MB_ICONEXCLAMATION | MB_OK)
#define CERT_FLAGS (INTERNET_FLAG_IGNORE_CERT_DATE_INVALID | INTERNET_FLAG_IGNORE_CERT_CN_INVALID)
#define URL_OPEN_FLAGS (INTERNET_FLAG_EXISTING_CONNECT | CERT_FLAGS)
#define REQUEST_FLAGS (INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_KEEP_CONNECTION | CERT_FLAGS)

/* Connecting, sending and every wait for data end after the timeout, so a
   server that stalls cannot hold the viewer (which has no window) forever. */
static BOOL SetTransferTimeouts(HINTERNET handle)
{
    static const DWORD kOptions[] = { INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT,
                                      INTERNET_OPTION_SEND_TIMEOUT };
    for (DWORD option : kOptions) {
        DWORD timeout = TRANSFER_TIMEOUT_MS;
        if (!osCall(InternetSetOptionA)(handle, option, &timeout, sizeof(timeout)))
            return FALSE;
    }
    return TRUE;
}

static DWORD StatusOf(HINTERNET request)
{
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, NULL))
        return 0;
    return status;
}

static bool IsRedirect(DWORD status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

/* Sends one GET for url on the session; FALSE with the reason in
   GetLastError.  Only for http and https. */
static BOOL SendRequest(const char *url, const URL_COMPONENTSA &parts, UrlHandles *handles)
{
    handles->request.Reset();
    handles->connection.Reset(InternetConnectA(handles->session.Get(), parts.lpszHostName, parts.nPort, NULL,
                                               NULL, INTERNET_SERVICE_HTTP, 0, 0));
    if (!handles->connection.IsValid() || !SetTransferTimeouts(handles->connection.Get()))
        return FALSE;
    /* The path with its query: everything from the path on. */
    const char *object = parts.lpszUrlPath != NULL && parts.dwUrlPathLength > 0 ? parts.lpszUrlPath : "/";
    DWORD flags = REQUEST_FLAGS | (parts.nScheme == INTERNET_SCHEME_HTTPS ? INTERNET_FLAG_SECURE : 0);
    handles->request.Reset(HttpOpenRequestA(handles->connection.Get(), "GET", object, NULL, NULL, NULL, flags, 0));
    if (!handles->request.IsValid() || !SetTransferTimeouts(handles->request.Get()))
        return FALSE;
    return HttpSendRequestA(handles->request.Get(), NULL, 0, NULL, 0);
}

/* The parts of an http or https URL, pointing into url; FALSE for other
   schemes and for what does not parse. */
static BOOL SplitHttpUrl(const char *url, URL_COMPONENTSA *parts, std::vector<char> *host)
{
    host->assign(strlen(url) + 1, '\0');
    ZeroMemory(parts, sizeof(*parts));
    parts->dwStructSize = sizeof(*parts);
    parts->lpszHostName = host->data();
    parts->dwHostNameLength = (DWORD)host->size();
    parts->dwUrlPathLength = 1; /* pointer into url: path and query up to the fragment */
    parts->dwSchemeLength = 1;
    if (!InternetCrackUrlA(url, 0, 0, parts))
        return FALSE;
    return parts->nScheme == INTERNET_SCHEME_HTTP || parts->nScheme == INTERNET_SCHEME_HTTPS;
}

/* Location of a redirect made absolute against the URL that gave it; FALSE
   when the answer has none. */
static BOOL RedirectTarget(HINTERNET request, const char *base, std::vector<char> *target)
{
    DWORD size = 0;
    HttpQueryInfoA(request, HTTP_QUERY_LOCATION, NULL, &size, NULL);
    if (size == 0)
        return FALSE;
    std::vector<char> location(size + 1, '\0');
    if (!HttpQueryInfoA(request, HTTP_QUERY_LOCATION, location.data(), &size, NULL))
        return FALSE;
    DWORD combined = (DWORD)(strlen(base) + strlen(location.data()) + 16);
    target->assign(combined, '\0');
    return InternetCombineUrlA(base, location.data(), target->data(), &combined, ICU_NO_ENCODE);
}

/* Anything but a 2xx answer is not spool data: reported like a URL that
   cannot be opened, naming the status. */
static BOOL CheckHttpStatus(HINTERNET url, const char *source)
{
    DWORD status = StatusOf(url);
    if (status == 0 || (status >= 200 && status < 300))
        return TRUE; /* not HTTP, or a success */
    char reason[128] = "";
    DWORD reasonSize = sizeof(reason);
    if (!HttpQueryInfoA(url, HTTP_QUERY_STATUS_TEXT, reason, &reasonSize, NULL))
        reason[0] = '\0';
    ShowHttpStatusFor(NULL, IDS_OPEN_FILE_ERROR, source, status, reason, MESSAGE_STYLE);
    return FALSE;
}

/* Follows source through at most MAX_REDIRECTS redirects; a source of
   another scheme goes through InternetOpenUrlA.  A server never leads the
   viewer away from http and https: a redirect to another scheme (ftp:,
   file:) fails like a redirect that cannot be followed.  FALSE with the
   reason in GetLastError. */
static BOOL OpenHttp(const char *source, UrlHandles *handles)
{
    std::vector<char> current(source, source + strlen(source) + 1);
    for (int redirects = 0;; redirects++) {
        URL_COMPONENTSA parts;
        std::vector<char> host;
        if (!SplitHttpUrl(current.data(), &parts, &host)) {
            if (redirects > 0) {
                SetLastError(ERROR_HTTP_REDIRECT_FAILED);
                return FALSE;
            }
            handles->request.Reset(
                InternetOpenUrlA(handles->session.Get(), current.data(), NULL, 0, URL_OPEN_FLAGS, 0));
            return handles->request.IsValid();
        }
        if (!SendRequest(current.data(), parts, handles))
            return FALSE;
        std::vector<char> next;
        if (!IsRedirect(StatusOf(handles->request.Get())) ||
            !RedirectTarget(handles->request.Get(), current.data(), &next))
            return TRUE; /* the answer itself; its status is checked next */
        if (redirects == MAX_REDIRECTS) {
            SetLastError(ERROR_HTTP_REDIRECT_FAILED);
            return FALSE;
        }
        current.swap(next);
    }
}

BOOL OpenUrlSource(const char *source, UrlHandles *url)
{
    char agent[SHARED_TEXT_CAPACITY];
    lstrcpynA(agent, TextOf(IDS_APP_TITLE), sizeof(agent));
    url->session.Reset(InternetOpenA(agent, INTERNET_OPEN_TYPE_PRECONFIG, NULL, NULL, 0));
    BOOL opened = url->session.IsValid() && SetTransferTimeouts(url->session.Get()) && OpenHttp(source, url);
    if (!opened) {
        ShowSystemErrorFor(NULL, IDS_OPEN_FILE_ERROR, GetLastError(), source, MESSAGE_STYLE);
        return FALSE;
    }
    return CheckHttpStatus(url->request.Get(), source);
}
