#include "core/catalogue/SystemEntry.h"
#include "core/metadata/GameCollectionReader.h"
#include "core/metadata/GameListChoice.h"
#include "core/metadata/GameListPlaces.h"
#include "core/metadata/GameOrder.h"
#include "core/metadata/GameSearch.h"
#include "core/metadata/GamelistXml.h"
#include "core/metadata/PegasusMetadata.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <future>
#include <sstream>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

using marlit::GameCollectionReader;
using marlit::GameDescription;
using marlit::GameList;
using marlit::GameListPlaces;
using marlit::GamelistXml;
using marlit::PegasusMetadata;
using marlit::test::TempDir;

namespace {

const std::string kRoms = "/home/user/roms/snes/";
const std::string kHome = "/home/user";

std::string golden(const char *name)
{
    std::ifstream file(std::string(MARLIT_METADATA_GOLDEN) + "/" + name, std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

} // namespace

// A big list, read a piece at a time on two threads, reads exactly as the whole list
// read at once (a comment after it makes it read whole): in every form, where pieces cut after a
// "</game>" that ends no game (in CDATA, a comment, a game inside a game: each game mostly that, so
// cuts land there), with a fault in either half, and where the first of two descriptions wins;
// from a file (a piece that does not read read again from it) and from memory.
TEST(GamelistXml, ABigListReadInPiecesReadsAsTheWhole)
{
    const std::string es =
        "<?xml version=\"1.0\"?>\n<alternativeEmulator>\n\t<label>x</label>\n</alternativeEmulator>\n";
    std::string ends;
    for (int i = 0; i < 400; ++i)
        ends += "</game>";
    struct Case
    {
        const char *what;
        std::string head, inGame, tail;
        int faultAt = 9'000; // the game that has inGame when it is a fault
    };
    const Case cases[] = {
        {"ES-DE's form, CR LF", es + "<gameList>\r\n", "", "</gameList>\r\n"},
        {"the list alone", "<gameList>", "<genre>&lt;A&amp;B&gt;</genre>", "</gameList>"},
        {"CDATA", "<gameList>", "<desc><![CDATA[" + ends + "]]></desc>", "</gameList>"},
        {"comments", "<gameList>", "<!--" + ends + "-->", "</gameList>"},
        {"a game in a game", "<gameList>",
         "<game><path>./in.zip</path><desc>" + std::string(3000, 'x') + "</desc></game>", "</gameList>"},
        {"Latin-1", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><gameList>", "<name>\xe9t\xe9</name>",
         "</gameList>"},
        {"a path described again at the end", "<gameList>", "",
         "<game><path>./5.zip</path><name>Again</name></game></gameList>"},
        {"a fault in the second half", "<gameList>", "<rating>0.5</rating", "</gameList>"},
        {"a fault in the first half", "<gameList>", "<rating>0.5</rating", "</gameList>", 3'000},
    };
    const std::string words(330, 'w'); // a list big enough to be read by halves
    const TempDir dir;
    bool fromFile = false;
    for (const Case &form : cases) {
        fromFile = !fromFile;
        std::string bytes = form.head;
        for (int i = 0; i < 12'000; ++i)
            bytes += "<game><path>./" + std::to_string(i) + ".zip</path>" +
                     (i == form.faultAt || form.inGame.find("rating") == std::string::npos ? form.inGame : "") +
                     "<name>Game " + std::to_string(i) + "</name><desc>" + words + "</desc></game>\n";
        bytes += form.tail;
        std::ofstream(dir.path() + "gamelist.xml", std::ios::binary | std::ios::trunc) << bytes;
        const GameList pieces =
            fromFile ? GamelistXml::read(marlit::RegularFile::open(dir.path() + "gamelist.xml", 1u << 30), kRoms, kHome)
                     : GamelistXml::read(bytes, kRoms, kHome);
        const GameList whole = GamelistXml::read(bytes + "<!-- read whole -->", kRoms, kHome);
        EXPECT_EQ(pieces.size(), whole.size()) << form.what;
        EXPECT_EQ(pieces.problem, whole.problem) << form.what;
        EXPECT_GE(pieces.size(), std::size_t(form.faultAt)) << form.what;
        for (int i = 0; i < 12'000; ++i) {
            const std::string path = kRoms + std::to_string(i) + ".zip";
            const GameDescription *inPieces = pieces.find(path);
            const GameDescription *inWhole = whole.find(path);
            ASSERT_EQ(inPieces != nullptr, inWhole != nullptr) << form.what << " " << i;
            if (inPieces) {
                ASSERT_EQ(*inPieces, *inWhole) << form.what << " " << i;
            }
        }
    }
}

// The golden list as ES-DE writes it, with the <alternativeEmulator> element before <gameList>.
TEST(GamelistXml, ReadsEveryFieldOfTheDocumentedForm)
{
    const GameList list = GamelistXml::read(golden("gamelist.xml"), kRoms, kHome);
    EXPECT_EQ(list.problem, "");
    ASSERT_EQ(list.size(), 3u); // the duplicate path keeps the first game; <folder> is no game

    const GameDescription *game = list.find(kRoms + "Super Adventure (USA).zip");
    ASSERT_NE(game, nullptr);
    EXPECT_EQ(game->title, "Super Adventure");
    EXPECT_EQ(game->description, "A knight & his horse cross the kingdom.\nSecond line.");
    EXPECT_EQ(game->releaseDate, "1991-06-23");
    EXPECT_EQ(game->releaseYear, 1991);
    EXPECT_EQ(game->developer, "Studio One");
    EXPECT_EQ(game->publisher, "Big Publisher");
    EXPECT_EQ(game->genre, "Platform");
    EXPECT_EQ(game->players, "1-2");
    EXPECT_EQ(game->ratingPercent, 80);
    EXPECT_EQ(game->playCount, 12);
    EXPECT_EQ(game->lastPlayed, "20240101T203000");
    EXPECT_TRUE(game->favourite);
    const std::vector<marlit::NamedPicture> pictures{{"covers", kRoms + "images/Super Adventure (USA)-thumb.jpg"},
                                                     {"screenshots", kRoms + "images/Super Adventure (USA)-image.png"}};
    EXPECT_EQ(game->pictures, pictures);

    // A sub-folder's ROM, a year alone, the top rating.
    const GameDescription *racer = list.find(kRoms + "Europe/Racer (Europe).zip");
    ASSERT_NE(racer, nullptr);
    EXPECT_EQ(racer->releaseDate, "1993");
    EXPECT_EQ(racer->ratingPercent, 100);
    EXPECT_FALSE(racer->favourite);

    // An absolute path; blanks around the name; 1970 stands for no date; nonsense rating and count.
    const GameDescription *puzzle = list.find("/absolute/roms/Puzzle.zip");
    ASSERT_NE(puzzle, nullptr);
    EXPECT_EQ(puzzle->title, "Puzzle");
    EXPECT_EQ(puzzle->releaseYear, 0);
    EXPECT_EQ(puzzle->ratingPercent, -1);
    EXPECT_EQ(puzzle->playCount, 0);
}

// A list's games point into the file it read in place, or into text it keeps where the parser had
// to convert (another encoding) or reshape (dates): every such text must outlive the parse, a move
// of the list and the end of a list merged into it.
TEST(GameList, KeepsItsTextThroughEncodingsMovesAndMerges)
{
    const auto utf16 = [](const std::string &ascii) {
        std::string bytes = "\xFF\xFE";
        for (const char c : ascii)
            bytes += std::string{c, '\0'};
        return bytes;
    };
    const std::string game = "<game><path>./a.zip</path><name>Caf&#233;</name><releasedate>%</releasedate></game>";
    const auto list = [&](const std::string &date) {
        std::string text = "<gameList>" + game + "</gameList>";
        return text.replace(text.find('%'), 1, date);
    };
    const struct
    {
        const char *what;
        std::string bytes;
        const char *date;
    } cases[] = {
        {"UTF-8, a whole date (reshaped in place)", list("19910623T000000"), "1991-06-23"},
        {"UTF-8, a date shorter than its shown form", list("19910623"), "1991-06-23"},
        {"Latin-1, converted by the parser", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>" + list("1993"), "1993"},
        {"UTF-16 with its mark", utf16(list("199406")), "1994-06"},
    };
    for (const auto &test : cases) {
        GameList read = GamelistXml::read(test.bytes, kRoms, kHome);
        const GameList moved = std::move(read);
        const GameDescription *a = moved.find(kRoms + "a.zip");
        ASSERT_NE(a, nullptr) << test.what << ": " << moved.problem;
        EXPECT_EQ(a->title, "Caf\xC3\xA9") << test.what;
        EXPECT_EQ(a->releaseDate, test.date) << test.what;
    }

    // Thousands of games (the table grows many times), then a list merged in and gone.
    std::string many = "<gameList>";
    for (int i = 0; i < 3000; ++i)
        many += "<game><path>./g" + std::to_string(i) + ".zip</path><name>T" + std::to_string(i) + "</name></game>";
    GameList games = GamelistXml::read(many + "</gameList>", kRoms, kHome);
    {
        GameList other = PegasusMetadata::read(
            "game: Other\nfile: g5.zip\n\ngame: Extra\nfile: extra.zip\n\ngame: By Title\n", kRoms, kHome);
        games.merge(std::move(other));
    }
    ASSERT_EQ(games.size(), 3002u);
    for (int i = 0; i < 3000; ++i) {
        const GameDescription *found = games.find(kRoms + "g" + std::to_string(i) + ".zip");
        ASSERT_NE(found, nullptr) << i;
        EXPECT_EQ(found->title, "T" + std::to_string(i)); // g5 keeps the first list's title
    }
    ASSERT_NE(games.find(kRoms + "extra.zip"), nullptr);
    EXPECT_EQ(games.find(kRoms + "extra.zip")->title, "Extra");
    ASSERT_NE(games.find(kRoms + "sub/By Title.sfc"), nullptr);
    EXPECT_EQ(games.find(kRoms + "sub/By Title.sfc")->title, "By Title");
    EXPECT_EQ(games.find(kRoms + "g3000.zip"), nullptr);
    EXPECT_EQ(games.find(kRoms + "g5.zi"), nullptr);
}

TEST(PegasusMetadata, ReadsEveryFieldOfTheDocumentedForm)
{
    const std::string folder = "/games/snes/";
    const GameList list = PegasusMetadata::read(golden("metadata.pegasus.txt"), folder, kHome);
    EXPECT_EQ(list.problem, "");

    const GameDescription *star = list.find(folder + "Star Quest (USA).sfc");
    ASSERT_NE(star, nullptr);
    EXPECT_EQ(star->title, "Star Quest");
    EXPECT_EQ(star->developer, "Studio Two");
    EXPECT_EQ(star->publisher, "Publisher A");
    EXPECT_EQ(star->genre, "Shooter, Space");
    EXPECT_EQ(star->releaseDate, "1994-03-18");
    EXPECT_EQ(star->releaseYear, 1994);
    EXPECT_EQ(star->players, "1-4");
    EXPECT_EQ(star->ratingPercent, 75);
    EXPECT_EQ(star->description, "First paragraph goes on here.\n\nSecond paragraph.");
    const std::vector<marlit::NamedPicture> pictures{{"covers", folder + "media/custom/star-front.png"},
                                                     {"screenshots", folder + "shots/star.png"}};
    EXPECT_EQ(star->pictures, pictures);

    // Both files of a multi-file game are described; a game without files is found by its title.
    for (const char *file : {"Two Discs (Disc 1).cue", "sub/Two Discs (Disc 2).cue"}) {
        ASSERT_NE(list.find(folder + file), nullptr) << file;
        EXPECT_EQ(list.find(folder + file)->title, "Two Discs");
    }
    ASSERT_NE(list.find(folder + "Only Title.zip"), nullptr);
    EXPECT_EQ(list.find(folder + "Only Title.zip")->developer, "Nobody");
    EXPECT_EQ(list.find(folder + "Star Quest (Europe).sfc"), nullptr);
}

// What a hostile or broken file gives: never a crash or a hang, the games read before the fault,
// and a problem to tell the user.
TEST(GameListHostileInput, GivesTheReadablePartAndSaysWhatWasWrong)
{
    const std::string game = "<game><path>./a.zip</path><name>A</name></game>";
    std::string deep = "<gameList>" + game;
    for (int i = 0; i < 200'000; ++i)
        deep += "<x>";
    for (int i = 0; i < 200'000; ++i)
        deep += "</x>";
    deep += "</gameList>";
    std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE g [<!ENTITY l0 \"lol\">";
    for (int i = 1; i < 10; ++i)
        laughs += "<!ENTITY l" + std::to_string(i) + " \"" + std::string(10, '&') + "\">"; // filled below
    for (int i = 1; i < 10; ++i) {
        std::string refs;
        for (int k = 0; k < 10; ++k)
            refs += "&l" + std::to_string(i - 1) + ";";
        const std::string placeholder(10, '&');
        laughs.replace(laughs.find(placeholder), placeholder.size(), refs);
    }
    laughs += "]><gameList><game><path>./a.zip</path><name>&l9;</name></game></gameList>";
    const std::string external = "<!DOCTYPE g [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
                                 "<gameList><game><path>./a.zip</path><name>&x;</name></game></gameList>";
    std::string binary;
    for (int i = 0; i < 4096; ++i)
        binary.push_back(static_cast<char>((i * 7919) % 256));

    const struct
    {
        const char *what;
        std::string bytes;
        std::size_t games;
        bool problem;
    } cases[] = {
        {"truncated in the second game", "<gameList>" + game + "<game><path>./b.zip</pa", 1, true},
        {"deep nesting", deep, 1, false},
        {"entities that would grow", laughs, 1, false},
        {"an external entity", external, 1, false},
        {"binary bytes", binary, 0, true},
        {"empty", "", 0, true},
        {"no gameList element", "<games>" + game + "</games>", 0, true},
        {"a second root element after it", "<gameList>" + game + "</gameList><extra/>", 1, false},
    };
    for (const auto &test : cases) {
        const GameList list = GamelistXml::read(test.bytes, kRoms, kHome);
        EXPECT_EQ(list.size(), test.games) << test.what;
        EXPECT_EQ(!list.problem.empty(), test.problem) << test.what << ": " << list.problem;
        if (const GameDescription *a = list.find(kRoms + "a.zip")) {
            // Entities are never expanded: neither grown nor fetched.
            EXPECT_LT(a->title.size(), 100u) << test.what;
            EXPECT_EQ(a->title.find("root:"), std::string::npos) << test.what;
        }
    }

    const struct
    {
        const char *what;
        std::string bytes;
        std::size_t games;
        bool problem;
    } pegasus[] = {
        {"CR LF line ends", "game: A\r\nfile: a.zip\r\ndeveloper: D\r\n", 1, false},
        {"no line end at the end", "game: A\nfile: a.zip", 1, false},
        {"a line that is no entry", "game: A\nfile: a.zip\nnonsense\n", 1, true},
        {"binary bytes", binary, 0, true},
        {"continuation before any key", "  stray\ngame: A\nfile: a.zip\n", 1, false},
        {"a long line", "game: " + std::string(1 << 20, 'x') + "\nfile: a.zip\n", 1, false},
    };
    for (const auto &test : pegasus) {
        const GameList list = PegasusMetadata::read(test.bytes, kRoms, kHome);
        EXPECT_EQ(list.size(), test.games) << test.what;
        EXPECT_EQ(!list.problem.empty(), test.problem) << test.what << ": " << list.problem;
    }
}

TEST(GameListPlaces, FollowsTheRomFolderNameToTheUsersPlaces)
{
    const GameListPlaces places = GameListPlaces::forRomFolder("/data/roms/snes/", "/home/u");
    std::vector<std::string> files;
    for (const auto &file : places.files)
        files.push_back(file.path);
    const std::vector<std::string> expectedFiles{
        "/data/roms/snes/gamelist.xml", "/data/roms/snes/metadata.pegasus.txt", "/data/roms/snes/metadata.txt",
        "/home/u/ES-DE/gamelists/snes/gamelist.xml", "/home/u/.emulationstation/gamelists/snes/gamelist.xml"};
    EXPECT_EQ(files, expectedFiles);
    std::vector<std::string> folders;
    for (const auto &folder : places.mediaFolders)
        folders.push_back(folder.path);
    const std::vector<std::string> expectedFolders{"/data/roms/snes/media/", "/data/roms/media/",
                                                   "/home/u/ES-DE/downloaded_media/snes/",
                                                   "/home/u/.emulationstation/downloaded_media/snes/"};
    EXPECT_EQ(folders, expectedFolders);
    const std::vector<std::string> metafileFolders{"/data/roms/", "/home/u/.config/pegasus-frontend/metafiles/"};
    EXPECT_EQ(places.metafileFolders, metafileFolders);
    EXPECT_EQ(places.gameFolderList, "/home/u/.config/pegasus-frontend/game_dirs.txt");
    // The ROM folder's own, from the folder readers' listing, after its other files.
    GameListPlaces listed = places;
    listed.addMetafiles("/data/roms/snes/", {"a.sfc", "metadata.txt", "x.metadata.pegasus.txt", "y.metadata.txt"});
    EXPECT_EQ(listed.files[3].path, "/data/roms/snes/x.metadata.pegasus.txt");
    EXPECT_EQ(listed.files[4].path, "/data/roms/snes/y.metadata.txt");
    EXPECT_EQ(listed.files.size(), places.files.size() + 2);

    // A presence check's answer keeps the places found, in their order.
    std::vector<std::uint8_t> present(places.paths().size(), 0);
    present[1] = present[5] = present.back() = 1;
    const GameListPlaces found = places.found(present);
    EXPECT_EQ(found.files, (std::vector<marlit::GameListFile>{places.files[1]}));
    EXPECT_EQ(found.mediaFolders, (std::vector<marlit::MediaFolder>{places.mediaFolders[0]}));
    EXPECT_EQ(found.metafileFolders, std::vector<std::string>{});
    EXPECT_EQ(found.gameFolderList, places.gameFolderList);

    const GameListPlaces chosen = GameListPlaces::forRomFolder("/r/nes/", "/h", "/x/list.XML", "/x/pictures");
    EXPECT_EQ(chosen.files.front().path, "/x/list.XML");
    EXPECT_EQ(chosen.files.front().format, marlit::GameListFormat::EmulationStation);
    EXPECT_EQ(chosen.mediaFolders.front().path, "/x/pictures/");
}

// A collection described by both formats with both kinds of media tree, read from disk.
TEST(GameCollectionReader, FindsListsAndPicturesAndKeepsThemUntilAFileChanges)
{
    TempDir home;
    const std::string roms = home.file("roms/snes/");
    home.write("roms/snes/gamelist.xml", golden("gamelist.xml"));
    home.write("roms/snes/metadata.pegasus.txt", golden("metadata.pegasus.txt"));
    // Pegasus' tree: a folder per game.
    home.write("roms/snes/media/Star Quest (USA)/boxFront.png", "x");
    home.write("roms/snes/media/Star Quest (USA)/screenshot.jpg", "x");
    home.write("roms/snes/media/Star Quest (USA)/video.mp4", "x");
    // ES-DE's tree: a folder per kind, sub-folders as in the ROM folder.
    home.write("ES-DE/downloaded_media/snes/covers/Super Adventure (USA).png", "x");
    home.write("ES-DE/downloaded_media/snes/titlescreens/Europe/Racer (Europe).jpg", "x");
    home.write("ES-DE/downloaded_media/snes/screenshots/notes.txt", "x");
    const GameListPlaces places = GameListPlaces::forRomFolder(roms, home.path());
    const std::string listBefore = home.read("roms/snes/gamelist.xml");

    GameCollectionReader reader;
    const auto collection = reader.read(roms, places, home.path());
    EXPECT_EQ(collection->problems, std::vector<std::string>{});
    EXPECT_EQ(collection->foundFiles.size(), 2u);
    EXPECT_EQ(collection->describe(roms + "Super Adventure (USA).zip")->title, "Super Adventure");
    EXPECT_EQ(collection->describe(roms + "Star Quest (USA).sfc")->title, "Star Quest");

    const std::vector<std::string> coverFirst{"covers", "screenshots"};
    // The media folder's picture wins over the one the list names; that one fills in for a kind
    // the media folders lack.
    EXPECT_EQ(collection->picture(roms + "Super Adventure (USA).zip", coverFirst),
              home.file("ES-DE/downloaded_media/snes/covers/Super Adventure (USA).png"));
    EXPECT_EQ(collection->picture(roms + "Super Adventure (USA).zip", {"screenshots"}),
              roms + "images/Super Adventure (USA)-image.png");
    EXPECT_EQ(collection->picture(roms + "Star Quest (USA).sfc", {"titlescreens", "screenshots"}),
              roms + "media/Star Quest (USA)/screenshot.jpg");
    EXPECT_EQ(collection->picture(roms + "Unlisted.sfc", coverFirst), "");
    EXPECT_EQ(collection->media.find("covers", "Star Quest (USA)"), roms + "media/Star Quest (USA)/boxFront.png");
    EXPECT_EQ(collection->media.find("titlescreens", "Europe/Racer (Europe)"),
              home.file("ES-DE/downloaded_media/snes/titlescreens/Europe/Racer (Europe).jpg"));
    EXPECT_EQ(collection->media.size(), 4u); // neither the video nor the text file
    // The rows of "All Games" leave out what is no game: the lists, their pictures, the media.
    const marlit::RomNames allGames{"Star Quest (USA).sfc", "gamelist.xml", "images/Super Adventure (USA)-image.png",
                                    "media/Star Quest (USA)/boxFront.png", "metadata.pegasus.txt"};
    EXPECT_EQ(marlit::GameSearch::filtered(allGames, roms, collection.get(), {}).toVector(),
              std::vector<std::string>{"Star Quest (USA).sfc"});

    // Unchanged: the same collection, without reading. Changed: read again.
    EXPECT_EQ(reader.read(roms, places, home.path()), collection);
    home.write("roms/snes/metadata.pegasus.txt", "game: Renamed\nfile: Star Quest (USA).sfc\n");
    const auto changed = reader.read(roms, places, home.path());
    EXPECT_NE(changed, collection);
    EXPECT_EQ(changed->describe(roms + "Star Quest (USA).sfc")->title, "Renamed");
    EXPECT_EQ(home.read("roms/snes/gamelist.xml"), listBefore); // never written
}

// Pegasus' other places: a metafile beside the ROM folder (in the game folder of several systems,
// with its media), the game folders its list names that hold the ROM folder, its own folder of
// metafiles; "metadata.txt" only where there is no "metadata.pegasus.txt".
TEST(GameCollectionReader, FindsPegasusMetafilesWhereItLooks)
{
    TempDir home;
    const std::string roms = home.file("library/roms/snes/");
    home.write("library/roms/games.metadata.pegasus.txt", golden("games.metadata.pegasus.txt"));
    home.write("library/roms/media/Sky Rally/screenshot.png", "x");
    home.write("library/roms/snes/metadata.pegasus.txt", "game: In Folder\nfile: a.sfc\n");
    home.write("library/roms/snes/metadata.txt", "game: Not Read\nfile: b.sfc\n");
    home.write("library/metadata.txt", "game: From Game Folder\nfile: roms/snes/c.sfc\n");
    home.write("elsewhere/metadata.pegasus.txt", "game: Other System\nfile: " + roms + "d.sfc\n");
    home.write(".config/pegasus-frontend/game_dirs.txt",
               home.file("library") + "\r\n" + home.file("elsewhere/") + "\n\n");
    // In the older form: "file:" starts a game, "title:" names it.
    home.write(".config/pegasus-frontend/metafiles/all.metadata.txt",
               "file: " + roms + "e.sfc\ntitle: Global\n\nfile: " + roms + "Old Form.sfc\ntitle: Old Form\n" +
                   "rating: 40%\nfile: " + roms + "Second Old.sfc\r\ntitle: Second Old\r\n");

    GameCollectionReader reader;
    const auto games = reader.read(roms, GameListPlaces::forRomFolder(roms, home.path()), home.path());
    EXPECT_EQ(games->problems, std::vector<std::string>{});
    const auto titleOf = [&](const std::string &file) {
        const GameDescription *game = games->describe(roms + file);
        return game ? std::string(game->title) : std::string("(none)");
    };
    const std::pair<const char *, const char *> titles[] = {
        {"a.sfc", "In Folder"},        {"b.sfc", "(none)"},
        {"c.sfc", "From Game Folder"}, {"d.sfc", "(none)"},
        {"e.sfc", "Global"},           {"Sky Rally (Disc 2).sfc", "Sky Rally"},
        {"Old Form.sfc", "Old Form"},  {"Second Old.sfc", "Second Old"},
        {"Listed Only.sfc", "(none)"},
    };
    for (const auto &[file, title] : titles)
        EXPECT_EQ(titleOf(file), title) << file;

    const GameDescription *rally = games->describe(roms + "Sky Rally (Disc 1).sfc");
    ASSERT_NE(rally, nullptr);
    EXPECT_EQ(rally->developer, "Studio North, Studio South");
    EXPECT_EQ(rally->releaseDate, "1996-11");
    EXPECT_EQ(rally->description, "One line that goes on.");
    EXPECT_EQ(games->describe(roms + "Old Form.sfc")->ratingPercent, 40);
    EXPECT_EQ(games->describe(roms + "Second Old.sfc")->ratingPercent, -1);
    // Its media folder is named after the game; the cover is the one the metafile names.
    EXPECT_EQ(games->picture(roms + "Sky Rally (Disc 1).sfc", {"screenshots"}),
              home.file("library/roms/media/Sky Rally/screenshot.png"));
    EXPECT_EQ(games->picture(roms + "Sky Rally (Disc 1).sfc", {"covers"}),
              home.file("library/roms/media/Sky Rally/box.png"));

    // A metafile added to a folder looked in is a change.
    EXPECT_EQ(reader.read(roms, GameListPlaces::forRomFolder(roms, home.path()), home.path()), games);
    home.write("library/roms/late.metadata.txt", "game: Late\nfile: snes/f.sfc\n");
    const auto later = reader.read(roms, GameListPlaces::forRomFolder(roms, home.path()), home.path());
    EXPECT_EQ(later->describe(roms + "f.sfc")->title, "Late");
}

TEST(GameCollectionReader, SaysWhatItCannotUseAndPassesOverWhatIsNoFile)
{
    TempDir home;
    const std::string roms = home.file("roms/nes/");
    // A list far too large (sparse, so the test writes nothing), a FIFO under Pegasus' name
    // (opening it for reading would block), a broken list in the user's place.
    home.write("roms/nes/gamelist.xml");
    ASSERT_EQ(::truncate(home.file("roms/nes/gamelist.xml").c_str(), 100ll << 20), 0);
    ASSERT_EQ(::mkfifo(home.file("roms/nes/metadata.pegasus.txt").c_str(), 0600), 0);
    home.write("ES-DE/gamelists/nes/gamelist.xml",
               "<gameList><game><path>./a.nes</path><name>A</name></game><game><path>./b.nes</path><name>B");

    GameCollectionReader reader;
    auto read = std::async(std::launch::async, [&] {
        return reader.read(roms, GameListPlaces::forRomFolder(roms, home.path()), home.path());
    });
    ASSERT_EQ(read.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    const auto collection = read.get();
    ASSERT_EQ(collection->problems.size(), 2u);
    EXPECT_NE(collection->problems[0].find("larger than 64 MB"), std::string::npos) << collection->problems[0];
    EXPECT_NE(collection->problems[1].find("not well-formed"), std::string::npos) << collection->problems[1];
    // The whole games before the break, not the one it cut short.
    EXPECT_NE(collection->describe(roms + "a.nes"), nullptr);
    EXPECT_EQ(collection->describe(roms + "b.nes"), nullptr);
}

// The choices of System Configuration live in the system's values and leave none behind when
// taken back; a slot without a choice takes its default kinds.
TEST(GameListChoice, KeptInTheSystemsValues)
{
    marlit::SystemEntry entry;
    marlit::GameListChoice choice;
    EXPECT_EQ(choice.kindsFor(0), (std::vector<std::string>{"covers", "3dboxes", "miximages"}));
    choice.file = "/lists/snes.xml";
    choice.slotKinds[1] = "titlescreens";
    choice.storeInto(entry);
    EXPECT_EQ(marlit::GameListChoice::of(entry), choice);
    EXPECT_EQ(marlit::GameListChoice::of(entry).kindsFor(1), std::vector<std::string>{"titlescreens"});
    marlit::GameListChoice{}.storeInto(entry);
    EXPECT_TRUE(entry.values.empty());
}

// The search row finds a described ROM by its title as well as its file name; filtering out drops
// it when either holds the text. The readers are then asked for the whole folder. The game list's
// own file is no game: it never shows while it describes the folder.
TEST(GameSearch, MatchesTheTitleAsWellAsTheFileName)
{
    marlit::GameCollection games;
    GameDescription mario;
    mario.title = "Super Mario World";
    games.games.add(kRoms + "smw.sfc", mario);
    GameDescription untitled;
    games.games.add(kRoms + "Mario Paint.sfc", untitled);
    // Neither are the pictures it names, nor those of a media folder seen from above it ("All
    // Games"); a look into the media folder shows them.
    games.foundFiles = {kRoms + "gamelist.xml"};
    games.foundFolders = {kRoms + "media/", "/elsewhere/media/"};
    const std::string named = kRoms + "images/smw.png";
    games.namedPictures = {named};
    const marlit::RomNames allGames{"Mario Paint.sfc",        "gamelist.xml",    "images/smw.png", "images/smw.sfc",
                                    "media/smw/boxFront.png", "media/notes.txt", "smw.sfc",        "zelda.sfc"};
    EXPECT_EQ(
        marlit::GameSearch::filtered(allGames, kRoms, &games, {}).toVector(),
        (std::vector<std::string>{"Mario Paint.sfc", "images/smw.sfc", "media/notes.txt", "smw.sfc", "zelda.sfc"}));
    EXPECT_EQ(marlit::GameSearch::filtered(allGames, kRoms + "sub/", &games, {}), allGames); // another folder's
    const marlit::RomNames inMedia{"smw/boxFront.png", "cover.jpg"};
    EXPECT_EQ(marlit::GameSearch::filtered(inMedia, kRoms + "media/", &games, {}), inMedia);
    const marlit::RomNames images{"smw.png", "smb.png"};
    EXPECT_EQ(marlit::GameSearch::filtered(images, kRoms + "images/", &games, {}).toVector(),
              std::vector<std::string>{"smb.png"});
    const marlit::RomNames names{"Mario Paint.sfc", "gamelist.xml", "smw.sfc", "zelda.sfc"};

    struct Case
    {
        marlit::FilterMode mode;
        std::string text;
        std::vector<std::string> kept;
    };
    const Case cases[] = {
        {marlit::FilterMode::SearchFor, "mario", {"Mario Paint.sfc", "smw.sfc"}}, // title, any case
        {marlit::FilterMode::SearchFor, "smw", {"smw.sfc"}},                      // file name still
        {marlit::FilterMode::SearchFor, "World", {"smw.sfc"}},
        {marlit::FilterMode::SearchFor, "metroid", {}},
        {marlit::FilterMode::FilterOut, "Mario", {"zelda.sfc"}}, // the title holds it: dropped too
        {marlit::FilterMode::FilterOut, "World", {"Mario Paint.sfc", "zelda.sfc"}},
    };
    for (const Case &c : cases) {
        marlit::RomSearch search;
        if (c.mode == marlit::FilterMode::FilterOut)
            search.toggleMode();
        search.apply(c.text);
        EXPECT_EQ(marlit::GameSearch::forReaders(search, &games), marlit::RomSearch()) << c.text;
        EXPECT_EQ(marlit::GameSearch::filtered(names, kRoms, &games, search).toVector(), c.kept) << c.text;
        // Without game lists the readers narrow by name and nothing more is done here.
        EXPECT_EQ(marlit::GameSearch::forReaders(search, nullptr), search);
        EXPECT_EQ(marlit::GameSearch::filtered(names, kRoms, nullptr, search), names);
    }
}

// Every order puts the rows it ties (of one year, as often played, never played) in the order of
// the titles shown, as "Name" does, not in that of the file names.
TEST(GameOrder, TiesFollowTheTitlesShown)
{
    marlit::GameCollection games;
    const auto describe = [&](const char *file, const char *title, int year, int plays) {
        marlit::GameDescription game;
        game.title = games.games.keep(title);
        game.releaseYear = year;
        game.playCount = plays;
        games.games.add(std::string("/roms/") + file, std::move(game));
    };
    describe("zz.zip", "Alpha", 1991, 2);
    describe("aa.zip", "Omega", 1991, 2);
    describe("mm.zip", "Mid", 1995, 5);
    const struct
    {
        marlit::GameSort sort;
        marlit::RomNames rows;
    } cases[] = {
        {marlit::GameSort::Name, {"zz.zip", "bb.zip", "mm.zip", "aa.zip"}},
        {marlit::GameSort::ReleaseYear, {"zz.zip", "aa.zip", "mm.zip", "bb.zip"}},
        {marlit::GameSort::MostPlayed, {"mm.zip", "zz.zip", "aa.zip", "bb.zip"}},
        {marlit::GameSort::LastPlayed, {"zz.zip", "bb.zip", "mm.zip", "aa.zip"}},
    };
    for (const auto &test : cases)
        EXPECT_EQ(marlit::GameOrder::ordered({"aa.zip", "bb.zip", "mm.zip", "zz.zip"}, "/roms/", games, test.sort),
                  test.rows)
            << marlit::GameOrder::text(test.sort);
}
