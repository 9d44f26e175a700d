#pragma once

#include "core/fs/SafeFile.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace marlit {

// How the snapshot pictures are placed: 0 none, 1 below the ROM list, 2 to the right of it.
// Other values can come from an edited file and are kept as they are.
enum SnapshotMode : int { NoSnapshots = 0, SnapshotsBelow = 1, SnapshotsRight = 2 };

// The three options of the options dialog.
struct AppSettings
{
    bool rememberWindowSize = true;
    bool rememberLastSystem = true;
    int snapshotMode = NoSnapshots;

    bool operator==(const AppSettings &) const = default;
};

// Everything "marlit.cfg" remembers, as stored. width and height are the client area's size.
struct SettingsRecord
{
    AppSettings settings;
    int width = 640;
    int height = 480;
    int category = 0;
    int system = 0; // the selected row; -1 for none
    int fontPointSize = 120; // tenths of a point
    std::uint32_t fontColor = 0; // 0x00BBGGRR
    std::string fontFace = "Arial";

    bool operator==(const SettingsRecord &) const = default;
};

// The 128-byte settings record: flags, big-endian size, category, system, "%03d" font size,
// "%08x" colour and the NUL-terminated face name.
class SettingsFile
{
public:
    static constexpr std::size_t kRecordSize = 128;
    static constexpr const char *kFileName = "marlit.cfg";
    using Record = std::array<std::uint8_t, kRecordSize>;

    // Reads the fields of a record. Only the first 128 bytes count; fields beyond the end of a
    // short record, and a size or colour that does not scan, keep their defaults.
    static SettingsRecord parse(std::string_view bytes);

    // The record's bytes. A font size that does not fit three digits is stored as close as they
    // allow (0 to 999); a face name is cut so that its NUL stays inside the record.
    static Record serialize(const SettingsRecord &record);

    // The stored record, or nothing when the file cannot be read.
    static std::optional<SettingsRecord> load(const std::string &path);
    static WriteResult save(const std::string &path, const SettingsRecord &record);

    // What a start uses: the defaults without a file; the stored size only when remembered
    // (else 640 x 480); the stored category and system only when remembered (else 0 and 0).
    static SettingsRecord startupValues(const std::optional<SettingsRecord> &stored);
};

} // namespace marlit
