// The program's message box: the 949 text under the application title.

#include "win/base/MessageBox.h"
#include "win/base/Window.h"

#include "support/DialogScript.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace dravel::win;
using namespace dravel::win::test;

namespace {

TEST(AppMessageBoxTest, ShowsThe949TextUnderTheApplicationTitle) {
    std::wstring caption;
    std::vector<std::wstring> texts;
    CDialogScript script;
    script.Then([&] {
        const HWND box = FindMessageBox(nullptr);
        if (box == nullptr)
            return false;
        caption = WindowText(box);
        texts = ChildTexts(box);
        ::PostMessageW(box, WM_COMMAND, IDOK, 0);
        return true;
    });
    script.Start();
    const int result = AppMessageBox(nullptr, std::string_view("\xC2\xCA\xC1\xF6 ok"), MB_OK);
    ASSERT_FALSE(script.TimedOut()) << "message box not found";
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(caption, L"Dravel On");
    bool bFound = false;
    for (const auto& text : texts)
        bFound = bFound || text == L"\uCABD\uC9C0 ok";
    EXPECT_TRUE(bFound);
}

} // namespace
