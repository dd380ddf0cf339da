/* libFuzzer harness for the print host's messages: the first byte picks
   which spool-target steps fail, the rest is a series of messages separated
   by NUL bytes (which JSON text cannot hold).  Every reply must be a small
   JSON object with a type; the target's file is created, written and
   printed only in order, and none is left once no transfer is open.  A
   file message's path reaches the target only when it is of our form; the
   viewer's report is the input's last message, read as one. */
#include "../../printhost/download_path.h"
#include "../../printhost/json_reader.h"
#include "../../printhost/session.h"

#include <stdlib.h>
#include <string.h>
#include <vector>

namespace {

struct FakeTarget : SpoolTarget {
    unsigned failures = 0;
    bool exists = false;
    size_t written = 0;
    bool Create(std::string *detail) override
    {
        if (exists)
            abort();
        if (failures & 1)
            return *detail = "C:\\Temp: Disk full.", false;
        exists = true;
        written = 0;
        return true;
    }
    bool Write(const unsigned char *data, size_t length, std::string *detail) override
    {
        if (!exists || length > MAX_CHUNK_BYTES)
            abort();
        if ((failures & 2) && written > 0)
            return *detail = "Disk full.", false;
        written += length;
        return true;
    }
    void Discard() override { exists = false; }
    SpoolOutcome Adopt(const std::string &path, std::string *detail) override
    {
        if (exists || path.size() > MAX_DOWNLOAD_PATH_BYTES)
            abort();
        if (failures & 8)
            return *detail = "The downloaded file is not a plain file.", SPOOL_REFUSED;
        exists = true;
        return SPOOL_OK;
    }
    SpoolOutcome Print(const std::string &origin, std::string *detail) override
    {
        if (!exists || viewerRunning || origin.size() > MAX_ORIGIN_BYTES)
            abort();
        exists = false;
        if (failures & 4)
            return *detail = "Corvala Viewer.exe: File not found.\"\\\x01", SPOOL_VIEWER;
        viewerRunning = true;
        return SPOOL_OK;
    }
    ViewerReport AwaitOutcome() override
    {
        if (!viewerRunning)
            abort();
        viewerRunning = false;
        ViewerReport report = ParseViewerReport(report_.data(), report_.size());
        if ((report.kind == REPORT_PRINTED) != (report.copies > 0) || report.message.size() > MAX_REPORT_BYTES)
            abort();
        return report;
    }
    bool viewerRunning = false;
    std::string report_;
};

void CheckReply(std::string reply)
{
    JsonObject object;
    if (reply.size() > 1024 || !JsonParseObject(&reply[0], reply.size(), &object) ||
        JsonFind(object, "type").kind != JSON_STRING)
        abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    FakeTarget target;
    target.failures = data[0];
    {
        Session session(&target);
        const uint8_t *p = data + 1, *end = data + size;
        const uint8_t *last = end;
        while (last > p && last[-1] != 0)
            last--;
        target.report_.assign(last, end);
        while (p < end) {
            const uint8_t *stop = (const uint8_t *)memchr(p, 0, end - p);
            if (stop == NULL)
                stop = end;
            std::vector<char> message(p, stop);
            CheckReply(session.Handle(message.data(), message.size()));
            std::string outcome = session.Outcome();
            if (!outcome.empty())
                CheckReply(outcome);
            if (target.viewerRunning)
                abort();
            if (!session.TransferOpen() && target.exists)
                abort();
            p = stop + 1;
        }
        if (session.TransferOpen())
            CheckReply(session.InputEnded(false));
        if (target.exists)
            abort();
    }
    return 0;
}
