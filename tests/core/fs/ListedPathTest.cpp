#include "core/fs/ListedPath.h"

#include <gtest/gtest.h>

// The paths other front-ends' lists give, made absolute and plain, whether they are plain already
// (taken as joined) or need the clean-up.
TEST(ListedPath, ResolvesFromTheBaseOrHomeAndCleansUp)
{
    const std::string base = "/roms/snes/";
    const std::string home = "/home/user";
    const struct
    {
        const char *listed;
        const char *resolved;
    } cases[] = {
        {"./Game (USA).zip", "/roms/snes/Game (USA).zip"},
        {"././a/b.zip", "/roms/snes/a/b.zip"},
        {"Game.v1.2.zip", "/roms/snes/Game.v1.2.zip"},
        {"a/.hidden/..b.zip", "/roms/snes/a/.hidden/..b.zip"},
        {"./a/./b.zip", "/roms/snes/a/b.zip"},
        {"./a//b.zip", "/roms/snes/a/b.zip"},
        {"../nes/c.zip", "/roms/nes/c.zip"},
        {"a/..", "/roms/snes"},
        {"./sub/", "/roms/snes/sub/"},
        {"./", "/roms/snes/"},
        {".", "/roms/snes"},
        {"~/media/x.png", "/home/user/media/x.png"},
        {"/abs/./y.png", "/abs/y.png"},
        {"/../../z", "/z"},
        {"/", "/"},
        {"", ""},
    };
    std::string out;
    std::string scratch;
    for (const auto &test : cases) {
        marlit::resolveListedPath(test.listed, base, home, out, scratch);
        EXPECT_EQ(out, test.resolved) << test.listed;
        EXPECT_EQ(marlit::resolveListedPath(test.listed, "/roms/snes", home), test.resolved) << test.listed;
    }
    EXPECT_EQ(marlit::resolveListedPath("./a/../b.zip", "", home), "b.zip");
    EXPECT_EQ(marlit::resolveListedPath("./a/b.zip", "", home), "a/b.zip");
}
