#include "renamer/http/split_url.h"

#include <gtest/gtest.h>

#include "renamer/http/response_head.h"

namespace vantel {

namespace modHTTP {
namespace {

TEST(SplitURL, Table) {
    struct Case {
        const char* url;
        bool ok;
        bool secure;
        const char* host;
        int32_t port;
        const char* path;
        const char* file;
    } cases[] = {
        {"http://api.tvmaze.com/search/shows?q=a+b", true, false, "api.tvmaze.com", 80,
         "/search/shows?q=a+b", "shows"},
        {"https://api.tvmaze.com/shows/1/episodes", true, true, "api.tvmaze.com", 443,
         "/shows/1/episodes", "episodes"},
        {"HTTPS://Example.com", true, true, "Example.com", 443, "/", "/"},
        {"  http://h:8080/x?y=1  ", true, false, "h", 8080, "/x?y=1", "x"},
        {"https://h:8443/", true, true, "h", 8443, "/", "/"},
        {"http://h:65535/a", true, false, "h", 65535, "/a", "a"},
        {"http://h:8080abc/a", true, false, "h", 8080, "/a", "a"},  // leading digits only
        {"http://h/a/b/c.json?x=/y", true, false, "h", 80, "/a/b/c.json?x=/y", "y"},
        {"h.example/p", true, false, "h.example", 80, "/p", "p"},  // no scheme: port 80
        {"ftp://h/a", false, false, "", 0, "", ""},
        {"http://h:0/a", false, false, "", 0, "", ""},
        {"http://h:/a", false, false, "", 0, "", ""},
        {"http://h:abc/a", false, false, "", 0, "", ""},
        {"http://h:65536/a", false, false, "", 0, "", ""},
    };
    for (const Case& c : cases) {
        UrlParts parts;
        LastOrigin last;
        bool ok = SplitURL(c.url, parts, last);
        EXPECT_EQ(ok, c.ok) << c.url;
        if (!ok || !c.ok) continue;
        EXPECT_EQ(parts.secure, c.secure) << c.url;
        EXPECT_EQ(parts.host, c.host) << c.url;
        EXPECT_EQ(parts.port, c.port) << c.url;
        EXPECT_EQ(parts.path, c.path) << c.url;
        EXPECT_EQ(parts.file, c.file) << c.url;
        EXPECT_EQ(last.host, c.host) << c.url;
    }
}

TEST(SplitURL, PathAloneGoesToTheLastServer) {
    UrlParts parts;
    LastOrigin last;
    EXPECT_FALSE(SplitURL("/shows/1", parts, last));  // no host named yet

    ASSERT_TRUE(SplitURL("https://api.example:8443/search", parts, last));
    parts = {};  // a new call starts with the secure flag off
    ASSERT_TRUE(SplitURL("/shows/1/episodes", parts, last));
    EXPECT_EQ(parts.host, "api.example");
    EXPECT_EQ(parts.port, 8443);
    EXPECT_TRUE(parts.secure);
    EXPECT_EQ(parts.path, "/shows/1/episodes");
    EXPECT_EQ(last.host, "api.example");  // a path alone does not change the last host
}

TEST(SplitURL, HostWithoutSchemeKeepsTheSecureFlagOfThePreviousPass) {
    UrlParts parts;
    LastOrigin last;
    ASSERT_TRUE(SplitURL("other.example/x", parts, last));
    EXPECT_FALSE(parts.secure);  // first pass: off

    ASSERT_TRUE(SplitURL("https://a.example/x", parts, last));
    ASSERT_TRUE(SplitURL("b.example/y", parts, last));  // the next pass of the same request
    EXPECT_TRUE(parts.secure);
    EXPECT_EQ(parts.port, 80);
    EXPECT_EQ(last.host, "b.example");
}

TEST(ParseResponseHead, StatusAndTheLinesItActsOn) {
    struct Case {
        const char* block;
        int32_t status;
        const char* location;  // nullptr: none
        int64_t length;
        int64_t retry_after;  // -1: none
    } cases[] = {
        {"HTTP/1.1 200 OK\r\nContent-Length: 42\r\n", 200, nullptr, 42, -1},
        {"HTTP/1.0 404\r\n", 404, nullptr, -1, -1},
        {"HTTP/1.1\r\n", 0, nullptr, -1, -1},      // no space: status 0
        {"garbage here\r\n", 0, nullptr, -1, -1},  // no number behind the space
        {"HTTP/1.1 302 Found\r\nlocation:   /next  \r\nLOCATION: /second\r\n", 302, "/next", -1,
         -1},
        {"HTTP/1.1 301 Moved\r\nLocation: http://h:8080/p\r\n", 301, "http://h:8080/p", -1, -1},
        {"HTTP/1.1 200 OK\r\nContent-Length: none\r\n", 200, nullptr, -1, -1},
        {"HTTP/1.1 429 Too Many\r\nRetry-After: 7\r\n", 429, nullptr, -1, 7},
        {"HTTP/1.1 429 Too Many\r\nRetry-After: Wed, 21 Oct 2015 07:28:00 GMT\r\n", 429, nullptr,
         -1, -1},
        {"HTTP/1.1 99999999999 Big\r\n", 999999, nullptr, -1, -1},
        {"HTTP/1.1 200 OK\nContent-Length:7\n", 200, nullptr, 7, -1},  // bare LF lines
        {"", 0, nullptr, -1, -1},
    };
    for (const Case& c : cases) {
        ResponseHead head = ParseResponseHead(c.block);
        EXPECT_EQ(head.status, c.status) << c.block;
        if (c.location) {
            EXPECT_EQ(head.location.value_or("(none)"), c.location) << c.block;
        } else {
            EXPECT_FALSE(head.location.has_value()) << c.block;
        }
        EXPECT_EQ(head.content_length, c.length) << c.block;
        EXPECT_EQ(head.retry_after.value_or(-1), c.retry_after) << c.block;
    }
}

}  // namespace
}  // namespace modHTTP

}  // namespace vantel
