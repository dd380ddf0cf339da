#include "viewer_report.h"

#include <string.h>

namespace {

/* text starts with line and its CR LF; *rest gets what follows. */
bool StartsWithLine(const char *text, size_t length, const char *line, size_t *rest)
{
    size_t size = strlen(line);
    if (length < size + 2 || memcmp(text, line, size) != 0 || memcmp(text + size, "\r\n", 2) != 0)
        return false;
    *rest = size + 2;
    return true;
}

/* "printed <copies>\r\n" and nothing after it. */
bool ReadPrinted(const char *text, size_t length, int *copies)
{
    static const char kWord[] = "printed ";
    size_t at = sizeof(kWord) - 1;
    if (length < at || memcmp(text, kWord, at) != 0)
        return false;
    long value = 0;
    size_t digits = 0;
    for (; at < length && text[at] >= '0' && text[at] <= '9' && digits < 6; at++, digits++)
        value = value * 10 + (text[at] - '0');
    if (digits == 0 || value < 1 || value > MAX_REPORT_COPIES || length - at != 2 || memcmp(text + at, "\r\n", 2) != 0)
        return false;
    *copies = (int)value;
    return true;
}

} // namespace

ViewerReport ParseViewerReport(const char *text, size_t length)
{
    ViewerReport report = { REPORT_NONE, 0, std::string() };
    size_t rest = 0;
    if (length > MAX_REPORT_BYTES)
        return report;
    if (ReadPrinted(text, length, &report.copies))
        report.kind = REPORT_PRINTED;
    else if (StartsWithLine(text, length, "saved", &rest) && rest == length)
        report.kind = REPORT_SAVED;
    else if (StartsWithLine(text, length, "cancelled", &rest) && rest == length)
        report.kind = REPORT_CANCELLED;
    else if (StartsWithLine(text, length, "failed", &rest)) {
        report.kind = REPORT_FAILED;
        report.message.assign(text + rest, strnlen(text + rest, length - rest));
    }
    return report;
}
