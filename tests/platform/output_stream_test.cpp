// The output stream: line feeds become CR LF and nothing else changes,
// however the text is cut into writes and wherever the buffer fills.
#include <gtest/gtest.h>

#include <functional>

#include "platform/platform.h"
#include "support/stream_capture.h"
#include "support/temp_tree.h"

namespace quilldex::platform {
namespace {

using testing::streamed;
using testing::TempTree;

TEST(OutputStream, EveryLineFeedBecomesCrLfAndNoOtherByteChanges)
{
    std::string allBytes;
    std::string allBytesTranslated;
    for (int b = 0; b < 256; ++b) {
        allBytes += static_cast<char>(b);
        if (b == '\n')
            allBytesTranslated += '\r';
        allBytesTranslated += static_cast<char>(b);
    }
    struct Case {
        std::string name;
        std::function<void(OutputStream&)> write;
        std::string expected;
    } cases[] = {
        {"text", [](OutputStream& s) { s.write("a\nb\n"); }, "a\r\nb\r\n"},
        {"char",
         [](OutputStream& s) {
             s.write('\n');
             s.write('x');
         },
         "\r\nx"},
        {"crlf", [](OutputStream& s) { s.write("\r\n"); }, "\r\r\n"},
        {"empty", [](OutputStream& s) { s.write(""); }, ""},
        {"bytes", [&](OutputStream& s) { s.write(allBytes); }, allBytesTranslated},
    };
    for (const auto& c : cases)
        EXPECT_EQ(streamed(c.write), c.expected) << c.name;
}

TEST(OutputStream, LargeOutputCrossesTheBufferIntact)
{
    // Lines of every length from 0 to 999, so line ends fall on every
    // offset of the buffer, including its last byte.
    std::string text;
    std::string expected;
    for (int length = 0; length < 1000; ++length) {
        const std::string line(static_cast<std::size_t>(length), static_cast<char>('a' + length % 26));
        text += line + "\n";
        expected += line + "\r\n";
    }
    EXPECT_EQ(streamed([&](OutputStream& s) { s.write(text); }), expected);
    EXPECT_EQ(streamed([&](OutputStream& s) {
                  for (const char c : text)
                      s.write(c);
              }),
              expected);
}

TEST(OutputStream, FailuresAreReportedWithTheirPath)
{
    TempTree tree;
    const auto directory = tree.dir("taken");
    OutputStream stream;
    EXPECT_FALSE(stream.open(directory.string()));
    EXPECT_NE(stream.error().find("open("), std::string::npos) << stream.error();
    EXPECT_NE(stream.error().find("taken"), std::string::npos) << stream.error();
    EXPECT_FALSE(stream.close());  // never opened

    OutputStream unopened;
    unopened.write("ignored");
    EXPECT_FALSE(unopened.close());
}

}  // namespace
}  // namespace quilldex::platform
