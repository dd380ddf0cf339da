#include "spool_target.h"

#include <new>

#include "temp_file.h"
#include "viewer_launch.h"

namespace {

/* ANSI text (the system's code page) as UTF-8. */
std::string Utf8FromAnsi(const char *text)
{
    std::string utf8;
    int wide = MultiByteToWideChar(CP_ACP, 0, text, -1, NULL, 0);
    if (wide <= 0)
        return utf8;
    std::wstring buffer(wide, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, &buffer[0], wide);
    int bytes = WideCharToMultiByte(CP_UTF8, 0, buffer.c_str(), -1, NULL, 0, NULL, NULL);
    if (bytes > 0) {
        utf8.resize(bytes);
        WideCharToMultiByte(CP_UTF8, 0, buffer.c_str(), -1, &utf8[0], bytes, NULL, NULL);
        utf8.resize(bytes - 1);
    }
    return utf8;
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

} // namespace

TempFileTarget::TempFileTarget() {}
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
}

SpoolOutcome TempFileTarget::Print(std::string *detail)
{
    std::unique_ptr<TempFile> file(std::move(file_));
    if (!file->HandOff()) {
        *detail = SystemText(file->Name(), GetLastError());
        file->Discard();
        return SPOOL_DISK;
    }
    char viewer[VIEWER_PATH_CAPACITY] = "";
    DWORD error = 0;
    if (!LaunchViewer(file->Name(), viewer, &error)) {
        *detail = SystemText(viewer, error);
        return SPOOL_VIEWER;
    }
    return SPOOL_OK;
}
