#include "spool_target.h"

#include <new>
#include <string.h>

#include "adopt_file.h"
#include "silent_policy.h"
#include "viewer_launch.h"
#include "wide_text.h"

namespace {

std::string Utf8FromAnsi(const char *text)
{
    return Utf8From(CP_ACP, text);
}

/* "<subject>: <the system's text for error>", as the viewer's messages put it. */
std::string SystemText(const char *subject, DWORD error)
{
    wchar_t *text = NULL;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  NULL, error, 0, (LPWSTR)&text, 0, NULL);
    std::string reason;
    if (length > 0) {
        while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n' || text[length - 1] == L' '))
            length--;
        int bytes = WideCharToMultiByte(CP_UTF8, 0, text, (int)length, NULL, 0, NULL, NULL);
        reason.resize(bytes > 0 ? bytes : 0);
        if (bytes > 0)
            WideCharToMultiByte(CP_UTF8, 0, text, (int)length, &reason[0], bytes, NULL, NULL);
    } else {
        reason = "Error " + std::to_string((unsigned long)error) + ".";
    }
    LocalFree(text);
    return Utf8FromAnsi(subject != NULL ? subject : "") + ": " + reason;
}

/* The outcome file's bytes, at most one more than a report may hold. */
std::string ReadReport(const char *name)
{
    std::string bytes;
    ScopedFile file(CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                                OPEN_EXISTING, 0, NULL));
    char block[MAX_REPORT_BYTES + 1];
    DWORD read = 0;
    while (file.IsValid() && bytes.size() < sizeof(block) &&
           ReadFile(file.Get(), block, (DWORD)(sizeof(block) - bytes.size()), &read, NULL) && read > 0)
        bytes.append(block, read);
    return bytes;
}

} // namespace

TempFileTarget::TempFileTarget() { spoolName_[0] = '\0'; }
TempFileTarget::~TempFileTarget() {}

bool TempFileTarget::Create(std::string *detail)
{
    file_.reset(new (std::nothrow) TempFile);
    if (!file_) {
        *detail = SystemText("", ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    DWORD error = 0;
    const char *subject = NULL;
    if (!file_->Create(&error, &subject)) {
        *detail = SystemText(subject, error);
        file_.reset();
        return false;
    }
    return true;
}

bool TempFileTarget::Write(const unsigned char *data, size_t length, std::string *detail)
{
    if (length > 0 && !file_->Write(data, (DWORD)length)) {
        *detail = SystemText(file_->Name(), GetLastError());
        return false;
    }
    return true;
}

void TempFileTarget::Discard()
{
    file_.reset();   /* the owner deletes a file it still holds */
    adopted_.clear();
}

SpoolOutcome TempFileTarget::Adopt(const std::string &path, std::string *detail)
{
    std::wstring source = WideFromUtf8(path);
    file_.reset(new (std::nothrow) TempFile);
    if (!file_ || source.empty()) {
        *detail = SystemText("", file_ ? ERROR_NO_UNICODE_TRANSLATION : ERROR_NOT_ENOUGH_MEMORY);
        file_.reset();
        return SPOOL_DISK;
    }
    DWORD error = 0;
    const char *subject = "";
    AdoptStatus status = AdoptDownload(source.c_str(), file_.get(), &error, &subject);
    if (status == ADOPT_OK) {
        adopted_ = source;
        return SPOOL_OK;
    }
    /* A refusal says why without naming the file: the page must learn
       nothing of the user's folders. */
    if (status == ADOPT_UNOPENED)
        *detail = SystemText("The downloaded file cannot be opened", error);
    else if (status == ADOPT_NOT_PLAIN)
        *detail = "The downloaded file is not a plain file: a folder, a link, a device or a file of several names.";
    else
        *detail = SystemText(subject, error);
    file_.reset();
    return status == ADOPT_DISK ? SPOOL_DISK : SPOOL_REFUSED;
}

void TempFileTarget::Abandon(std::unique_ptr<TempFile> file)
{
    if (!adopted_.empty())
        ReturnDownload(file.get(), adopted_.c_str());   /* else deleted with its owner */
    adopted_.clear();
}

SpoolOutcome TempFileTarget::Print(const std::string &origin, std::string *detail)
{
    std::unique_ptr<TempFile> file(std::move(file_));
    report_.reset(new (std::nothrow) TempFile("CVO"));
    DWORD error = 0;
    const char *subject = NULL;
    if (!file->Close()) {
        *detail = SystemText(file->Name(), GetLastError());
        adopted_.clear();   /* only a transfer's file is still open here: a taken download is closed */
        return SPOOL_DISK;
    }
    if (!report_ || !report_->Create(&error, &subject) || !report_->Close()) {
        *detail = report_ ? SystemText(subject != NULL ? subject : report_->Name(), error != 0 ? error : GetLastError())
                          : SystemText("", ERROR_NOT_ENOUGH_MEMORY);
        report_.reset();
        Abandon(std::move(file));
        return SPOOL_DISK;
    }
    std::string printer;
    bool silent = !origin.empty() && FindSilentPrinter(origin, &printer);
    char viewer[VIEWER_PATH_CAPACITY] = "";
    HANDLE process = NULL;
    if (!StartViewerWithOutcome(file->Name(), report_->Name(), silent ? printer.c_str() : NULL, viewer, &error,
                                &process)) {
        *detail = SystemText(viewer, error);
        report_.reset();
        Abandon(std::move(file));
        return SPOOL_VIEWER;
    }
    viewer_.Reset(process);
    lstrcpynA(spoolName_, file->Name(), sizeof(spoolName_));
    file->HandOff();   /* the viewer deletes it */
    adopted_.clear();
    return SPOOL_OK;
}

ViewerReport TempFileTarget::AwaitOutcome()
{
    if (viewer_.IsValid())
        WaitForSingleObject(viewer_.Get(), INFINITE);
    viewer_.Close();
    std::string bytes = report_ ? ReadReport(report_->Name()) : std::string();
    report_.reset();
    ViewerReport report = ParseViewerReport(bytes.data(), bytes.size());
    /* A viewer that did not get to its report did not get to delete its
       file either. */
    if (report.kind == REPORT_NONE && spoolName_[0] != '\0')
        DeleteFileA(spoolName_);
    spoolName_[0] = '\0';
    if (report.kind == REPORT_FAILED)
        report.message = Utf8From(CP_ACP, report.message.data(), (int)report.message.size());
    return report;
}
