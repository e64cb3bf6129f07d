// devserver.exe (from beside this test) on free ports, driven by clients that speak through the core's
// connection over Winsock.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include "core/protocol/ClientConnection.h"
#include "core/protocol/TextConverter.h"

#include "tests/core/support/Bytes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

using namespace dravel;
namespace fs = std::filesystem;

namespace {

// Code page 949 bytes of the demo texts.
const std::string kKimName = "\xB1\xE8\xC3\xB6\xBC\xF6"; // 김철수
const std::string kHello = "\xBE\xC8\xB3\xE7";           // 안녕

struct WinsockUser {
    WinsockUser() { WSAStartup(MAKEWORD(2, 2), &data); }
    ~WinsockUser() { WSACleanup(); }
    WSADATA data{};
};

SOCKET ConnectLoopback(uint16_t port) {
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET)
        return s;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::closesocket(s);
        return INVALID_SOCKET;
    }
    return s;
}

// Waits up to `ms` for data; false on time-out.
bool Readable(SOCKET s, int ms) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval tv{ms / 1000, (ms % 1000) * 1000};
    return ::select(0, &set, nullptr, nullptr, &tv) > 0;
}

// One HTTP GET; the whole answer (the server closes after it), or what came within 5 s.
std::string HttpGet(uint16_t port, const std::string& target) {
    SOCKET s = ConnectLoopback(port);
    if (s == INVALID_SOCKET)
        return {};
    std::string request = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    ::send(s, request.data(), static_cast<int>(request.size()), 0);
    std::string answer;
    char buffer[4096];
    while (Readable(s, 5000)) {
        int n = ::recv(s, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        answer.append(buffer, n);
    }
    ::closesocket(s);
    return answer;
}

class CSocketStream final : public ByteStream {
public:
    explicit CSocketStream(SOCKET s) : m_socket(s) {
        u_long on = 1;
        ::ioctlsocket(m_socket, FIONBIO, &on);
    }
    ~CSocketStream() override { Close(); }
    // No writability loop here: a write hands over everything, waiting for the socket if it must.
    WriteResult Write(const char* data, size_t size) override {
        const size_t total = size;
        while (size > 0) {
            int n = ::send(m_socket, data, static_cast<int>(size), 0);
            if (n > 0) {
                data += n;
                size -= static_cast<size_t>(n);
            } else if (n < 0 && ::WSAGetLastError() == WSAEWOULDBLOCK) {
                ::Sleep(1);
            } else {
                return {WriteStatus::Error, 0};
            }
        }
        return {WriteStatus::Taken, total};
    }
    ReadResult Read(char* buffer, size_t capacity) override {
        int n = ::recv(m_socket, buffer, static_cast<int>(capacity), 0);
        if (n > 0)
            return {ReadStatus::Data, static_cast<size_t>(n)};
        if (n == 0)
            return {ReadStatus::Closed, 0};
        return {::WSAGetLastError() == WSAEWOULDBLOCK ? ReadStatus::WouldBlock : ReadStatus::Error, 0};
    }
    void Close() override {
        if (m_socket != INVALID_SOCKET)
            ::closesocket(m_socket);
        m_socket = INVALID_SOCKET;
    }
    SOCKET Socket() const { return m_socket; }

private:
    SOCKET m_socket;
};

class CTestClient final : public ConnectionOwner {
public:
    CTestClient(std::string id, std::string password) : m_strId(std::move(id)), m_strPassword(std::move(password)) {}

    bool Connect(uint16_t port) {
        SOCKET s = ConnectLoopback(port);
        if (s == INVALID_SOCKET)
            return false;
        m_pStream = std::make_unique<CSocketStream>(s);
        m_pConnection =
            std::make_unique<CClientConnection>(*this, *m_pStream, m_converter, m_strId, m_strPassword, "127.0.0.1");
        return true;
    }
    CClientConnection& Connection() { return *m_pConnection; }

    bool WaitFor(const std::function<bool()>& done, int timeoutMs = 10000) {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            if (m_pConnection && !m_bLost)
                m_pConnection->ReadPendingRecords();
            if (done())
                return true;
            if (m_bLost || std::chrono::steady_clock::now() > end)
                return false;
            Readable(m_pStream->Socket(), 50);
        }
    }
    const CComData* Find(int32_t command, size_t from = 0) const {
        for (size_t i = from; i < m_records.size(); ++i)
            if (m_records[i].m_nCommand == command)
                return &m_records[i];
        return nullptr;
    }
    bool WaitRecord(int32_t command, size_t from = 0) {
        return WaitFor([&] { return Find(command, from) != nullptr; });
    }

    std::vector<CComData> m_records;
    bool m_bLoggedIn = false;

private:
    void OnRecord(const CComData& record) override {
        if (record.m_nCommand == COM_SIGN_IN)
            m_pConnection->SendSignIn("3.80.33");
        if (record.m_nCommand == COM_LOGIN_MESSAGE && !record.m_strName.empty()) {
            m_pConnection->m_strName = record.m_strTarget;
            m_bLoggedIn = true;
        }
        m_records.push_back(record);
    }
    void OnConnectionLost() override { m_bLost = true; }
    void ShowConnectionLost() override {}

    std::string m_strId, m_strPassword;
    AsciiTextConverter m_converter;
    std::unique_ptr<CSocketStream> m_pStream;
    std::unique_ptr<CClientConnection> m_pConnection;
    bool m_bLost = false;
};

std::wstring ExeFolder() {
    wchar_t path[MAX_PATH];
    DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring s(path, n);
    return s.substr(0, s.find_last_of(L"\\/") + 1);
}

// devserver.exe with every port free-chosen and its store in `folder`.
class CServer {
public:
    ~CServer() { Stop(); }

    // True once the server printed its ports; otherwise `m_strOutput` holds what it said.
    bool Start(const fs::path& folder) {
        SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
        HANDLE readEnd = nullptr, writeEnd = nullptr;
        if (!::CreatePipe(&readEnd, &writeEnd, &sa, 0))
            return false;
        ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
        m_hOutput = readEnd;
        std::wstring command =
            L"\"" + ExeFolder() + L"devserver.exe\" --db \"" + (folder / "dev.db").wstring() +
            L"\" --messenger-port 0 --upload-port 0 --download-port 0 --http-port 0 --control-port 0";
        STARTUPINFOW si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
        si.hStdOutput = writeEnd;
        si.hStdError = writeEnd;
        PROCESS_INFORMATION pi{};
        BOOL ok = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                                   &si, &pi);
        ::CloseHandle(writeEnd);
        if (!ok)
            return false;
        ::CloseHandle(pi.hThread);
        m_hProcess = pi.hProcess;

        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < end) {
            DWORD available = 0;
            if (!::PeekNamedPipe(m_hOutput, nullptr, 0, nullptr, &available, nullptr))
                return false; // the server ended
            if (available == 0) {
                ::Sleep(20);
                continue;
            }
            char buffer[512];
            DWORD n = 0;
            if (!::ReadFile(m_hOutput, buffer, std::min<DWORD>(available, sizeof buffer), &n, nullptr))
                return false;
            m_strOutput.append(buffer, n);
            unsigned m = 0, u = 0, d = 0, h = 0, k = 0;
            size_t at = m_strOutput.find("devserver: listening ");
            if (at != std::string::npos && m_strOutput.find('\n', at) != std::string::npos &&
                std::sscanf(m_strOutput.c_str() + at,
                            "devserver: listening messenger=%u upload=%u download=%u http=%u control=%u", &m, &u, &d,
                            &h, &k) == 5) {
                m_nMessenger = static_cast<uint16_t>(m);
                m_nHttp = static_cast<uint16_t>(h);
                m_nControl = static_cast<uint16_t>(k);
                return true;
            }
        }
        return false;
    }

    // The exit code once the process ended within `ms`, or -1.
    long WaitExit(DWORD ms) {
        DWORD code = 0;
        if (!m_hProcess || ::WaitForSingleObject(m_hProcess, ms) != WAIT_OBJECT_0 ||
            !::GetExitCodeProcess(m_hProcess, &code))
            return -1;
        return static_cast<long>(code);
    }

    // The rest of what the server printed, once it has ended.
    std::string RestOfOutput() {
        char buffer[512];
        DWORD n = 0;
        while (::ReadFile(m_hOutput, buffer, sizeof buffer, &n, nullptr) && n > 0)
            m_strOutput.append(buffer, n);
        return m_strOutput;
    }

    std::string Control(const std::string& line) {
        SOCKET s = ConnectLoopback(m_nControl);
        if (s == INVALID_SOCKET)
            return {};
        std::string request = line + "\n";
        ::send(s, request.data(), static_cast<int>(request.size()), 0);
        std::string answer;
        char c;
        while (Readable(s, 5000) && ::recv(s, &c, 1, 0) == 1 && c != '\n')
            answer.push_back(c);
        ::closesocket(s);
        return answer;
    }

    void Stop() {
        if (m_hProcess) {
            if (WaitExit(0) < 0) {
                Control("shutdown");
                if (WaitExit(5000) < 0)
                    ::TerminateProcess(m_hProcess, 1), ::WaitForSingleObject(m_hProcess, 5000);
            }
            ::CloseHandle(m_hProcess);
            m_hProcess = nullptr;
        }
        if (m_hOutput) {
            ::CloseHandle(m_hOutput);
            m_hOutput = nullptr;
        }
    }

    uint16_t m_nMessenger = 0, m_nHttp = 0, m_nControl = 0;
    std::string m_strOutput;

private:
    HANDLE m_hProcess = nullptr;
    HANDLE m_hOutput = nullptr;
};

class DevServerExe : public ::testing::Test {
protected:
    DevServerExe() {
        m_folder = fs::temp_directory_path() / ("devserver-test-" + std::to_string(::GetCurrentProcessId()) + "-" +
                                                std::to_string(::GetTickCount()));
        fs::create_directories(m_folder);
    }
    ~DevServerExe() override {
        std::error_code ec;
        fs::remove_all(m_folder, ec);
    }
    std::unique_ptr<CTestClient> SignedIn(uint16_t port, const std::string& id, const std::string& password) {
        auto c = std::make_unique<CTestClient>(id, password);
        EXPECT_TRUE(c->Connect(port)) << id;
        EXPECT_TRUE(c->WaitFor([&] { return c->m_bLoggedIn; })) << id << " did not sign in";
        return c;
    }

    WinsockUser m_winsock;
    fs::path m_folder;
};

} // namespace

TEST_F(DevServerExe, TwoClientsTalkTheHistoryOutlivesARestartAndThePagesAnswer) {
    {
        CServer server;
        ASSERT_TRUE(server.Start(m_folder)) << server.m_strOutput;
        auto kim = SignedIn(server.m_nMessenger, "kim", "kim123");
        EXPECT_EQ(kim->Connection().m_strName, kKimName);
        size_t mark = kim->m_records.size();
        auto lee = SignedIn(server.m_nMessenger, "lee", "lee123");
        ASSERT_TRUE(kim->WaitRecord(COM_ADD_CLIENT, mark)) << "kim did not see lee arrive";
        EXPECT_EQ(kim->Find(COM_ADD_CLIENT, mark)->m_strId, "lee");

        kim->Connection().SendPrivateMessage("lee", "lee", kHello + " \"|\" ok");
        ASSERT_TRUE(lee->WaitRecord(COM_PRIVATE_MESSAGE));
        const CComData* hello = lee->Find(COM_PRIVATE_MESSAGE);
        EXPECT_EQ(hello->m_strText, kHello + " \"|\" ok");
        EXPECT_EQ(hello->m_strName, kKimName);
        EXPECT_EQ(hello->m_strId, "kim");
        EXPECT_EQ(server.Control("stats").rfind("ok sessions=2 online=2 messages=1", 0), 0u);

        std::string page = HttpGet(server.m_nHttp, "/user/proc.asp?user_id=kim&user_password=kim123");
        EXPECT_EQ(page.rfind("HTTP/1.1 200", 0), 0u) << page.substr(0, 200);
        EXPECT_NE(page.find("\xED\x99\x98\xEC\x98\x81\xED\x95\xA9\xEB\x8B\x88\xEB\x8B\xA4"), std::string::npos)
            << "the welcome (UTF-8) is missing";
        std::string wrong = HttpGet(server.m_nHttp, "/user/proc.asp?user_id=kim&user_password=nope");
        EXPECT_EQ(wrong.find("\xED\x99\x98\xEC\x98\x81"), std::string::npos);
        EXPECT_EQ(HttpGet(server.m_nHttp, "/nothing/here").rfind("HTTP/1.1 404", 0), 0u);

        EXPECT_EQ(server.Control("shutdown"), "ok");
        EXPECT_EQ(server.WaitExit(10000), 0) << server.RestOfOutput();
    }

    // Started again on the same store: the message is in kim's history with lee.
    CServer again;
    ASSERT_TRUE(again.Start(m_folder)) << again.m_strOutput;
    auto kim = SignedIn(again.m_nMessenger, "kim", "kim123");
    size_t mark = kim->m_records.size();
    kim->Connection().SendHistoryRequest("lee");
    ASSERT_TRUE(kim->WaitRecord(COM_PRIVATE_HISTORY, mark));
    const CComData* history = kim->Find(COM_PRIVATE_HISTORY, mark);
    EXPECT_EQ(history->m_nStatus, -4);
    EXPECT_EQ(history->m_strText.rfind("\">\"|\"" + kHello + " \"\"", 0), 0u) << history->m_strText;
}

TEST_F(DevServerExe, ADamagedStoreIsRefusedWithAMessageAndLeftAlone) {
    const fs::path db = m_folder / "dev.db";
    const std::string damaged = "dravelon-devserver-store 1\nU kim kim123 x 1 0\nthis is not a change\n";
    std::ofstream(db, std::ios::binary) << damaged;

    CServer server;
    EXPECT_FALSE(server.Start(m_folder));
    EXPECT_EQ(server.WaitExit(10000), 2);
    std::string output = server.RestOfOutput();
    EXPECT_NE(output.find("is damaged at line 3"), std::string::npos) << output;

    EXPECT_EQ(dravel::test::ReadFileBytes(db), damaged);
}
