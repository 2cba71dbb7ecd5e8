// The end-to-end driver of quilldex.exe:
//   quilldex_ui_test --quilldex=PATH [--screenshot=PNG] [--wine-fonts=DIR] [gtest options]
// It starts the real program and operates it through window messages.
#include <gtest/gtest.h>

#include <iostream>
#include <string>
#include <string_view>

#include "quilldex_process.h"
#include "screenshot_target.h"
#include "wine_setup.h"

namespace {

bool takeOption(std::string_view argument, std::string_view name, std::string& value)
{
    if (argument.substr(0, name.size()) != name) {
        return false;
    }
    value = std::string(argument.substr(name.size()));
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    std::string wineFonts;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (!takeOption(argument, "--quilldex=", quilldex::testing::ui::programUnderTest().path) &&
            !takeOption(argument, "--screenshot=", quilldex::testing::ui::screenshotTarget()) &&
            !takeOption(argument, "--wine-fonts=", wineFonts)) {
            std::cerr << "unknown argument: " << argument << '\n';
            return 2;
        }
    }
    if (quilldex::testing::ui::programUnderTest().path.empty()) {
        std::cerr << "usage: quilldex_ui_test --quilldex=PATH [--screenshot=PNG] [--wine-fonts=DIR]\n";
        return 2;
    }
    auto& program = quilldex::testing::ui::programUnderTest().path;
    program = quilldex::testing::ui::windowsPath(program);
    quilldex::testing::ui::prepareWine(quilldex::testing::ui::windowsPath(wineFonts));
    return RUN_ALL_TESTS();
}
