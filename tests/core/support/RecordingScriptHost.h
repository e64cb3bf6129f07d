#pragma once
// A page-script host that records what the script functions asked of it, for the tests of the script
// rules and of the page's external object.

#include "core/portal/ScriptFunctions.h"

#include <string>
#include <vector>

namespace dravel::testing {

class RecordingScriptHost : public ScriptHost {
public:
    std::vector<std::string> calls;
    std::vector<PortalPopupRequest> windows;
    std::string strText;
    int32_t nNumber = 0;
    bool bAnswer = true;

    bool IsCustomBrowser() override {
        calls.push_back("IsCustomBrowser");
        return bAnswer;
    }
    void IdleLogout() override { calls.push_back("IdleLogout"); }
    void CustomFunction() override { calls.push_back("CustomFunction"); }
    void CustomFunctionWithParams(const std::string& text, int32_t n) override {
        calls.push_back("CustomFunctionWithParams");
        strText = text;
        nNumber = n;
    }
    void OpenPortalPopup(const PortalPopupRequest& r) override {
        calls.push_back("OpenPortalPopup");
        windows.push_back(r);
    }
    void ShowPortalWindow(const PortalPopupRequest& r) override {
        calls.push_back("ShowPortalWindow");
        windows.push_back(r);
    }
    void ShowChatList() override { calls.push_back("ShowChatList"); }
    void ReLogin() override { calls.push_back("ReLogin"); }
    void CloseActiveWindow() override { calls.push_back("CloseActiveWindow"); }
};

} // namespace dravel::testing
