#!/usr/bin/env bash
# Builds a demo workspace for trying Marlit by hand: the four category catalogues, ROM folders
# with sub-folders and awkward file names, snapshot pictures in several formats, system icons,
# two systems described by other front-ends' game lists (a gamelist.xml and a
# metadata.pegasus.txt, with their pictures), a stand-in emulator that only records how it was started, and one real emulator: DOSBox on a
# tiny DOS program of our own (res/demo/hello.asm, assembled here with nasm).
#
#   scripts/make-demo.sh DIR
#
# Start marlit with DIR as its working directory. Launches are written to DIR/emulator-log.txt.
# Nothing is downloaded; the pictures are drawn with ImageMagick's convert. A workspace that is
# already there (DIR/.marlit-demo exists) is left as it is.
set -euo pipefail

SOURCES=$(cd -- "$(dirname -- "$0")/.." && pwd)

if [[ $# -ne 1 || -z $1 ]]; then
    echo "usage: $0 DIR" >&2
    exit 2
fi
mkdir -p -- "$1"
DIR=$(cd -- "$1" && pwd)

if [[ -e $DIR/.marlit-demo ]]; then
    echo "A demo workspace is already in $DIR (remove $DIR/.marlit-demo to build it again)."
    exit 0
fi
for catalogue_file in classic.ini console.ini handheld.ini computer.ini; do
    if [[ -e $DIR/$catalogue_file ]]; then
        # Never replace someone's own catalogues with the demo's.
        echo "make-demo: $DIR already holds $catalogue_file; give a new or empty folder" >&2
        exit 1
    fi
done
if ! command -v convert >/dev/null; then
    echo "make-demo: ImageMagick's convert is needed to draw the pictures" >&2
    exit 1
fi
if [[ $DIR == *[[:space:]]* ]]; then
    # The emulator's path goes unquoted at the head of its command line.
    echo "make-demo: note: $DIR holds a blank, so the emulator paths in the catalogues will too" >&2
fi

FONT=""
for candidate in /usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf \
    /usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf; do
    if [[ -r $candidate ]]; then
        FONT=$candidate
        break
    fi
done

SCRATCH=$(mktemp -d)
trap 'rm -rf -- "$SCRATCH"' EXIT

# ---------------------------------------------------------------------------------------------
# Pictures. convert runs once for all of them: each picture is drawn into a scratch file with a
# plain name (convert reads brackets and colons in file names as options) and moved to its real
# name afterwards.

IM_ARGS=()
MOVES=()
PICTURE_COUNT=0
PALETTE=('#1d3b8a-#7fb2ff' '#7a1010-#ffb347' '#0f5e2a-#a8f0a0' '#5b1a7a-#f0a0ff' '#6a5000-#ffe680'
    '#004d4d-#80ffff' '#4d2600-#ffcc99' '#202020-#c0c0c0')

# Escapes text for -annotate, which expands "%" sequences.
im_text() {
    local text=${1//%/%%}
    printf '%s' "$text"
}

# Sets SCRATCH_FILE to a fresh scratch file name (not printed: a subshell would lose the count).
next_scratch() { # extension
    PICTURE_COUNT=$((PICTURE_COUNT + 1))
    printf -v SCRATCH_FILE '%s/pic-%04d.%s' "$SCRATCH" "$PICTURE_COUNT" "$1"
}

# Adds the text options when a font is there; without one the picture stays plain.
text_args() { # pointsize gravity offset text
    if [[ -n $FONT ]]; then
        IM_ARGS+=(-font "$FONT" -pointsize "$1" -fill white -stroke '#00000080' -strokewidth 1
            -gravity "$2" -annotate "$3" "$(im_text "$4")" -stroke none -gravity NorthWest)
    fi
}

# A snapshot: "title" screens are a gradient with the title in large letters; "game" screens have
# a floor, a few blocks and the title small at the top.
snapshot() { # final-path title kind
    local final=$1 title=$2 kind=$3
    local ext=${final##*.}
    ext=${ext,,}
    local colours=${PALETTE[$((PICTURE_COUNT % ${#PALETTE[@]}))]}
    next_scratch "$ext"
    local out=$SCRATCH_FILE
    # Qt reads the classic BMP header best.
    [[ $ext == bmp ]] && out="BMP3:$out"
    mkdir -p -- "$(dirname -- "$final")"
    if [[ $kind == title ]]; then
        IM_ARGS+=('(' -size 256x224 "gradient:$colours")
        text_args 22 center +0+0 "$title"
    elif [[ $kind == cover ]]; then
        # A box's front: upright, a band for the system's name, the title across the middle.
        IM_ARGS+=('(' -size 192x264 "gradient:$colours" -fill '#000000a0' -draw 'rectangle 0,0 191,27'
            -fill none -stroke '#ffffff80' -strokewidth 2 -draw 'rectangle 6,34 185,257' -stroke none)
        text_args 13 north +0+6 "GAME BOX"
        text_args 18 center +0+10 "$title"
    else
        IM_ARGS+=('(' -size 224x256 "gradient:$colours" -rotate 90
            -fill '#3a2a1a' -draw 'rectangle 0,190 255,223'
            -fill '#c86428' -draw 'rectangle 40,140 71,155' -draw 'rectangle 120,110 167,125'
            -fill '#ffd040' -draw 'circle 190,170 198,170')
        text_args 14 north +0+6 "$title"
    fi
    IM_ARGS+=(-write "$out" -delete '0--1' ')')
    MOVES+=("${out#BMP3:}" "$final")
}

# A system icon: a coloured tile with a letter, as a .ico holding 32x32 and 16x16, or a .png.
icon() { # final-path colour letter
    local final=$1 colour=$2 letter=$3
    local ext=${final##*.}
    next_scratch "$ext"
    local out=$SCRATCH_FILE
    mkdir -p -- "$(dirname -- "$final")"
    IM_ARGS+=('(' -size 32x32 xc:none -fill "$colour" -draw 'roundrectangle 1,1 30,30 6,6')
    if [[ -n $FONT ]]; then
        IM_ARGS+=(-font "$FONT" -pointsize 20 -fill white -gravity center -annotate +0+0 "$(im_text "$letter")"
            -gravity NorthWest)
    fi
    if [[ $ext == ico ]]; then
        IM_ARGS+=('(' +clone -resize 16x16 ')' -write "ico:$out")
    else
        IM_ARGS+=(-resize 48x48 -write "$out")
    fi
    IM_ARGS+=(-delete '0--1' ')')
    MOVES+=("$out" "$final")
}

draw_pictures() {
    convert "${IM_ARGS[@]}" -size 1x1 xc:none null:
    local i
    for ((i = 0; i < ${#MOVES[@]}; i += 2)); do
        mv -f -- "${MOVES[i]}" "${MOVES[i + 1]}"
    done
}

# ---------------------------------------------------------------------------------------------
# ROM folders.

roms() { # folder name...
    local folder=$1
    shift
    mkdir -p -- "$folder"
    local name
    for name in "$@"; do
        # A few bytes, so the files are not all empty.
        printf 'demo rom: %s\n' "$name" >"$folder/$name"
    done
}

ROMS=$DIR/roms
SNAPS=$DIR/snaps
ICONS=$DIR/icons
EMUS=$DIR/emulators

# Nintendo Entertainment System: three levels of sub-folders, dots, brackets, a hidden file, a
# Japanese name and a name whose bytes are not UTF-8.
NES=$ROMS/nes
roms "$NES" \
    "Super Mario Bros. (W) [!].nes" "Super Mario Bros. 3 (U) (PRG1) [!].nes" "Zelda (U) [!].nes" \
    "Zelda II - The Adventure of Link (U).nes" "Metroid (E).nes" "Mega Man 2 (U).nes" \
    "Castlevania (U) (V1.1).nes" "Dr. Mario (JU) [!].nes" "Duck Hunt (W).nes" "Excitebike (JU).zip" \
    "Kid Icarus (UE).7z" "Punch-Out!! (U).nes" "Tetris (U) [!].nes" "Contra (U).nes" \
    "Final Fantasy (U).nes" "ドラゴンクエスト (J).nes" ".last-played.nes" "readme.txt" "Balloon Fight.NES"
roms "$NES" "$(printf 'Caf\xe9 Quest (Latin-1 name).nes')"
roms "$NES/Europe" "Super Mario Bros. (E).nes" "Metroid (E) [b1].nes" "Kirby's Adventure (E).nes" \
    "Probotector (E).nes" "Mr. Gimmick! (E).nes"
roms "$NES/USA" "Chip 'n Dale - Rescue Rangers (U).nes" "DuckTales (U).nes" "Little Nemo - The Dream Master (U).nes"
roms "$NES/USA/Unlicensed" "Micro Machines (Camerica) (U).nes" "Bee 52 (Camerica) (U).nes"
roms "$NES/USA/Unlicensed/Tengen" "Ms. Pac-Man (Tengen) (U).nes" "Tetris (Tengen) (U).nes" \
    "Gauntlet (Tengen) (U).nes" "R.B.I. Baseball (Tengen) (U).nes"
roms "$NES/Hacks/Translations" "Mother (J) [T+Eng1.0].nes" "Akumajou Densetsu (J) [T+Eng].nes"
mkdir -p -- "$NES/Hacks/Empty folder"

# Sega Master System.
SMS=$ROMS/sms
roms "$SMS" "Alex Kidd in Miracle World (UE) [!].sms" "Sonic the Hedgehog (UE) [!].sms" \
    "Phantasy Star (UE) (V1.3).sms" "Wonder Boy III - The Dragon's Trap (UE).sms" "Shinobi (UE).sms" \
    "R-Type (UE).sms" "Fantasy Zone (JUE).sms" "Psycho Fox (UE).zip"
roms "$SMS/Brazil" "Mônica no Castelo do Dragão (B).sms" "Turma da Mônica em O Resgate (B).sms"
roms "$SMS/Brazil/Tec Toy/Prototypes" "Street Fighter II (B) [p1].sms"

# Atari 2600.
A26=$ROMS/atari2600
roms "$A26" "Adventure (1980) (Atari).a26" "Pitfall! (1982) (Activision).a26" "River Raid (1982) (Activision).a26" \
    "Space Invaders (1980) (Atari).bin" "Yars' Revenge (1981) (Atari).a26" "E.T. (1982) (Atari).a26"
roms "$A26/Homebrew/2010s" "Halo 2600 (2010).a26" "Star Castle Arcade (2014).bin"

# Super Nintendo: the long list, about 3,000 names generated from a few word lists, plus sub-folders.
SNES=$ROMS/snes
mkdir -p -- "$SNES"
first=(Super Mega Ultra Hyper Final Secret Legend Star Dragon Battle Street Turbo Royal Mystic Shadow Iron
    Crystal Thunder Phantom Cosmic)
second=(Fighter Quest Racer Knights Warriors Soccer Tennis Golf Pinball Tactics Saga Wings Kart Ninja Castle)
regions=("(U)" "(E)" "(J)" "(U) [!]" "(E) (M3)" "(J) [T+Eng]" "(U) (V1.1)" "(F)" "(G)" "(Beta)")
extensions=(sfc smc zip 7z sfc)
count=0
for ((n = 1; n <= 2; n++)); do
    for a in "${first[@]}"; do
        for b in "${second[@]}"; do
            for ((r = 0; r < ${#regions[@]}; r += 2)); do
                region=${regions[$(((r + n + ${#a}) % ${#regions[@]}))]}
                ext=${extensions[$(((count + ${#b}) % ${#extensions[@]}))]}
                title="$a $b"
                [[ $n -gt 1 ]] && title="$title $n"
                printf 'demo rom\n' >"$SNES/$title $region.$ext"
                count=$((count + 1))
            done
        done
    done
done
roms "$SNES" "Chrono Trigger (U) [!].sfc" "Secret of Mana (U) [!].sfc" "Super Metroid (JU) [!].sfc" \
    "EarthBound (U).sfc" "F-Zero (U).smc"
roms "$SNES/Satellaview/BS-X" "BS Zelda no Densetsu (J).bs" "BS F-Zero Grand Prix 2 (J).bs"
roms "$SNES/Japan only" "Seiken Densetsu 3 (J).sfc" "Star Ocean (J).sfc" "Tales of Phantasia (J).sfc"

# Sony PlayStation: disc images with their cue sheets.
PSX=$ROMS/psx
roms "$PSX" "Final Fantasy VII (Disc 1) (U).cue" "Final Fantasy VII (Disc 1) (U).bin" \
    "Castlevania - Symphony of the Night (U).cue" "Castlevania - Symphony of the Night (U).bin" \
    "Crash Bandicoot (E).chd" "Tekken 3 (U).pbp" "Gran Turismo 2 (E) (Arcade Disc).chd"
roms "$PSX/Japan/Import" "Xenogears (J) (Disc 1).chd" "Xenogears (J) (Disc 2).chd"

# Sega Mega Drive.
MD=$ROMS/megadrive
roms "$MD" "Sonic the Hedgehog 2 (W) [!].md" "Streets of Rage 2 (U) [!].gen" "Gunstar Heroes (U).bin" \
    "Phantasy Star IV (U).md" "Ecco the Dolphin (UE).smd" "Earthworm Jim (E).zip"
roms "$MD/Sega CD" "Sonic CD (U).cue" "Snatcher (U).cue"

# Game Boy.
GB=$ROMS/gameboy
roms "$GB" "Pokémon - Red Version (UE) [S][!].gb" "Pokémon - Blue Version (UE) [S][!].gb" \
    "Pokémon - Yellow Version (UE) [C][!].gbc" "Pokémon Pinball (E) (M5).gbc" "Tetris (W) (V1.1) [!].gb" \
    "Kirby's Dream Land (UE) [!].gb" "Super Mario Land (W) (V1.1) [!].gb" "Astérix (E) (M5).gb" \
    "Link's Awakening DX (U) (V1.2).gbc" "Wario Land II (UE).gbc" ".sav-backup.gb"
roms "$GB/Homebrew/Demos" "Is That a Demo in Your Pocket (PD).gb" "Oh! (PD).gbc"

# Game Boy Advance.
GBA=$ROMS/gba
roms "$GBA" "Metroid Fusion (U).gba" "Advance Wars (U).gba" "Golden Sun (UE).gba" \
    "Mother 3 (J) [T+Eng1.3].gba" "Pokémon - Edición Rubí (S).gba" "Castlevania - Aria of Sorrow (U).zip"
roms "$GBA/Europe/Multi-language" "Pokémon - Version Saphir (F).gba" "Mario Kart - Super Circuit (E).gba"

# Game lists of other front-ends, as a user who came from one of them has them. Game Boy Advance:
# an EmulationStation gamelist.xml in the ROM folder (ES-DE writes a first element before
# <gameList>), naming its pictures under ./media/; Mega Drive: a Pegasus metadata.pegasus.txt,
# its pictures in media/<title>/. Marlit only reads them.
gamelist_game() { # path name desc date developer publisher genre players rating playcount favorite picture-stem
    printf '\t<game>\n\t\t<path>./%s</path>\n\t\t<name>%s</name>\n\t\t<desc>%s</desc>\n' "$1" "$2" "$3"
    printf '\t\t<releasedate>%sT000000</releasedate>\n\t\t<developer>%s</developer>\n' "$4" "$5"
    printf '\t\t<publisher>%s</publisher>\n\t\t<genre>%s</genre>\n\t\t<players>%s</players>\n' "$6" "$7" "$8"
    printf '\t\t<rating>%s</rating>\n\t\t<playcount>%s</playcount>\n\t\t<favorite>%s</favorite>\n' "$9" "${10}" "${11}"
    if [[ -n ${12} ]]; then
        printf '\t\t<thumbnail>./media/covers/%s.png</thumbnail>\n\t\t<image>./media/screenshots/%s.png</image>\n' \
            "${12}" "${12}"
    fi
    printf '\t</game>\n'
}
{
    printf '<?xml version="1.0"?>\n<alternativeEmulator>\n\t<label>Stand-in (demo)</label>\n</alternativeEmulator>\n'
    printf '<gameList>\n'
    gamelist_game "Metroid Fusion (U).gba" "Metroid Fusion" \
        "A bounty hunter, infected by a parasite, explores a research station that has gone quiet. Its doors open one power-up at a time." \
        20021117 "Intelligent Systems" "Nintendo" "Action, Adventure" 1 0.9 14 true "Metroid Fusion"
    gamelist_game "Advance Wars (U).gba" "Advance Wars" \
        "Turn-based battles on small maps: infantry, tanks and planes, each with its strengths, and a campaign of commanders with powers of their own." \
        20010910 "Intelligent Systems" "Nintendo" "Strategy" 1-4 0.85 31 false "Advance Wars"
    gamelist_game "Golden Sun (UE).gba" "Golden Sun" \
        "Four young adepts set out to keep the elemental stars from being stolen. Their psynergy moves rocks and reads minds outside battle too." \
        20011111 "Camelot" "Nintendo" "Role-playing" 1 0.8 3 false "Golden Sun"
    gamelist_game "Mother 3 (J) [T+Eng1.3].gba" "Mother 3 (fan translation)" \
        "A village at the edge of a forest, a family torn apart, and strangers who bring happy boxes to every home. Played here in a fan translation." \
        20060420 "Brownie Brown" "Nintendo" "Role-playing" 1 0.95 0 true "Mother 3"
    gamelist_game "Castlevania - Aria of Sorrow (U).zip" "Castlevania: Aria of Sorrow" \
        "A student caught in an eclipse wakes in a castle and takes the souls of what he defeats, each giving him a power." \
        20030506 "Konami" "Konami" "Action, Platform" 1 0.9 7 false ""
    gamelist_game "Europe/Multi-language/Mario Kart - Super Circuit (E).gba" "Mario Kart: Super Circuit" \
        "Karts, shells and banana skins on the tracks of a handheld, with the old courses of the first game to unlock." \
        20010914 "Intelligent Systems" "Nintendo" "Racing" 1-4 0.75 2 false "Mario Kart - Super Circuit"
    printf '</gameList>\n'
} >"$GBA/gamelist.xml"
for title in "Metroid Fusion" "Advance Wars" "Golden Sun" "Mother 3" "Mario Kart - Super Circuit"; do
    snapshot "$GBA/media/covers/$title.png" "$title" cover
    snapshot "$GBA/media/screenshots/$title.png" "$title" game
done

cat >"$MD/metadata.pegasus.txt" <<'PEGASUS'
# A Pegasus collection, written as Pegasus' documentation describes it.
collection: Mega Drive
shortname: megadrive
extensions: md, gen, bin, smd, zip

game: Sonic the Hedgehog 2
file: Sonic the Hedgehog 2 (W) [!].md
developer: Sonic Team
publisher: Sega
genre: Platform
players: 1-2
release: 1992-11-21
rating: 90%
description:
  The hedgehog runs again, now with a two-tailed fox at his heels who a second player can take.
  .
  Zones of loops and springs, a split-screen race, and seven emeralds for those who find the special stages.

game: Streets of Rage 2
file: Streets of Rage 2 (U) [!].gen
developer: Sega
genre: Beat 'em up
players: 1-2
release: 1992-12-20
rating: 88%
description: Four fighters walk the streets of a city held by a crime syndicate, side by side for two players.

game: Gunstar Heroes
file: Gunstar Heroes (U).bin
developer: Treasure
publisher: Sega
genre: Run and gun
players: 1-2
release: 1993-09-10
description:
  Two heroes, four weapons to combine, and bosses that fill the screen.

game: Phantasy Star IV
file: Phantasy Star IV (U).md
developer: Sega
genre: Role-playing
players: 1
release: 1993-12-17
rating: 92%
description: A hunter's errand on a dying desert world grows into the end of a millennium-long cycle.

game: Ecco the Dolphin
files:
  Ecco the Dolphin (UE).smd
developer: Novotrade
publisher: Sega
genre: Adventure
release: 1992-12
PEGASUS
for title in "Sonic the Hedgehog 2" "Streets of Rage 2" "Gunstar Heroes" "Phantasy Star IV"; do
    snapshot "$MD/media/$title/boxFront.png" "$title" cover
    snapshot "$MD/media/$title/screenshot.png" "$title" game
done

# Game Gear.
GG=$ROMS/gamegear
roms "$GG" "Sonic Chaos (UE) [!].gg" "Shining Force - The Sword of Hajya (U).gg" "Columns (W).gg" \
    "Shinobi II - The Silent Fury (W).gg"

# Amiga: floppy images in a disk library of three levels.
AMIGA=$ROMS/amiga
roms "$AMIGA" "Workbench v1.3 (1988)(Commodore).adf" "Lemmings (1991)(Psygnosis)[!].adf" \
    "Turrican II (1991)(Rainbow Arts)[cr].adf" "The Secret of Monkey Island (1991)(LucasArts)(Disk 1 of 4).adf"
roms "$AMIGA/Games/Shoot'em up" "Project-X (1992)(Team17).ipf" "Xenon 2 - Megablast (1989)(Image Works).adf"
roms "$AMIGA/Games/Adventure/Sierra" "King's Quest III (1988)(Sierra).adf" "Space Quest II (1988)(Sierra).adf"
roms "$AMIGA/Demos" "State of the Art (1992)(Spaceballs).dms" "Desert Dream (1993)(Kefrens).dms"

# ZX Spectrum.
ZX=$ROMS/zxspectrum
roms "$ZX" "Manic Miner (1983)(Bug-Byte).tzx" "Jet Set Willy (1984)(Software Projects).tap" \
    "Knight Lore (1984)(Ultimate).z80" "Elite (1985)(Firebird).tzx" "Head Over Heels (1987)(Ocean).tap"
roms "$ZX/128K only" "Where Time Stood Still (1988)(Ocean)(128K).tap"

# MS-DOS programs for DOSBox, in a folder whose name holds a blank: our greeting program, which
# ends on a key press.
DOS="$ROMS/DOS programs"
mkdir -p -- "$DOS"
if command -v nasm >/dev/null; then
    nasm -f bin -o "$DOS/HELLO.COM" "$SOURCES/res/demo/hello.asm"
else
    echo "make-demo: note: nasm is missing, so the DOS program HELLO.COM is not there" >&2
fi

# ---------------------------------------------------------------------------------------------
# Snapshots. Some pictures carry the ROM's full name, some only its title (the name up to the
# blank before its first bracket), some ROMs have none and show NoShot.png.

snapshot "$SNAPS/nes/titles/Super Mario Bros. (W) [!].png" "Super Mario Bros." title
snapshot "$SNAPS/nes/ingame/Super Mario Bros..jpg" "Super Mario Bros." game
snapshot "$SNAPS/nes/titles/Zelda.png" "Zelda" title
snapshot "$SNAPS/nes/ingame/Zelda (U) [!].gif" "Zelda" game
snapshot "$SNAPS/nes/titles/Metroid (E).jpg" "Metroid" title
snapshot "$SNAPS/nes/ingame/Metroid.bmp" "Metroid" game
snapshot "$SNAPS/nes/titles/mega man 2 (u).GIF" "Mega Man 2" title
snapshot "$SNAPS/nes/titles/Dr. Mario (JU) [!].bmp" "Dr. Mario" title
snapshot "$SNAPS/nes/ingame/Dr. Mario.png" "Dr. Mario" game
snapshot "$SNAPS/nes/titles/Ms. Pac-Man.jpg" "Ms. Pac-Man" title
snapshot "$SNAPS/nes/titles/ドラゴンクエスト.png" "ドラゴンクエスト" title
snapshot "$SNAPS/nes/ingame/Tetris (Tengen) (U).png" "Tetris (Tengen)" game

snapshot "$SNAPS/sms/Alex Kidd in Miracle World.png" "Alex Kidd" title
snapshot "$SNAPS/sms/Sonic the Hedgehog (UE) [!].jpg" "Sonic the Hedgehog" title
snapshot "$SNAPS/sms/Mônica no Castelo do Dragão.gif" "Mônica no Castelo do Dragão" title
snapshot "$SNAPS/sms-default.png" "Master System" game

snapshot "$SNAPS/atari2600-default.jpg" "Atari 2600" title

for title in "Super Fighter" "Mega Quest" "Dragon Racer" "Star Knights" "Royal Tactics"; do
    snapshot "$SNAPS/snes/titles/$title.png" "$title" title
done
snapshot "$SNAPS/snes/titles/Chrono Trigger (U) [!].jpg" "Chrono Trigger" title
snapshot "$SNAPS/snes/ingame/Chrono Trigger.gif" "Chrono Trigger" game
snapshot "$SNAPS/snes/ingame/Secret of Mana (U) [!].bmp" "Secret of Mana" game
snapshot "$SNAPS/snes/ingame/Super Fighter (U).png" "Super Fighter" game

snapshot "$SNAPS/psx/Final Fantasy VII.jpg" "Final Fantasy VII" title
snapshot "$SNAPS/psx/Tekken 3 (U).png" "Tekken 3" title

snapshot "$SNAPS/gb/titles/Pokémon - Red Version.png" "Pokémon - Red Version" title
snapshot "$SNAPS/gb/ingame/Pokémon - Red Version (UE) [S][!].gif" "Pokémon - Red Version" game
snapshot "$SNAPS/gb/titles/Pokémon - Blue Version (UE) [S][!].bmp" "Pokémon - Blue Version" title
snapshot "$SNAPS/gb/titles/Tetris (W) (V1.1) [!].jpg" "Tetris" title
snapshot "$SNAPS/gb/ingame/Tetris.png" "Tetris" game
snapshot "$SNAPS/gb/titles/Astérix.gif" "Astérix" title

snapshot "$SNAPS/gba/Metroid Fusion (U).png" "Metroid Fusion" game
snapshot "$SNAPS/gba/Golden Sun.jpg" "Golden Sun" title

snapshot "$SNAPS/amiga/Lemmings.png" "Lemmings" title
snapshot "$SNAPS/amiga/Turrican II (1991)(Rainbow Arts)[cr].gif" "Turrican II" game
snapshot "$SNAPS/zx/Manic Miner.bmp" "Manic Miner" game

# The picture shown where a ROM has none.
IM_ARGS+=('(' -size 256x224 xc:'#d8d8d8' -fill '#a0a0a0' -draw 'rectangle 8,8 247,215' -fill '#d8d8d8'
    -draw 'rectangle 12,12 243,211')
if [[ -n $FONT ]]; then
    IM_ARGS+=(-font "$FONT" -pointsize 22 -fill '#606060' -gravity center -annotate +0+0 'No Snapshot'
        -gravity NorthWest)
fi
next_scratch png
IM_ARGS+=(-write "$SCRATCH_FILE" -delete '0--1' ')')
MOVES+=("$SCRATCH_FILE" "$DIR/NoShot.png")

# Icons: .ico and .png files, one system with none of its own (it shows default.ico), and one
# whose icon file is missing (its place stays empty).
icon "$DIR/default.ico" '#707070' '?'
icon "$ICONS/nes.ico" '#c02020' 'N'
icon "$ICONS/sms.png" '#2040c0' 'S'
icon "$ICONS/snes.ico" '#6040a0' 'S'
icon "$ICONS/psx.png" '#404040' 'P'
icon "$ICONS/megadrive.ico" '#101010' 'M'
icon "$ICONS/gameboy.png" '#6a8a20' 'G'
icon "$ICONS/gba.ico" '#3030a0' 'A'
icon "$ICONS/gamegear.png" '#202020' 'G'
icon "$ICONS/amiga.ico" '#d06010' 'A'
icon "$ICONS/dos.png" '#1a5fb4' 'D'

draw_pictures

# ---------------------------------------------------------------------------------------------
# The stand-in emulator: one line per start in emulator-log.txt with the date, the working
# directory and each argument in brackets. Copies under other paths and names let systems differ.

quote_sh() { # value -> single-quoted for sh
    printf "'%s'" "${1//\'/\'\\\'\'}"
}

mkdir -p -- "$EMUS/portable"
{
    printf '#!/bin/sh\n'
    printf '# Stand-in emulator of the Marlit demo: records how it was started, shows a small\n'
    printf '# window for a few seconds so that the play is seen, then exits.\n'
    printf 'log=%s\n' "$(quote_sh "$DIR/emulator-log.txt")"
    cat <<'EOF'
{
    printf '%s %s' "$(date '+%Y-%m-%d %H:%M:%S')" "$(pwd)"
    for arg in "$@"; do
        printf ' [%s]' "$arg"
    done
    printf '\n'
} >>"$log"
# Seen on the screen as a play: a small window naming the ROM, closed by its button or after a
# few seconds, as a short game would end.
if [ -n "${DISPLAY:-}" ] && command -v xmessage >/dev/null 2>&1; then
    rom=
    for arg in "$@"; do
        case $arg in -*) ;; *) rom=$arg ;; esac
    done
    xmessage -center -timeout 6 -title "Stand-in emulator" -buttons "Quit:0" \
        "The Marlit demo's stand-in emulator is playing ${rom##*/}" 2>/dev/null || true
fi
EOF
} >"$EMUS/standin-emu"
chmod 755 "$EMUS/standin-emu"
cp -p -- "$EMUS/standin-emu" "$EMUS/portable/standin-emu"
cp -p -- "$EMUS/standin-emu" "$EMUS/standin-snes"

# ---------------------------------------------------------------------------------------------
# Catalogues: ten CR LF lines per record, each value after "KEY = ".

record() { # name description romdir emulator commandline icon snapA snapB snapshot
    printf 'NAME = %s\r\nDESC = %s\r\nROMDIR = %s\r\nEMU = %s\r\nCOMMAND LINE = %s\r\nICON = %s\r\n' \
        "$1" "$2" "$3" "$4" "$5" "$6"
    printf 'SNAPADIR = %s\r\nSNAPBDIR = %s\r\nSNAPSHOT = %s\r\n\r\n' "$7" "$8" "$9"
}

# Written beside the target and moved over it, so an interrupted run leaves no half file.
catalogue() { # file-name (records on stdin)
    cat >"$DIR/$1.tmp"
    mv -f -- "$DIR/$1.tmp" "$DIR/$1"
}

EMU=$EMUS/standin-emu
{
    record "Nintendo" "Entertainment System" "$NES/" "$EMU" "-fullscreen" "$ICONS/nes.ico" \
        "$SNAPS/nes/titles/" "$SNAPS/nes/ingame/" ""
    record "Sega" "Master System / Mark III" "$SMS/" "$EMU" "--system sms" "$ICONS/sms.png" \
        "$SNAPS/sms/" "" "$SNAPS/sms-default.png"
    record "Atari" "2600 Video Computer System" "$A26/" "$EMUS/portable/standin-emu" "" "" \
        "" "" "$SNAPS/atari2600-default.jpg"
} | catalogue classic.ini

{
    record "Nintendo" "Super Nintendo (about 3,000 ROMs)" "$SNES/" "$EMUS/standin-snes" "@-fullscreen" \
        "$ICONS/snes.ico" "$SNAPS/snes/titles/" "$SNAPS/snes/ingame/" ""
    record "Sony" "PlayStation" "$PSX/" "$EMUS/portable/standin-emu" '-bios "scph 1001.bin" -fast' \
        "$ICONS/psx.png" "$SNAPS/psx/" "" ""
    record "Sega" "Mega Drive / Genesis" "$MD/" "$EMU" "" "$ICONS/megadrive.ico" "" "" ""
    record "NEC" "PC Engine (ROM folder missing)" "$ROMS/pcengine/" "$EMU" "-pce" "$ICONS/pcengine.ico" \
        "" "" ""
} | catalogue console.ini

{
    record "Nintendo" "Game Boy / Game Boy Color" "$GB/" "$EMU" "@--scale 3" "$ICONS/gameboy.png" \
        "$SNAPS/gb/titles/" "$SNAPS/gb/ingame/" ""
    record "Nintendo" "Game Boy Advance" "$GBA/" "$EMUS/portable/standin-emu" "" "$ICONS/gba.ico" \
        "$SNAPS/gba/" "" ""
    record "Sega" "Game Gear" "$GG/" "$EMU" "--system gg" "$ICONS/gamegear.png" "" "" ""
} | catalogue handheld.ini

{
    record "Commodore" "Amiga 500" "$AMIGA/" "$EMU" "--model A500 --ntsc" "$ICONS/amiga.ico" \
        "$SNAPS/amiga/" "" ""
    record "Sinclair" "ZX Spectrum 48K / 128K" "$ZX/" "$EMUS/portable/standin-emu" "@-machine 128" \
        "$ICONS/zxspectrum.ico" "$SNAPS/zx/" "" ""
    # A real emulator: DOSBox runs the program given to it, and ends with it when -exit follows.
    record "DOSBox" "MS-DOS programs (a real emulator)" "$DOS/" "/usr/bin/dosbox" "@-exit" "$ICONS/dos.png" \
        "" "" ""
} | catalogue computer.ini

# Window options: snapshots below the ROM list in a 1000 x 700 window, the "Console" tab, its
# first system, 12-point Arial in black. Flags, big-endian size, category, system, "%03d" size,
# "%08x" colour, then the face with its NUL, padded to 128 bytes.
if [[ ! -e $DIR/marlit.cfg ]]; then
    {
        printf '\x01\x01\x01\x03\xe8\x02\xbc\x01\x00%s%s%s' 120 00000000 Arial
        head -c 103 /dev/zero
    } >"$DIR/marlit.cfg"
fi

touch -- "$DIR/.marlit-demo"
echo "Demo workspace ready in $DIR ($(find "$DIR/roms" -type f | wc -l) ROM files)."
echo "Run marlit from there; launches are logged to $DIR/emulator-log.txt."
