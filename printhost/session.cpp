#include "session.h"

#include <string.h>

#include "codec.h"
#include "download_path.h"
#include "json_reader.h"
#include "json_writer.h"

/* One message read: its members, its type and its job, when valid. */
struct Session::Message {
    JsonObject object;
    char type[16];
    char job[MAX_JOB_LENGTH + 1];   /* empty unless the message names a valid job */
};

namespace {

bool IsJobCharacter(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '.' ||
           c == '-';
}

/* The member key as a job id: 1..64 characters of [A-Za-z0-9_.-]. */
bool ReadJob(const JsonObject &object, char *job)
{
    size_t length = 0;
    if (!JsonStringBytes(JsonFind(object, "job"), 0x7F, (unsigned char *)job, MAX_JOB_LENGTH, &length) ||
        length == 0)
        return (job[0] = '\0'), false;   /* a refused name may have left part of itself behind */
    job[length] = '\0';
    for (size_t i = 0; i < length; i++)
        if (!IsJobCharacter(job[i]))
            return (job[0] = '\0'), false;
    return true;
}

bool ReadInteger(const JsonObject &object, const char *key, int64_t low, int64_t high, int64_t *value)
{
    return JsonInteger(JsonFind(object, key), value) && *value >= low && *value <= high;
}

const int64_t kLargestSize = 9007199254740991LL;   /* 2^53 - 1, the largest exact number in JavaScript */

std::string Reply(const char *type, const char *job)
{
    return JsonWriter().String("type", type).String("job", job).Text();
}

/* A string member as UTF-8 text (decoded in place in the message): true
   when it is absent ("") or a string of at most capacity bytes with no
   control character. */
bool ReadText(const JsonObject &object, const char *key, size_t capacity, std::string *text)
{
    JsonValue value = JsonFind(object, key);
    size_t length = 0;
    text->clear();
    if (value.kind == JSON_ABSENT)
        return true;
    if (!JsonStringUtf8(value, value.text, value.length, &length) || length > capacity)
        return false;
    for (size_t i = 0; i < length; i++)
        if ((unsigned char)value.text[i] < 0x20 || value.text[i] == 0x7F)
            return false;
    text->assign(value.text, length);
    return true;
}

const char *const kViewerSilent = "The viewer ended without saying what became of the print.";
const size_t kMaxOutcomeMessageBytes = 400;

} // namespace

void Session::Close()
{
    if (open_)
        target_->Discard();
    open_ = false;
}

std::string Session::Fail(const char *job, const char *reason, const std::string &text)
{
    if (job[0] == '\0' && open_)
        job = job_;
    JsonWriter reply;
    reply.String("type", "error");
    if (job[0] != '\0')
        reply.String("job", job);
    std::string composed = reply.String("reason", reason).String("message", text).Text();
    Close();
    return composed;
}

std::string Session::Handle(char *text, size_t length)
{
    Message message;
    message.job[0] = '\0';
    size_t typeLength = 0;
    if (!JsonParseObject(text, length, &message.object))
        return Fail("", "protocol", "The message is not a JSON object.");
    bool jobValid = ReadJob(message.object, message.job);
    if (!JsonStringBytes(JsonFind(message.object, "type"), 0x7F, (unsigned char *)message.type,
                         sizeof(message.type) - 1, &typeLength))
        typeLength = 0;
    message.type[typeLength] = '\0';
    const char *type = message.type;
    if (strcmp(type, "hello") == 0)
        return JsonWriter().String("type", "hello").String("version", PRINTHOST_VERSION).Text();
    if (strcmp(type, "begin") != 0 && strcmp(type, "chunk") != 0 && strcmp(type, "end") != 0 &&
        strcmp(type, "cancel") != 0 && strcmp(type, "file") != 0)
        return Fail(message.job, "protocol", "The message's type is not known.");
    if (!jobValid)
        return Fail("", "protocol", "The message names no valid job.");
    if (strcmp(type, "begin") == 0)
        return Begin(message);
    if (strcmp(type, "cancel") == 0)
        return Cancel(message);
    if (strcmp(type, "file") == 0)
        return File(message);
    if (!open_ || strcmp(message.job, job_) != 0)
        return Fail(message.job, "protocol", "The job has no open transfer.");
    return strcmp(type, "chunk") == 0 ? Chunk(message) : End(message);
}

std::string Session::Begin(const Message &message)
{
    int64_t size = 0;
    if (open_)
        return Fail(message.job, "protocol", "Another transfer is still open.");
    if (!ReadInteger(message.object, "size", -1, kLargestSize, &size))
        return Fail(message.job, "protocol", "The transfer's size is missing or not valid.");
    std::string origin, detail;
    if (!ReadOrigin(message, &origin))
        return Fail(message.job, "protocol", "The message's origin is not valid.");
    if (!target_->Create(&detail))
        return Fail(message.job, "disk", detail);
    open_ = true;
    strcpy(job_, message.job);
    origin_ = origin;
    declared_ = size;
    received_ = 0;
    nextSeq_ = 0;
    crc_ = 0;
    return Reply("ready", job_);
}

/* The chunk's bytes, decoded in place from its "data" (base64) or its
   "latin1" text (one byte per code point). */
bool Session::Decode(const Message &message, unsigned char **data, size_t *length)
{
    JsonValue base64 = JsonFind(message.object, "data");
    JsonValue latin1 = JsonFind(message.object, "latin1");
    const JsonValue &value = base64.kind != JSON_ABSENT ? base64 : latin1;
    if ((base64.kind == JSON_ABSENT) == (latin1.kind == JSON_ABSENT) || value.kind != JSON_STRING)
        return false;
    *data = (unsigned char *)value.text;
    if (!JsonStringBytes(value, base64.kind != JSON_ABSENT ? 0x7F : 0xFF, *data, value.length, length))
        return false;
    return base64.kind == JSON_ABSENT || Base64DecodeInPlace(*data, *length, length);
}

std::string Session::Chunk(const Message &message)
{
    int64_t seq = 0;
    unsigned char *data = NULL;
    size_t length = 0;
    if (!ReadInteger(message.object, "seq", 0, kLargestSize, &seq) || seq != nextSeq_)
        return Fail(message.job, "protocol", "The chunk is out of order.");
    if (!Decode(message, &data, &length))
        return Fail(message.job, "protocol", "The chunk's data is not valid base64 or Latin-1 text.");
    if (length > MAX_CHUNK_BYTES)
        return Fail(message.job, "protocol", "The chunk is larger than 4 MiB.");
    if (declared_ >= 0 && received_ + (int64_t)length > declared_)
        return Fail(message.job, "size", "More data arrived than the transfer announced.");
    std::string detail;
    if (!target_->Write(data, length, &detail))
        return Fail(message.job, "disk", detail);
    received_ += length;
    nextSeq_++;
    crc_ = Crc32Update(crc_, data, length);
    return JsonWriter()
        .String("type", "ack")
        .String("job", job_)
        .Number("seq", seq)
        .Number("received", received_)
        .Text();
}

std::string Session::End(const Message &message)
{
    int64_t size = 0, crc = 0;
    if (!ReadInteger(message.object, "size", 0, kLargestSize, &size) ||
        !ReadInteger(message.object, "crc32", 0, 0xFFFFFFFFLL, &crc))
        return Fail(message.job, "protocol", "The end's size or crc32 is missing or not valid.");
    if (size != received_ || (declared_ >= 0 && declared_ != received_))
        return Fail(message.job, "size", "The data received differs from the transfer's size.");
    if ((uint32_t)crc != crc_)
        return Fail(message.job, "checksum", "The data received does not match its checksum.");
    open_ = false;   /* from here on the file is the target's to print or delete */
    return HandOver(message.job, origin_);
}

bool Session::ReadOrigin(const Message &message, std::string *origin)
{
    return ReadText(message.object, "origin", MAX_ORIGIN_BYTES, origin);
}

/* A finished download: its path is judged here, the file by the target. */
std::string Session::File(const Message &message)
{
    std::string path, origin, detail;
    if (open_)
        return Fail(message.job, "protocol", "Another transfer is still open.");
    if (JsonFind(message.object, "path").kind != JSON_STRING ||
        !ReadText(message.object, "path", MAX_DOWNLOAD_PATH_BYTES, &path))
        return Fail(message.job, "file", "The path is missing or not valid.");
    if (!IsDownloadPath(path.data(), path.size(), message.job))
        return Fail(message.job, "file", "The path does not name a spool file downloaded by the extension.");
    if (!ReadOrigin(message, &origin))
        return Fail(message.job, "protocol", "The message's origin is not valid.");
    SpoolOutcome outcome = target_->Adopt(path, &detail);
    if (outcome != SPOOL_OK)
        return Fail(message.job, outcome == SPOOL_REFUSED ? "file" : "disk", detail);
    return HandOver(message.job, origin);
}

std::string Session::HandOver(const char *job, const std::string &origin)
{
    std::string detail;
    SpoolOutcome outcome = target_->Print(origin, &detail);
    if (outcome != SPOOL_OK)
        return Fail(job, outcome == SPOOL_VIEWER ? "viewer" : "disk", detail);
    handedOver_ = true;
    strcpy(handedJob_, job);
    return Reply("done", job);
}

std::string Session::Outcome()
{
    if (!handedOver_)
        return "";
    handedOver_ = false;
    ViewerReport report = target_->AwaitOutcome();
    static const char *const kNames[] = { "failed", "printed", "saved", "cancelled", "failed" };
    JsonWriter reply;
    reply.String("type", "outcome").String("job", handedJob_).String("outcome", kNames[report.kind]);
    if (report.kind == REPORT_PRINTED)
        reply.Number("copies", report.copies);
    if (report.kind == REPORT_FAILED)
        reply.String("message", report.message, kMaxOutcomeMessageBytes);
    if (report.kind == REPORT_NONE)
        reply.String("message", kViewerSilent);
    return reply.Text();
}

std::string Session::Cancel(const Message &message)
{
    /* Nothing of another job is open: its cancel finds nothing to delete. */
    if (open_ && strcmp(message.job, job_) == 0)
        Close();
    return Reply("cancelled", message.job);
}

std::string Session::RefuseFrame(uint32_t length)
{
    return Fail("", "protocol",
                length == 0 ? "An empty message arrived." : "A message longer than 32 MiB was announced.");
}

std::string Session::InputEnded(bool cut)
{
    if (!open_ && !cut)
        return "";
    return Fail("", "protocol", cut ? "The input ended inside a message." : "The input ended during the transfer.");
}
