#include "core/app/HttpDownload.h"

#include <gtest/gtest.h>

using namespace dravel;
using namespace std::string_literals;

namespace {

CHttpResponseParser FeedSplit(const std::string& response, size_t step, bool end = true, size_t max = 1 << 20) {
    CHttpResponseParser p(max);
    for (size_t i = 0; i < response.size(); i += step)
        p.Feed(response.substr(i, step));
    if (end)
        p.FeedEnd();
    return p;
}

} // namespace

TEST(HostPort, ParsesHostAndOptionalPort) {
    HostPort hp;
    ASSERT_TRUE(ParseHostPort("127.0.0.1", 80, hp));
    EXPECT_EQ(hp.strHost, "127.0.0.1");
    EXPECT_EQ(hp.nPort, 80);
    ASSERT_TRUE(ParseHostPort("update.example:8080", 80, hp));
    EXPECT_EQ(hp.strHost, "update.example");
    EXPECT_EQ(hp.nPort, 8080);
    for (const char* bad : {"", ":80", "h:0", "h:65536", "h:x", "h:", "a b", "h:99999999999999999999"})
        EXPECT_FALSE(ParseHostPort(bad, 80, hp)) << bad;
}

TEST(HttpRequest, AsksForAFreshCopy) {
    HostPort hp{"127.0.0.1", 8080};
    std::string req = BuildGetRequest(hp, kUpdatePath);
    EXPECT_EQ(req.rfind("GET /Update/TamixUpdate.exe HTTP/1.1\r\nHost: 127.0.0.1:8080\r\n", 0), 0u);
    EXPECT_NE(req.find("Connection: close\r\n"), std::string::npos);
    EXPECT_NE(req.find("Cache-Control: no-cache\r\n"), std::string::npos);
    EXPECT_EQ(req.substr(req.size() - 4), "\r\n\r\n");
}

TEST(HttpResponse, BodiesByLengthChunksOrClose) {
    const std::string body = "MZ\x90\0binary\r\n\r\nbody"s;
    const std::string byLength =
        "HTTP/1.0 200 OK\r\nContent-Type: x\r\ncontent-length: " + std::to_string(body.size()) + "\r\n\r\n" + body +
        "trailing junk";
    const std::string chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nMZ\x90\0b\r\n"s +
                                std::string("d;ext=1\r\ninary\r\n\r\nbody\r\n0\r\n\r\n");
    const std::string byClose = "HTTP/1.1 200 OK\r\nServer: t\r\n\r\n" + body;
    for (size_t step : {1u, 3u, 1000u}) {
        for (const std::string* r : {&byLength, &chunked, &byClose}) {
            CHttpResponseParser p = FeedSplit(*r, step);
            ASSERT_TRUE(p.Succeeded()) << step << " " << p.Error();
            EXPECT_EQ(p.Body(), body);
        }
    }
}

TEST(HttpResponse, FailuresAreReportedNotTrusted) {
    // A whole answer with any status but 200 is read to its end and still no success.
    for (const char* status : {"404 Not Found", "201 Created", "302 Found"}) {
        const CHttpResponseParser p =
            FeedSplit(std::string("HTTP/1.1 ") + status + "\r\nContent-Length: 3\r\n\r\nno!", 5);
        EXPECT_EQ(p.GetState(), CHttpResponseParser::State::Done) << status;
        EXPECT_FALSE(p.Succeeded()) << status;
    }
    // Cut short: fewer bytes than announced, or a chunked body without its end.
    EXPECT_EQ(FeedSplit("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc", 4).GetState(),
              CHttpResponseParser::State::Failed);
    EXPECT_EQ(FeedSplit("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nab", 4).GetState(),
              CHttpResponseParser::State::Failed);
    // Garbage, bad numbers, oversize.
    for (const char* bad :
         {"SSH-2.0-OpenSSH\r\n\r\n", "HTTP/1.1 2x0 OK\r\n\r\n", "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n",
          "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\n",
          "HTTP/1.1 200 OK\r\nContent-Length: 2000000\r\n\r\n",
          "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n",
          "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nFFFFFFFFFFFFFFFFFFFF\r\n"}) {
        CHttpResponseParser p = FeedSplit(bad, 7);
        EXPECT_FALSE(p.Succeeded()) << bad;
        EXPECT_EQ(p.GetState(), CHttpResponseParser::State::Failed) << bad;
    }
    // A close-delimited body past the limit is refused while it streams in.
    CHttpResponseParser big = FeedSplit("HTTP/1.1 200 OK\r\n\r\n" + std::string(2000, 'x'), 100, false, 1000);
    EXPECT_EQ(big.GetState(), CHttpResponseParser::State::Failed);
    // A header that never ends is cut off.
    CHttpResponseParser endless = FeedSplit("HTTP/1.1 200 OK\r\nX: " + std::string(20000, 'h'), 512, false);
    EXPECT_EQ(endless.GetState(), CHttpResponseParser::State::Failed);
}
