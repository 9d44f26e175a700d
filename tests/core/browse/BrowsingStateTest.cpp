#include "core/browse/BrowsingState.h"
#include "core/catalogue/CategoryCatalogue.h"
#include "core/catalogue/SystemEntry.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using marlit::BrowseView;
using marlit::BrowsingState;
using marlit::CategoryCatalogue;
using marlit::SystemEntry;

namespace {

CategoryCatalogue catalogueOf(int systems)
{
    std::vector<SystemEntry> entries(static_cast<std::size_t>(systems));
    for (int i = 0; i < systems; ++i)
        entries[static_cast<std::size_t>(i)].romDirectory = "/roms/" + std::to_string(i) + "/";
    return CategoryCatalogue(std::move(entries));
}

TEST(BrowsingStateTest, ChoosesTheSystemRowOfACategory)
{
    struct Case
    {
        int rememberedCategory, rememberedSystem, systems;
        bool restoring;
        int category, row;
    } const cases[] = {
        {2, 3, 5, true, 2, 3},  // restored as remembered
        {2, 3, 5, false, 2, 0}, // a later tab change starts at the first system
        {1, 7, 5, true, 1, 0},  // a remembered row the catalogue lacks: the first
        {1, -1, 5, true, 1, 0}, // none remembered: the first
        {1, 2, 0, true, 1, -1}, // an empty category: none
        {9, 2, 5, true, 0, 2},  // a category the tabs lack: the first tab
        {-1, 2, 5, true, 0, 2},
    };
    for (const Case &c : cases) {
        BrowsingState state;
        state.restore(c.rememberedCategory, c.rememberedSystem);
        const int category = state.category();
        EXPECT_EQ(category, c.category) << c.rememberedCategory;
        EXPECT_EQ(state.chooseCategory(category, catalogueOf(c.systems), c.restoring), c.row)
            << c.rememberedSystem << " of " << c.systems;
    }
}

TEST(BrowsingStateTest, MovesFromSystemToFolderViewAndRom)
{
    BrowsingState state;
    SystemEntry nes;
    nes.romDirectory = "/roms/nes/";
    state.chooseSystem(4, &nes);
    EXPECT_EQ(state.system(), 4);
    EXPECT_EQ(state.romFolder(), "/roms/nes/");
    EXPECT_TRUE(state.listsFolders());

    state.chooseFolder({"Europe", "A"});
    state.chooseRom("Alpha.zip");
    EXPECT_EQ(state.romFolder(), "/roms/nes/Europe/A/");
    EXPECT_EQ(state.rom(), "Alpha.zip");

    // A history view keeps the folder chosen last, for the way back to it; no ROM is chosen.
    state.chooseView(BrowseView::Favourites);
    EXPECT_EQ(state.view(), BrowseView::Favourites);
    EXPECT_EQ(state.romFolder(), "/roms/nes/Europe/A/");
    EXPECT_EQ(state.rom(), "");
    state.chooseFolder({});
    EXPECT_EQ(state.view(), BrowseView::Folder);
    EXPECT_EQ(state.romFolder(), "/roms/nes/");

    // The same record moved keeps what was chosen in it; another system starts at its top.
    state.chooseFolder({"Europe"});
    state.moveSystem(1);
    EXPECT_EQ(state.romFolder(), "/roms/nes/Europe/");
    state.chooseView(BrowseView::RecentlyPlayed);
    SystemEntry blank; // no ROM directory: nothing is listed, not the working directory
    state.chooseSystem(0, &blank);
    EXPECT_EQ(state.view(), BrowseView::Folder);
    EXPECT_EQ(state.romFolder(), "");
    EXPECT_FALSE(state.listsFolders());
    state.chooseSystem(-1, nullptr);
    EXPECT_FALSE(state.listsFolders());
}

TEST(BrowsingStateTest, SearchRowAppliesClearsAndAppliesAfresh)
{
    struct Step
    {
        enum { Button, Enter, Mode } action;
        const char *text;
        bool applied;
        const char *shown;
    } const steps[] = {
        {Step::Button, "mario", true, "mario"}, {Step::Button, "zelda", false, "."}, // "Clear" drops the text
        {Step::Enter, "zelda", true, "zelda"},  {Step::Enter, "link", true, "link"}, // Enter over a text applied
        {Step::Mode, "", true, "link"},         {Step::Button, "", false, "."},
    };
    BrowsingState state;
    for (const Step &step : steps) {
        if (step.action == Step::Button)
            state.applyOrClear(step.text);
        else if (step.action == Step::Enter)
            state.applyAfresh(step.text);
        else
            state.toggleSearchMode();
        EXPECT_EQ(state.search().applied(), step.applied) << step.text;
        EXPECT_EQ(state.search().text(), step.shown) << step.text;
    }
    EXPECT_EQ(state.search().mode(), marlit::FilterMode::FilterOut);
}

TEST(BrowsingStateTest, ViewsAboveTheFoldersInTheirOrder)
{
    std::vector<std::string> texts;
    for (const marlit::BrowseViewName &name : BrowsingState::views()) {
        EXPECT_NE(name.view, BrowseView::Folder);
        texts.emplace_back(name.text);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"All Games", "Favourites", "Recently Played"}));
}

} // namespace
