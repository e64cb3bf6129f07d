#include "devserver/WebPages.h"

#include "devserver/Store.h"
#include "devserver/Text.h"

#include <fstream>
#include <sstream>

namespace dravel::devserver {

namespace {

std::string Html(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out.push_back(c);
        }
    }
    return out;
}

// The scripts every page shares. They speak to the client through window.external and fall back to
// plain links in an ordinary browser. Only integers are passed where the client reads numbers.
const char kScript[] = R"JS(
var idleTimer = null;
function host() {
  try { if (window.external && window.external.CB_IsOurCustomBrowser()) return window.external; } catch (e) {}
  return null;
}
function absolute(path) { return location.protocol + '//' + location.host + path; }
function showPage(path) {
  var h = host();
  if (h) h.CB_ShowModalDialog(absolute(path), 0, 0, 1024, 700); else location.href = path;
}
function openPopup(path) {
  var h = host();
  if (h) h.CB_OpenWindow(absolute(path), 120, 120, 420, 300, 0); else window.open(path);
}
function showChatList() { var h = host(); if (h) h.CB_ShowModelessDialog('chat', 0, 0, 0, 0); }
function reLogin() { var h = host(); if (h) h.CB_OpenDlgLogin(); }
function closeWindow() { var h = host(); if (h) h.CB_CloseWindow(); else window.close(); }
function idleLogout() {
  var h = host();
  if (h) h.CB_Close(); else document.getElementById('idle').style.display = 'block';
}
function resetIdle() {
  if (IDLE_MS <= 0) return;
  if (idleTimer) clearTimeout(idleTimer);
  idleTimer = setTimeout(idleLogout, IDLE_MS);
}
if (document.attachEvent) document.attachEvent('onkeydown', resetIdle);
else document.addEventListener('keydown', resetIdle, false);
resetIdle();
)JS";

const char kStyle[] = R"CSS(
body { font-family: "돋움", Dotum, sans-serif; font-size: 12px; margin: 8px; background: #f4f7fb; }
h1 { font-size: 16px; color: #1f4e8c; border-bottom: 2px solid #1f4e8c; padding-bottom: 4px; }
.menu a { margin-right: 10px; color: #1f4e8c; text-decoration: none; cursor: pointer; }
table { border-collapse: collapse; width: 100%; background: #fff; }
th, td { border: 1px solid #c8d3e0; padding: 3px 6px; text-align: left; }
th { background: #e3ebf5; }
#idle { display: none; color: #c00; }
)CSS";

const char kMenu[] = R"HTML(<div class="menu">
<a onclick="showPage('/sm/order/list.asp')">주문 목록</a>
<a onclick="showPage('/sm/board/notice/list.asp')">공지사항</a>
<a onclick="showPage('/sm/voc/list.asp')">고객의 소리</a>
<a onclick="showPage('/sm/board/qna/list.asp')">묻고 답하기</a>
<a onclick="showChatList()">대화 목록</a>
<a onclick="openPopup('/sm/popup.asp')">알림 창</a>
<a onclick="reLogin()">다시 로그인</a>
<a onclick="closeWindow()">창 닫기</a>
</div>
<p id="idle">20분간 키 입력이 없어 로그아웃되었습니다.</p>
)HTML";

std::string Table(const std::vector<std::string>& head, const std::vector<std::vector<std::string>>& rows) {
    std::string out = "<table><tr>";
    for (const std::string& h : head)
        out += "<th>" + h + "</th>";
    out += "</tr>";
    for (const auto& row : rows) {
        out += "<tr>";
        for (const std::string& cell : row)
            out += "<td>" + cell + "</td>";
        out += "</tr>";
    }
    return out + "</table>";
}

WebReply Page(const std::string& body, int nStatus = 200) {
    WebReply reply;
    reply.nStatus = nStatus;
    reply.strBody = body;
    return reply;
}

std::string Param(const WebParams& params, const std::string& name) {
    auto it = params.find(name);
    return it == params.end() ? std::string() : it->second;
}

} // namespace

std::string PortalPage(const std::string& title, const std::string& body, int nIdleSeconds) {
    std::ostringstream page;
    page << "<!DOCTYPE html>\n<html lang=\"ko\"><head><meta charset=\"utf-8\">"
         << "<meta http-equiv=\"X-UA-Compatible\" content=\"IE=edge\"><title>" << title << "</title><style>" << kStyle
         << "</style><script>var IDLE_MS = " << static_cast<long long>(nIdleSeconds) * 1000 << ";</script></head>\n"
         << "<body><h1>" << title << "</h1>\n"
         << kMenu << body << "\n<script>" << kScript << "</script></body></html>\n";
    return page.str();
}

WebReply ServeWebPage(const WebOptions& options, const std::string& path, const WebParams& params) {
    const int idle = options.nIdleSeconds;
    if (path == "/")
        return Page(
            PortalPage("Dravel On", "<p>Dravel On 개발 서버입니다. 메신저에 로그인하면 이 포털이 열립니다.</p>", idle));
    if (path == "/user/proc.asp") {
        // The client puts the ID and password in as they are, in code page 949.
        std::string id = Param(params, "user_id");
        std::string password = Param(params, "user_password");
        std::optional<UserRow> user;
        try {
            user = OpenStoreForReading(options.strDatabase)->FindUser(id);
        } catch (const std::exception&) {
        }
        if (!user || user->strPassword != password)
            return Page(PortalPage("로그인", "<p>아이디 또는 비밀번호가 올바르지 않습니다.</p>", 0));
        std::string name = Html(Cp949ToUtf8(user->strName));
        return Page(PortalPage("Dravel On 포털",
                               "<p><b>" + name +
                                   "</b> 님, 환영합니다.</p><p>위의 메뉴에서 주문과 게시판을 볼 수 있습니다. "
                                   "20분 동안 키 입력이 없으면 자동으로 로그아웃됩니다.</p>",
                               idle));
    }
    if (path == "/user/logout.asp")
        return Page(PortalPage("로그아웃", "<p>로그아웃 되었습니다. 이용해 주셔서 감사합니다.</p>", 0));
    if (path == "/sm/order/list.asp")
        return Page(
            PortalPage("주문 목록",
                       Table({"주문번호", "품목", "수량", "상태"}, {{"20240101-001", "A4 복사용지", "20", "배송 완료"},
                                                                    {"20240102-007", "토너 카트리지", "3", "배송 중"},
                                                                    {"20240103-012", "사무용 의자", "2", "주문 접수"}}),
                       idle));
    if (path == "/sm/board/notice/list.asp")
        return Page(PortalPage("공지사항",
                               Table({"번호", "제목", "작성일"}, {{"2", "설 연휴 배송 안내", "2024-01-20"},
                                                                  {"1", "Dravel On 새 버전 안내", "2024-01-02"}}),
                               idle));
    if (path == "/sm/voc/list.asp")
        return Page(PortalPage(
            "고객의 소리",
            Table({"번호", "제목", "상태"}, {{"3", "배송이 빨라졌어요", "답변 완료"}, {"2", "재고 문의", "처리 중"}}),
            idle));
    if (path == "/sm/board/qna/list.asp")
        return Page(PortalPage("묻고 답하기",
                               Table({"번호", "질문", "답변"},
                                     {{"2", "주문 취소는 어떻게 하나요?", "대화창에서 주문 취소 요청을 보내 주세요."},
                                      {"1", "비밀번호를 잊었습니다.", "관리자에게 문의해 주세요."}}),
                               idle));
    if (path == "/sm/popup.asp")
        return Page(
            PortalPage("알림", "<p>새 알림 창입니다.</p><button onclick=\"closeWindow()\">닫기</button>", idle));
    if (path == "/Update/TamixUpdate.exe") {
        std::ifstream file(options.strUpdateFile, std::ios::binary);
        if (options.strUpdateFile.empty() || !file)
            return Page(PortalPage("404", "<p>업데이트 파일이 없습니다.</p>", 0), 404);
        WebReply reply;
        reply.strType = "application/octet-stream";
        reply.strBody.assign((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        return reply;
    }
    return Page(PortalPage("404", "<p>페이지를 찾을 수 없습니다.</p>", 0), 404);
}

} // namespace dravel::devserver
