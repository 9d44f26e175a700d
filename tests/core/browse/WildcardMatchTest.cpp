#include "core/browse/WildcardMatch.h"
#include "core/browse/NameOrder.h"

#include <gtest/gtest.h>

#include <string>

using marlit::NameOrder;
using marlit::WildcardMatch;

namespace {

struct MatchCase
{
    const char *pattern;
    const char *name;
    bool expected;
};

TEST(WildcardMatchTest, MatchesLikeThePlatformFileSearch)
{
    const MatchCase cases[] = {
        // The search text "mario" becomes "*mario*".
        {"*mario*", "Super Mario (U).zip", true},
        {"*mario*", "MARIO.NES", true},
        {"*mario*", "Zelda.zip", false},
        // Letters fold case, so "(J)" also finds "(j)"; the other characters stand for themselves.
        {"*(J)*", "Game (J).zip", true},
        {"*(J)*", "Game (j).zip", true},
        {"*(J)*", "Game (E).zip", false},
        // An empty search text gives "**", which takes every name.
        {"**", "Zelda.zip", true},
        // "*.*" takes every name, with or without a dot ...
        {"*.*", "README", true},
        {"*.*", "Zelda.zip", true},
        {"*.*", ".hidden", true},
        // ... but only as the whole pattern: elsewhere a dot is a plain character.
        {"*.*x", "README", false},
        {"a*.*", "abc", false},
        {"**.**", "README", false},
        {"**.**", "a.b", true},
        // "?" is exactly one character, never none.
        {"*a?c*", "abc.zip", true},
        {"*a?c*", "a?c.zip", true},
        {"*a?c*", "ac.zip", false},
        {"?", "", false},
        {"a?", "a", false},
        {"?", "a", true},
        // Case is ignored for ASCII letters in both directions.
        {"ZELDA.ZIP", "zelda.zip", true},
        // Brackets are literal, not character classes.
        {"*[!]*", "Game [!].nes", true},
        {"*[!]*", "Game (!).nes", false},
        {"[a]", "a", false},
        {"[a]", "[A]", true},
        // Anchored at both ends unless a star says otherwise.
        {"*.zip", "game.ZIP", true},
        {"*.zip", "game.zip.bak", false},
        {"Zelda*", "Zelda", true},
        {"Zelda*", "The Zelda", false},
        {"", "a", false},
        // "?" stands for one whole UTF-8 character; letters beyond ASCII keep their case.
        {"caf?.zip", "caf\xc3\xa9.zip", true},
        {"caf??.zip", "caf\xc3\xa9.zip", false},
        {"*\xc3\xa9*", "Pok\xc3\xa9mon Red.gb", true},
        {"CAF\xc3\x89", "caf\xc3\xa9", false},
        // A byte that starts no valid sequence (a Latin-1 name) is one character.
        {"caf?.zip", "caf\xe9.zip", true},
        // Nor does an overlong form, a surrogate or a code point beyond Unicode: each byte of
        // those counts on its own, as in the fuzzer's finding "*a?" against "A\xe0\x9f\x9b".
        {"*a?", "A\xe0\x9f\x9b", false},
        {"*a???", "A\xe0\x9f\x9b", true},
        {"?", "\xed\xa0\x80", false},
        {"???", "\xed\xa0\x80", true},
        {"?", "\xf4\x90\x80\x80", false},
        {"?", "\xf0\x8f\xbf\xbf", false},
        {"?", "\xf4\x8f\xbf\xbf", true}, // U+10FFFF, the last code point
        {"?", "\xed\x9f\xbf", true},     // U+D7FF, just below the surrogates
    };
    for (const MatchCase &c : cases)
        EXPECT_EQ(WildcardMatch::matches(c.pattern, c.name), c.expected) << c.pattern << " vs " << c.name;
}

TEST(WildcardMatchTest, ManyStarsDoNotBacktrackExponentially)
{
    const std::string pattern = "*a*a*a*a*a*a*a*a*a*a*a*a*b";
    const std::string as(5000, 'a');
    EXPECT_FALSE(WildcardMatch::matches(pattern, as));
    EXPECT_TRUE(WildcardMatch::matches(pattern, as + "b"));
    EXPECT_FALSE(WildcardMatch::matches(pattern, as + "ba"));
}

TEST(NameOrderTest, ComparesAsATotalOrder)
{
    struct OrderCase
    {
        const char *a;
        const char *b;
        int expected;
    };
    const OrderCase cases[] = {
        {"same", "same", 0},
        {"Zelda", "zelda", -1},
        {"zelda", "Zelda", 1},
        {"Zel", "zelda", -1},
        {"abc", "ABD", -1},
        // Punctuation between "Z" and "a" in ASCII sorts before every letter, whatever its case.
        {"Game_2", "GameB", -1},
        {"[b]", "a", -1},
        {"[b]", "A", -1},
        // Bytes beyond ASCII come after it.
        {"\xc3\xa9", "z", 1},
        {"", "a", -1},
        // Long names compare eight bytes at a time: a difference of case early waits for a
        // difference of letters later; punctuation and high bytes keep their places.
        {"abcdefghijklmnop", "ABCDEFGHIJKLMNOP", 1},
        {"abcdefghijklmnoZ", "ABCDEFGHIJKLMNOp", 1},
        {"Zelda_II Adventure", "zeldaB II", -1},
        {"ABCDEFGH\xc3\xa9xyzwvuts", "abcdefghZxyzwvuts", 1},
    };
    for (const OrderCase &c : cases) {
        EXPECT_EQ(NameOrder::compare(c.a, c.b), c.expected) << c.a << " vs " << c.b;
        EXPECT_EQ(NameOrder::compare(c.b, c.a), -c.expected) << c.b << " vs " << c.a;
    }
}

} // namespace
