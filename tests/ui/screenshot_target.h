// Where the driver saves the picture of the dialog as it first appears, as
// a Unix path; empty for none.
#pragma once

#include <string>

namespace quilldex::testing::ui {

inline std::string& screenshotTarget()
{
    static std::string path;
    return path;
}

}  // namespace quilldex::testing::ui
