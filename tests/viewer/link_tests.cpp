/* corvala: links as the shell hands them over ("<viewer>" -g -- "%1"): only
   an http or https URL inside, alone on the command line, is accepted. */
#include "doctest_config.h"
#include "link_source.h"
#include "viewer.h"

#include <string>
#include <vector>

struct LinkCase {
    std::vector<std::string> args; /* after "<viewer>" */
    LinkVerdict verdict;
    const char *url;               /* accepted: the URL fetched */
};

static const LinkCase kLinks[] = {
    { { "-g", "--", "corvala:http://127.0.0.1:8000/a.cvep" }, LINK_ACCEPTED, "http://127.0.0.1:8000/a.cvep" },
    { { "-g", "--", "CORVALA:HTTPS://host/x?y=%22z%22#f" }, LINK_ACCEPTED, "HTTPS://host/x?y=%22z%22#f" },
    { { "corvala:http://user@host:81/a" }, LINK_ACCEPTED, "http://user@host:81/a" },
    /* a quote in the link split it: -d is an operand after "--" */
    { { "-g", "--", "corvala:http://host/a", "-d", "C:\\victim.txt" }, LINK_EXTRA_OPERANDS, NULL },
    { { "-g", "--", "corvala:http://host/a", "C:\\victim.txt" }, LINK_EXTRA_OPERANDS, NULL },
    { { "-g", "--", "corvala:file:///C:/victim.txt" }, LINK_BAD_URL, NULL },
    { { "-g", "--", "corvala:C:\\victim.txt" }, LINK_BAD_URL, NULL },
    { { "-g", "--", "corvala:victim" }, LINK_BAD_URL, NULL },
    { { "-g", "--", "corvala:" }, LINK_BAD_URL, NULL },
    { { "-g", "--", "corvala:ftp://host/a" }, LINK_BAD_URL, NULL },
    { { "-g", "--", "corvala:http://" }, LINK_BAD_URL, NULL },
    { { "-g", "--", "corvala:http:///C:/victim.txt" }, LINK_BAD_URL, NULL },
    { { "-g", "--", "corvala:http://host/a\" -d \"C:\\victim.txt" }, LINK_BAD_URL, NULL },
    { { "-g", "--", "corvala:http://host/a b" }, LINK_BAD_URL, NULL },
    { { "-g", "--", "corvala:http://host\\..\\a" }, LINK_BAD_URL, NULL },
    { { "-g", "--", "corvala:http://h\xf6st/a" }, LINK_BAD_URL, NULL },
    /* not links: handled as before */
    { { "-g", "http://host/a" }, LINK_NONE, NULL },
    { { "C:\\corvala:x.cvep", "second" }, LINK_NONE, NULL },
};

TEST_CASE("links from the shell: accepted, refused, or not links at all")
{
    for (const LinkCase &c : kLinks) {
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), "Corvala Viewer.exe");
        std::vector<char *> argv;
        for (std::string &arg : args)
            argv.push_back(&arg[0]);
        argv.push_back(NULL);
        ViewerOptions options;
        ParseCommandLine((int)args.size(), argv.data(), &options);
        const char *url = "untouched";
        INFO(args.back());
        CHECK(CheckLinkSource(options.source, options.operandCount, &url) == c.verdict);
        CHECK(std::string(url != NULL ? url : "<none>") == std::string(c.url != NULL ? c.url : "<none>"));
    }
}
