// Runs code against a real output stream and hands back the bytes that
// reached the file.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "support/temp_tree.h"

namespace quilldex::testing {

template <typename Write>
std::string streamed(Write&& write)
{
    // A tree of its own, so that the file never shows in a listing under test.
    TempTree out;
    const auto path = out.path("out.txt");
    platform::OutputStream stream;
    EXPECT_TRUE(stream.open(path.string()));
    write(stream);
    EXPECT_TRUE(stream.close()) << stream.error();
    return readFile(path);
}

}  // namespace quilldex::testing
