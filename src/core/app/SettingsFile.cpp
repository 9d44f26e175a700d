#include "core/app/SettingsFile.h"

#include "core/fs/SafeFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace marlit {

namespace {

constexpr std::size_t kSizeOffset = 9;
constexpr std::size_t kSizeWidth = 3;
constexpr std::size_t kColourOffset = 12;
constexpr std::size_t kColourWidth = 8;
constexpr std::size_t kFaceOffset = 20;
// The face and its NUL must fit in what is left of the record.
constexpr std::size_t kMaxFaceLength = SettingsFile::kRecordSize - kFaceOffset - 1;

bool isScanBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int digitValue(char c, int base)
{
    int value = 36;
    if (c >= '0' && c <= '9')
        value = c - '0';
    else if (c >= 'a' && c <= 'z')
        value = c - 'a' + 10;
    else if (c >= 'A' && c <= 'Z')
        value = c - 'A' + 10;
    return value < base ? value : -1;
}

// Scans a number the way the C library's "%<width>d" and "%<width>x" conversions do, without
// depending on the locale: blanks skipped (not counted in the width), an optional sign, for
// base 16 an optional "0x", then digits, all within width characters. Nothing when no digit is
// found; a negative hexadecimal value wraps around as the C library's does.
std::optional<long long> scanNumber(std::string_view text, std::size_t width, int base)
{
    std::size_t pos = 0;
    while (pos < text.size() && isScanBlank(text[pos]))
        ++pos;
    text = text.substr(pos, width);
    pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        negative = text[pos++] == '-';
    bool sawDigit = false;
    if (base == 16 && pos + 1 < text.size() && text[pos] == '0' && (text[pos + 1] == 'x' || text[pos + 1] == 'X')) {
        // "0x" with nothing after it still scans as the 0.
        sawDigit = true;
        pos += 2;
    }
    unsigned long long value = 0;
    for (int digit = 0; pos < text.size() && (digit = digitValue(text[pos], base)) >= 0; ++pos) {
        value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
        sawDigit = true;
    }
    if (!sawDigit)
        return std::nullopt;
    const long long signedValue = static_cast<long long>(value);
    return negative ? -signedValue : signedValue;
}

} // namespace

SettingsRecord SettingsFile::parse(std::string_view bytes)
{
    bytes = bytes.substr(0, std::min(bytes.size(), kRecordSize));
    const auto byteAt = [&](std::size_t offset) { return static_cast<std::uint8_t>(bytes[offset]); };
    // A field counts only when the data holds all of it.
    const auto has = [&](std::size_t offset, std::size_t size) { return bytes.size() >= offset + size; };

    SettingsRecord record;
    if (has(0, 1))
        record.settings.rememberWindowSize = byteAt(0) != 0;
    if (has(1, 1))
        record.settings.rememberLastSystem = byteAt(1) != 0;
    if (has(2, 1))
        record.settings.snapshotMode = byteAt(2);
    if (has(3, 2))
        record.width = byteAt(3) * 256 + byteAt(4);
    if (has(5, 2))
        record.height = byteAt(5) * 256 + byteAt(6);
    if (has(7, 1))
        record.category = byteAt(7);
    if (has(8, 1))
        record.system = byteAt(8);

    // The number fields are scanned like C strings: a NUL ends the text a scan may look at.
    const auto textFrom = [&](std::size_t offset) {
        const std::string_view rest = bytes.substr(offset);
        return rest.substr(0, rest.find('\0'));
    };
    if (has(kSizeOffset, kSizeWidth)) {
        if (const auto size = scanNumber(textFrom(kSizeOffset), kSizeWidth, 10))
            record.fontPointSize = static_cast<int>(*size);
    }
    if (has(kColourOffset, kColourWidth)) {
        if (const auto colour = scanNumber(textFrom(kColourOffset), kColourWidth, 16))
            record.fontColor = static_cast<std::uint32_t>(*colour);
    }
    if (has(kFaceOffset, 1))
        record.fontFace = std::string(textFrom(kFaceOffset));
    return record;
}

SettingsFile::Record SettingsFile::serialize(const SettingsRecord &record)
{
    Record bytes{};
    const auto lowByte = [](int value) { return static_cast<std::uint8_t>(value & 0xFF); };
    bytes[0] = record.settings.rememberWindowSize ? 1 : 0;
    bytes[1] = record.settings.rememberLastSystem ? 1 : 0;
    bytes[2] = lowByte(record.settings.snapshotMode);
    bytes[3] = lowByte(record.width >> 8);
    bytes[4] = lowByte(record.width);
    bytes[5] = lowByte(record.height >> 8);
    bytes[6] = lowByte(record.height);
    bytes[7] = lowByte(record.category);
    // No selection (-1), or a row the byte cannot hold, is stored as 0xFF: the next start takes it
    // as a row past the end and falls back to the first system, instead of another system.
    bytes[8] = record.system < 0 || record.system > 0xFF ? 0xFF : lowByte(record.system);

    // Written through a buffer with room for the terminators; only the digits are copied, so a
    // value too wide for its field can never spill into the next one.
    char digits[16];
    std::snprintf(digits, sizeof digits, "%03d", std::clamp(record.fontPointSize, 0, 999));
    std::memcpy(bytes.data() + kSizeOffset, digits, kSizeWidth);
    std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned int>(record.fontColor));
    std::memcpy(bytes.data() + kColourOffset, digits, kColourWidth);

    const std::size_t faceLength = std::min(record.fontFace.size(), kMaxFaceLength);
    std::memcpy(bytes.data() + kFaceOffset, record.fontFace.data(), faceLength);
    // bytes[kFaceOffset + faceLength] and the padding after it stay 0.
    return bytes;
}

std::optional<SettingsRecord> SettingsFile::load(const std::string &path)
{
    const std::optional<std::string> bytes = SafeFile::readAll(path);
    if (!bytes)
        return std::nullopt;
    return parse(*bytes);
}

WriteResult SettingsFile::save(const std::string &path, const SettingsRecord &record)
{
    const Record bytes = serialize(record);
    return SafeFile::writeAll(path, std::string_view(reinterpret_cast<const char *>(bytes.data()), bytes.size()));
}

SettingsRecord SettingsFile::startupValues(const std::optional<SettingsRecord> &stored)
{
    if (!stored)
        return SettingsRecord{};
    SettingsRecord values = *stored;
    if (!values.settings.rememberWindowSize) {
        const SettingsRecord defaults;
        values.width = defaults.width;
        values.height = defaults.height;
    }
    if (!values.settings.rememberLastSystem) {
        values.category = 0;
        values.system = 0;
    }
    return values;
}

} // namespace marlit
