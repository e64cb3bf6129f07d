// The small HTTP server of the Windows build, run natively: request lines, and bad clients.
#include "devserver/HttpServer.h"
#include "devserver/tools/ScriptedClient.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace dravel::devserver;
using namespace dravel::devserver::tools;

TEST(HttpServer, RequestLinesAndQueries) {
    auto r = ParseHttpRequest("GET /user/proc.asp?user_id=kim&user_password=a%2Bb+c&user_id=lee&flag HTTP/1.1\r\n"
                              "Host: x\r\n\r\n");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->strMethod, "GET");
    EXPECT_EQ(r->strPath, "/user/proc.asp");
    EXPECT_EQ(r->params.at("user_id"), "kim") << "the first of a repeated name";
    EXPECT_EQ(r->params.at("user_password"), "a+b c");
    EXPECT_EQ(r->params.at("flag"), "");

    // Code page 949 bytes arrive escaped and leave as raw bytes; a broken escape stays as it is.
    EXPECT_EQ(DecodeQuery("n=%B1%E8&x=%4&y=%zz%").at("n"), "\xB1\xE8");
    EXPECT_EQ(DecodeQuery("x=%4").at("x"), "%4");
    EXPECT_EQ(DecodeQuery("y=%zz%").at("y"), "%zz%");
    EXPECT_EQ(ParseHttpRequest("GET /a%20b HTTP/1.0\r\n\r\n")->strPath, "/a b");

    for (const char* bad :
         {"", "GET\r\n\r\n", "GET / HTTP/2\r\n\r\n", "GET  / HTTP/1.1\r\n\r\n", "GET http://x/ HTTP/1.1\r\n\r\n",
          "GET / HTTP/1.1 extra\r\n\r\n", "GET /\x01 HTTP/1.1\r\n\r\n"})
        EXPECT_FALSE(ParseHttpRequest(bad)) << bad;
}

TEST(HttpServer, BadClientsGetAnAnswerOrAreClosedWhileOthersAreServed) {
    int calls = 0;
    CHttpServer server(
        [&calls](const HttpRequest& request) {
            ++calls;
            if (request.strPath == "/throw")
                throw std::runtime_error("boom");
            return WebReply{200, "text/plain", "path=" + request.strPath};
        },
        std::chrono::milliseconds(300));
    std::string error;
    ASSERT_TRUE(server.Start("127.0.0.1", 0, error)) << error;

    auto ask = [&](const std::string& bytes) {
        int fd = ConnectLoopback(server.Port());
        EXPECT_GE(fd, 0);
        SendAll(fd, bytes.data(), bytes.size());
        std::string answer = ReceiveAll(fd, 3000);
        ::close(fd);
        return answer;
    };

    // A client that sends half a head and waits: closed after the time-out, and in the meantime
    // another is served.
    int slow = ConnectLoopback(server.Port());
    SendAll(slow, "GET / HT", 8);
    std::string ok = ask("GET /x?a=1 HTTP/1.1\r\n\r\n");
    EXPECT_EQ(ok.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << ok;
    EXPECT_NE(ok.find("Content-Length: 7\r\n"), std::string::npos) << ok;
    EXPECT_NE(ok.find("Connection: close\r\n\r\npath=/x"), std::string::npos) << ok;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReceiveAll(slow, 3000), "");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    ::close(slow);

    EXPECT_EQ(ask("HELLO\r\n\r\n").rfind("HTTP/1.1 400", 0), 0u);
    EXPECT_EQ(ask("POST / HTTP/1.1\r\n\r\n").rfind("HTTP/1.1 405", 0), 0u);
    EXPECT_EQ(ask("GET /" + std::string(20000, 'a') + " HTTP/1.1\r\n\r\n").rfind("HTTP/1.1 400", 0), 0u);
    EXPECT_EQ(ask("GET /throw HTTP/1.1\r\n\r\n").rfind("HTTP/1.1 500", 0), 0u);
    std::string head = ask("HEAD /x HTTP/1.1\r\n\r\n");
    EXPECT_NE(head.find("Content-Length: 7\r\n"), std::string::npos) << head;
    EXPECT_EQ(head.find("path="), std::string::npos) << "no body for HEAD";
    EXPECT_EQ(calls, 3);
    server.Stop();
}
