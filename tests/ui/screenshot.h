// Saving what a window shows on the screen as a PNG file, for a reviewer to
// look at.
#pragma once

#include <windows.h>

#include <string>

namespace quilldex::testing::ui {

// False when the screen could not be read or the file not written.
bool saveScreenshot(HWND window, const std::string& pngPath);

}  // namespace quilldex::testing::ui
