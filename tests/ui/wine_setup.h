// Preparing the Wine prefix so that the dialog looks under Xvfb as it does
// on Windows. Does nothing on Windows itself.
#pragma once

#include <string>

namespace quilldex::testing::ui {

bool runningUnderWine();

// A path as Windows programs write it: under Wine a Unix path such as
// /work/build/x.exe becomes Z:\work\build\x.exe; anything else is kept.
std::string windowsPath(const std::string& path);

// Makes Wine draw window frames and captions itself (there is no window
// manager under Xvfb), and installs Wine's own fonts into the prefix from
// `wineFontDirectory` when they are missing there, so that "MS Sans Serif"
// is not replaced by a wider font that cuts the labels short.
void prepareWine(const std::string& wineFontDirectory);

}  // namespace quilldex::testing::ui
