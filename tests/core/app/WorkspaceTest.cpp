#include "core/app/Workspace.h"
#include "core/app/ProgramOptions.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <map>
#include <unistd.h>

namespace marlit {
namespace {

TEST(Workspace, ChoosesTheCollectionTheNamedFolderOrTheMenusFolder)
{
    test::TempDir dir;
    dir.write("collection/handheld.ini");
    dir.makeFolder("empty");
    struct Case
    {
        const char *name;
        std::optional<std::string> requested;
        std::string current;
        std::map<std::string, std::string> environment;
        std::optional<Workspace::Choice> expected;
    } cases[] = {
        {"a folder with a catalogue is kept",
         {},
         dir.file("collection"),
         {{"HOME", "/h"}},
         {{dir.file("collection"), false}}},
        {"an empty folder gives the menu's",
         {},
         dir.file("empty"),
         {{"HOME", "/h"}},
         {{"/h/.local/share/marlit", true}}},
        {"XDG_DATA_HOME is followed",
         {},
         dir.file("empty"),
         {{"HOME", "/h"}, {"XDG_DATA_HOME", "/d/"}},
         {{"/d/marlit", true}}},
        {"a relative XDG_DATA_HOME is not",
         {},
         dir.file("empty"),
         {{"HOME", "/h"}, {"XDG_DATA_HOME", "d"}},
         {{"/h/.local/share/marlit", true}}},
        {"started in the menu's folder, nothing to say",
         {},
         "/h/.local/share/marlit/",
         {{"HOME", "/h"}},
         {{"/h/.local/share/marlit", false}}},
        {"--workspace wins", std::string("/w"), dir.file("collection"), {{"HOME", "/h"}}, {{"/w", false}}},
        {"no home, no folder to name", {}, dir.file("empty"), {{"HOME", "relative"}}, std::nullopt},
    };
    for (const Case &c : cases) {
        const auto environment = [&](const char *name) -> const char * {
            const auto found = c.environment.find(name);
            return found == c.environment.end() ? nullptr : found->second.c_str();
        };
        const std::optional<Workspace::Choice> chosen = Workspace::choose(c.requested, c.current, environment);
        ASSERT_EQ(chosen.has_value(), c.expected.has_value()) << c.name;
        if (chosen) {
            EXPECT_EQ(chosen->folder, c.expected->folder) << c.name;
            EXPECT_EQ(chosen->chosenByProgram, c.expected->chosenByProgram) << c.name;
        }
    }
    EXPECT_EQ(Workspace::shownName("/h/.local/share/marlit", "/h"), "~/.local/share/marlit");
    EXPECT_EQ(Workspace::shownName("/hx/marlit", "/h"), "/hx/marlit");
}

TEST(Workspace, EnterMakesMissingFoldersPrivateAndRefusesAFile)
{
    test::TempDir dir;
    const std::string folder = dir.file("a/b/marlit");
    ASSERT_EQ(Workspace::enter(folder), 0);
    EXPECT_TRUE(dir.exists("a/b/marlit"));
    dir.write("file");
    EXPECT_EQ(Workspace::enter(dir.file("file/marlit")), ENOTDIR);
    ASSERT_EQ(::chdir("/"), 0);
}

TEST(ProgramOptions, WorkspaceNeedsAFolderAndHelpWins)
{
    struct Case
    {
        std::vector<const char *> arguments;
        ProgramOptions::Action action;
        std::optional<std::string> workspace;
    } cases[] = {
        {{"marlit"}, ProgramOptions::Action::Run, {}},
        {{"marlit", "--workspace", "/w"}, ProgramOptions::Action::Run, "/w"},
        {{"marlit", "--workspace=/w", "-reverse"}, ProgramOptions::Action::Run, "/w"},
        {{"marlit", "--workspace"}, ProgramOptions::Action::Refuse, {}},
        {{"marlit", "--workspace="}, ProgramOptions::Action::Refuse, {}},
        {{"marlit", "--workspace", "/w", "--help"}, ProgramOptions::Action::PrintHelp, "/w"},
        {{"marlit", "--version", "--workspace"}, ProgramOptions::Action::PrintVersion, {}},
    };
    for (const Case &c : cases) {
        const ProgramOptions::Request request =
            ProgramOptions::parse(static_cast<int>(c.arguments.size()), c.arguments.data());
        EXPECT_EQ(request.action, c.action) << c.arguments.size();
        EXPECT_EQ(request.workspace, c.workspace) << c.arguments.size();
    }
}

} // namespace
} // namespace marlit
