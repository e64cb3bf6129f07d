#include "win/app/UpdateDownload.h"

#include "win/base/Handles.h"

#include <winhttp.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace dravel::win {

namespace {

using CInternetHandle = CHandleOwner<detail::NullTraits<HINTERNET, ::WinHttpCloseHandle>>;

constexpr DWORD kReadBufferBytes = 64 * 1024;
constexpr wchar_t kAgent[] = L"Dravel On";

// Strings WinHTTP allocated for a proxy configuration, freed with GlobalFree.
class CGlobalString {
public:
    explicit CGlobalString(LPWSTR p = nullptr) : m_p(p) {}
    ~CGlobalString() {
        if (m_p)
            ::GlobalFree(m_p);
    }
    CGlobalString(const CGlobalString&) = delete;
    CGlobalString& operator=(const CGlobalString&) = delete;
    LPWSTR Get() const { return m_p; }

private:
    LPWSTR m_p;
};

// One download: shared by the worker that runs it and the caller that waits for it, so that either may
// be the last to let go.
struct CDownloadJob {
    UpdateRequest request;
    std::wstring strTarget;
    CKernelHandle hDone;
    std::atomic<HINTERNET> hRequest{nullptr}; // the request in flight; closed by whoever takes it
    std::atomic<bool> bAbandoned{false};
    DownloadResult result = DownloadResult::Failed;
};

void CloseRequest(CDownloadJob& job) {
    if (HINTERNET h = job.hRequest.exchange(nullptr))
        ::WinHttpCloseHandle(h);
}

struct ProxyChoice {
    std::wstring strProxy;
    std::wstring strBypass;
};

// Some WinHTTP implementations take the automatic access type and still go direct, and take a proxy only
// when a session is opened with it, so the user's own settings (as Internet Options keeps them) choose
// the proxy here: a configuration script or automatic detection first, the fixed proxy when they find
// nothing. Nothing when the user has no proxy for `url`.
std::optional<ProxyChoice> UserProxy(HINTERNET hSession, const std::wstring& url) {
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG user{};
    if (!::WinHttpGetIEProxyConfigForCurrentUser(&user))
        return std::nullopt;
    CGlobalString scriptUrl(user.lpszAutoConfigUrl), proxy(user.lpszProxy), bypass(user.lpszProxyBypass);
    if (user.fAutoDetect || scriptUrl.Get()) {
        WINHTTP_AUTOPROXY_OPTIONS options{};
        if (scriptUrl.Get()) {
            options.dwFlags |= WINHTTP_AUTOPROXY_CONFIG_URL;
            options.lpszAutoConfigUrl = scriptUrl.Get();
        }
        if (user.fAutoDetect) {
            options.dwFlags |= WINHTTP_AUTOPROXY_AUTO_DETECT;
            options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
        }
        options.fAutoLogonIfChallenged = TRUE;
        WINHTTP_PROXY_INFO found{};
        if (::WinHttpGetProxyForUrl(hSession, url.c_str(), &options, &found)) {
            CGlobalString foundProxy(found.lpszProxy), foundBypass(found.lpszProxyBypass);
            if (found.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY && foundProxy.Get() && foundProxy.Get()[0])
                return ProxyChoice{foundProxy.Get(), foundBypass.Get() ? foundBypass.Get() : L""};
            return std::nullopt; // the script said DIRECT
        }
    }
    if (proxy.Get() && proxy.Get()[0] != L'\0')
        return ProxyChoice{proxy.Get(), bypass.Get() ? bypass.Get() : L""};
    return std::nullopt;
}

DWORD QueryNumber(HINTERNET hRequest, DWORD query, DWORD fallback) {
    DWORD value = 0, size = sizeof(value);
    if (!::WinHttpQueryHeaders(hRequest, query | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX, &value, &size,
                               WINHTTP_NO_HEADER_INDEX))
        return fallback;
    return value;
}

// The Location header as bytes; empty when missing, not ASCII or unreasonably long.
std::string QueryLocation(HINTERNET hRequest) {
    wchar_t buffer[2048];
    DWORD size = sizeof(buffer);
    if (!::WinHttpQueryHeaders(hRequest, WINHTTP_QUERY_LOCATION, WINHTTP_HEADER_NAME_BY_INDEX, buffer, &size,
                               WINHTTP_NO_HEADER_INDEX))
        return {};
    std::string location;
    for (DWORD i = 0; i < size / sizeof(wchar_t); ++i) {
        if (buffer[i] >= 0x80)
            return {};
        location += static_cast<char>(buffer[i]);
    }
    return location;
}

bool IsRedirect(DWORD status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::wstring Ascii(std::string_view s) {
    return std::wstring(s.begin(), s.end());
}

// Reads the body into the target, counting every byte against the limit and checking the job between
// reads: a server that sends one byte now and then never holds the worker past its caller's patience.
DownloadResult ReceiveBody(CDownloadJob& job, HINTERNET hRequest) {
    const DWORD announced = QueryNumber(hRequest, WINHTTP_QUERY_CONTENT_LENGTH, 0);
    if (announced > kMaxDownloadSize)
        return DownloadResult::TooLarge;
    CKernelHandle file(
        ::CreateFileW(job.strTarget.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return DownloadResult::Failed;
    std::vector<char> buffer(kReadBufferBytes);
    uint64_t total = 0;
    DownloadResult result = DownloadResult::Failed;
    while (!job.bAbandoned) {
        DWORD available = 0;
        if (!::WinHttpQueryDataAvailable(hRequest, &available))
            break;
        if (available == 0) {
            // A connection that ended before the announced length is a failed download, not a short file.
            if (announced == 0 || total == announced)
                result = DownloadResult::Done;
            break;
        }
        DWORD got = 0;
        if (!::WinHttpReadData(hRequest, buffer.data(), std::min<DWORD>(available, kReadBufferBytes), &got) || got == 0)
            break;
        total += got;
        if (total > kMaxDownloadSize) {
            result = DownloadResult::TooLarge;
            break;
        }
        DWORD written = 0;
        if (!::WriteFile(file.Get(), buffer.data(), got, &written, nullptr) || written != got)
            break;
    }
    file.Reset();
    if (result != DownloadResult::Done || job.bAbandoned)
        ::DeleteFileW(job.strTarget.c_str());
    return job.bAbandoned ? DownloadResult::TimedOut : result;
}

DownloadResult Run(CDownloadJob& job) {
    const UpdateRequest& req = job.request;
    // The system's and the user's proxy settings, where the session can take them itself (Windows 8.1 and
    // later; refused before).
    CInternetHandle session(
        ::WinHttpOpen(kAgent, WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session)
        session.Reset(::WinHttpOpen(kAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                    WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session)
        return DownloadResult::Failed;
    // Every request of the download goes to the one origin: its proxy is chosen once.
    const std::string origin =
        (req.bSecure ? "https://" : "http://") + req.server.strHost + ":" + std::to_string(req.server.nPort);
    if (std::optional<ProxyChoice> proxy = UserProxy(session.Get(), Ascii(origin + req.strPath))) {
        session.Reset(::WinHttpOpen(kAgent, WINHTTP_ACCESS_TYPE_NAMED_PROXY, proxy->strProxy.c_str(),
                                    proxy->strBypass.empty() ? WINHTTP_NO_PROXY_BYPASS : proxy->strBypass.c_str(), 0));
        if (!session)
            return DownloadResult::Failed;
    }
    if (job.bAbandoned)
        return DownloadResult::TimedOut;
    const int ms = static_cast<int>(req.nDeadlineMs);
    ::WinHttpSetTimeouts(session.Get(), ms, ms, ms, ms);
    DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    ::WinHttpSetOption(session.Get(), WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof(never));
    CInternetHandle connection(::WinHttpConnect(session.Get(), Ascii(req.server.strHost).c_str(), req.server.nPort, 0));
    if (!connection)
        return DownloadResult::Failed;

    std::string path = req.strPath;
    for (int redirects = 0; !job.bAbandoned; ++redirects) {
        HINTERNET hRequest = ::WinHttpOpenRequest(connection.Get(), L"GET", Ascii(path).c_str(), nullptr,
                                                  WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                  WINHTTP_FLAG_REFRESH | (req.bSecure ? WINHTTP_FLAG_SECURE : 0));
        if (!hRequest)
            return DownloadResult::Failed;
        job.hRequest = hRequest;
        // Redirects are ours to judge: the policy above, and this for stacks that know only this one.
        DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS;
        ::WinHttpSetOption(hRequest, WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects, sizeof(noRedirects));
        DownloadResult result = DownloadResult::Failed;
        std::optional<std::string> next;
        if (!job.bAbandoned &&
            ::WinHttpSendRequest(hRequest, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) &&
            ::WinHttpReceiveResponse(hRequest, nullptr)) {
            const DWORD status = QueryNumber(hRequest, WINHTTP_QUERY_STATUS_CODE, 0);
            if (status == 200)
                result = ReceiveBody(job, hRequest);
            else if (IsRedirect(status) && redirects < kMaxRedirects)
                next = SameOriginRedirect(QueryLocation(hRequest), req.bSecure, req.server);
        }
        CloseRequest(job);
        if (!next)
            return job.bAbandoned ? DownloadResult::TimedOut : result;
        path = std::move(*next);
    }
    return DownloadResult::TimedOut;
}

DWORD WINAPI DownloadThread(void* param) {
    std::unique_ptr<std::shared_ptr<CDownloadJob>> owned(static_cast<std::shared_ptr<CDownloadJob>*>(param));
    CDownloadJob& job = **owned;
    try {
        job.result = Run(job);
    } catch (...) {
        job.result = DownloadResult::Failed;
    }
    ::SetEvent(job.hDone.Get());
    return 0;
}

} // namespace

DownloadResult DownloadToFile(const UpdateRequest& request, const std::wstring& target) {
    auto job = std::make_shared<CDownloadJob>();
    job->request = request;
    job->strTarget = target;
    job->hDone.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!job->hDone)
        return DownloadResult::Failed;
    const ULONGLONG started = ::GetTickCount64();
    // WinHTTP's own time-outs bound each step, not the whole (a server may send a byte every few
    // seconds), and a request closed under a waiting call does not end that call everywhere: the
    // transfer runs on a thread of its own and is waited for only until the deadline.
    auto* param = new std::shared_ptr<CDownloadJob>(job);
    CKernelHandle thread(::CreateThread(nullptr, 0, DownloadThread, param, 0, nullptr));
    if (!thread) {
        delete param;
        return DownloadResult::Failed;
    }
    const ULONGLONG spent = ::GetTickCount64() - started;
    const DWORD left = spent >= request.nDeadlineMs ? 0 : request.nDeadlineMs - static_cast<DWORD>(spent);
    if (::WaitForSingleObject(job->hDone.Get(), left) == WAIT_OBJECT_0)
        return job->result;
    job->bAbandoned = true;
    CloseRequest(*job);
    // It may have finished just now, before it could see that it was given up.
    if (::WaitForSingleObject(job->hDone.Get(), 0) == WAIT_OBJECT_0 && job->result == DownloadResult::Done)
        return DownloadResult::Done;
    return DownloadResult::TimedOut;
}

} // namespace dravel::win
