/* The test bed's launcher for the print host: the browser here is a Linux
   program and the host a Windows one under Wine, so the browser names its
   downloads with Linux paths.  This relay starts the host (the rest of its
   command line), passes the browser's frames on, and rewrites each string
   of a small frame that names an existing Linux file or folder into its
   Wine form, as `winepath -w` does (Z:\...).  Strings that merely start
   with a slash (base64 can) and large frames pass untouched; the host's
   replies go straight to the browser (its standard output is ours).
   Native code: it starts in a millisecond, where a script would add a
   noticeable part of a print's time.  Usage: native_relay wine host.exe ... */
#include <errno.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

enum { SMALL_FRAME = 64 * 1024, PATH_LIMIT = 4096 };

static int read_all(int fd, void *buffer, size_t length)
{
    for (size_t done = 0; done < length;) {
        ssize_t n = read(fd, (char *)buffer + done, length - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return 0;
        done += (size_t)n;
    }
    return 1;
}

static int write_all(int fd, const void *buffer, size_t length)
{
    for (size_t done = 0; done < length;) {
        ssize_t n = write(fd, (const char *)buffer + done, length - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return 0;
        done += (size_t)n;
    }
    return 1;
}

/* Appends the JSON string body text[0..length) to out, in its Wine form
   when it is a plain absolute path of something that exists. */
static size_t rewrite_string(const char *text, size_t length, char *out)
{
    char path[PATH_LIMIT];
    struct stat info;
    int plain = length > 1 && length < sizeof(path) && text[0] == '/' && memchr(text, '\\', length) == NULL;
    if (plain) {
        memcpy(path, text, length);
        path[length] = '\0';
    }
    if (!plain || stat(path, &info) != 0) {
        memcpy(out, text, length);
        return length;
    }
    size_t n = 0;
    out[n++] = 'Z';
    out[n++] = ':';
    for (size_t i = 0; i < length; i++) {
        if (text[i] == '/') {
            out[n++] = '\\';
            out[n++] = '\\';
        } else {
            out[n++] = text[i];
        }
    }
    return n;
}

/* Rewrites one frame's JSON text; out holds 3x the input at the least
   (each '/' becomes an escaped backslash). */
static size_t rewrite_frame(const char *in, size_t length, char *out)
{
    size_t n = 0;
    for (size_t i = 0; i < length;) {
        if (in[i] != '"') {
            out[n++] = in[i++];
            continue;
        }
        size_t end = i + 1;
        while (end < length && in[end] != '"')
            end += in[end] == '\\' ? 2 : 1;
        if (end >= length) {
            memcpy(out + n, in + i, length - i);
            return n + (length - i);
        }
        out[n++] = '"';
        n += rewrite_string(in + i + 1, end - i - 1, out + n);
        out[n++] = '"';
        i = end + 1;
    }
    return n;
}

/* Copies a large frame's body through without looking at it. */
static int pass_through(int from, int to, uint32_t length)
{
    char buffer[65536];
    while (length > 0) {
        size_t n = length < sizeof(buffer) ? length : sizeof(buffer);
        if (!read_all(from, buffer, n) || !write_all(to, buffer, n))
            return 0;
        length -= (uint32_t)n;
    }
    return 1;
}

static void relay(int to_host)
{
    static char in[SMALL_FRAME], out[3 * SMALL_FRAME];
    uint32_t length;
    while (read_all(0, &length, sizeof(length))) {
        if (length > SMALL_FRAME) {
            if (!write_all(to_host, &length, sizeof(length)) || !pass_through(0, to_host, length))
                return;
            continue;
        }
        if (!read_all(0, in, length))
            return;
        uint32_t rewritten = (uint32_t)rewrite_frame(in, length, out);
        if (!write_all(to_host, &rewritten, sizeof(rewritten)) || !write_all(to_host, out, rewritten))
            return;
    }
}

int main(int argc, char **argv)
{
    int channel[2];
    if (argc < 2 || pipe(channel) != 0) {
        fprintf(stderr, "usage: native_relay program [arguments...]\n");
        return 2;
    }
    signal(SIGPIPE, SIG_IGN);
    pid_t child = fork();
    if (child < 0)
        return 2;
    if (child == 0) {
        dup2(channel[0], 0);
        close(channel[0]);
        close(channel[1]);
        execvp(argv[1], argv + 1);
        perror(argv[1]);
        _exit(127);
    }
    close(channel[0]);
    relay(channel[1]);
    close(channel[1]);   /* the host sees the input end */
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR)
        ;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
