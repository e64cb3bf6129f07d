#pragma once

// The screen as the user sees it: a pixel of it, a picture of it in the build tree, and the handshake
// with the screenshot runner of the showcase tests.

#include <windows.h>

#include <string>

namespace dravel::win::test {

// The colour of a screen pixel.
COLORREF ScreenPixel(int x, int y);

// <folder of the test executable>\..\screenshots\<name>: the build tree's screenshot folder.
std::wstring ScreenshotPath(const wchar_t* name);

// Saves the whole screen as a PNG under ScreenshotPath(name); false if it could not be written.
bool SaveScreenPng(const wchar_t* name);

// The showcase handshake with the screenshot runner: waits until the window (when one is given) has
// painted and two looks at the screen a moment apart agree, writes "<dir>\ready-<n>"
// (holding the window's size as "WxH" when a window is given) and pumps until the runner has written
// "<dir>\done-<n>" after its picture.
bool AwaitPicture(const std::wstring& dir, int n, HWND hwnd = nullptr);

} // namespace dravel::win::test
