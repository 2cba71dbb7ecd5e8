// Saving what a window shows on the screen as a PNG file, for a reviewer to
// look at. Under Wine the screen is an X display: ImageMagick's import reads
// the window's part of it (Wine starts a Unix program as it starts a
// Windows one).
#pragma once

#include <windows.h>

#include <string>

namespace quilldex::testing::ui {

// `pngPath` is a Unix path. False when not under Wine, when import cannot
// be started, or when the picture has not been saved within 30 seconds.
bool saveScreenshot(HWND window, const std::string& pngPath);

}  // namespace quilldex::testing::ui
