#include "core/catalogue/ShortenPath.h"

#include <gtest/gtest.h>

using marlit::shortenPath;

namespace {

TEST(ShortenPath, KeepsUpTo35BytesAndCutsLongerPaths)
{
    const std::string path35 = "/home/user/roms/console/nintendo/nes"; // 36 bytes
    ASSERT_EQ(path35.size(), 36u);
    EXPECT_EQ(shortenPath(path35.substr(0, 35)), path35.substr(0, 35));
    EXPECT_EQ(shortenPath(path35), path35.substr(0, 35) + "...");
    EXPECT_EQ(shortenPath("/"), "/");
    EXPECT_EQ(shortenPath(""), "");
}

// A character of two, three or four bytes that does not fit whole in the 35 bytes is left out
// whole; one that ends exactly at byte 35 stays.
TEST(ShortenPath, NeverCutsInsideAUtf8Character)
{
    const std::string start(34, 'a');
    struct Case
    {
        std::string character;
        std::string expected;
    };
    const Case cases[] = {
        {"\xC3\xA9", start + "..."},         // é: bytes 35-36
        {"\xE6\x97\xA5", start + "..."},     // 日: bytes 35-37
        {"\xF0\x9F\x8E\xAE", start + "..."}, // 🎮: bytes 35-38
        {"b\xC3\xA9", start + "b..."},       // é starts after the cut
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.character);
        EXPECT_EQ(shortenPath(start + c.character + "/more"), c.expected);
    }
    const std::string ending = std::string(33, 'a') + "\xC3\xA9" + "/more"; // é is bytes 34-35
    EXPECT_EQ(shortenPath(ending), std::string(33, 'a') + "\xC3\xA9...");
}

} // namespace
