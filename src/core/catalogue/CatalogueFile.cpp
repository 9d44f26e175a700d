#include "core/catalogue/CatalogueFile.h"

#include "core/catalogue/CategoryTable.h"
#include "core/catalogue/SystemValuesFile.h"
#include "core/fs/Paths.h"
#include "core/fs/SafeFile.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>

namespace marlit {

namespace {

// Reads a catalogue by position: one value per "=", key names never looked at. Every scan stops
// at the end of the data.
class RecordScanner
{
public:
    explicit RecordScanner(std::string_view data) : m_data(data) {}

    // Moves past the first "=" of the next record. False when the data ends first: the catalogue
    // ends there. A NUL between records is passed over like any other text there, since ending
    // the catalogue at it would drop the later systems from the file at its next save.
    bool startRecord()
    {
        const std::optional<std::size_t> equals = findEquals();
        if (!equals)
            return false;
        m_pos = *equals + 1;
        skipSpaces();
        return true;
    }

    // Moves past the next "=", the one character after it (the space of " = ") and any further
    // spaces. A line end is never taken as that one character, so that a value left empty in a
    // file with bare LF or CR line ends stays empty instead of swallowing the next line. False
    // when the data ends first.
    bool nextValue()
    {
        const std::optional<std::size_t> equals = findEquals();
        if (!equals) {
            m_pos = m_data.size();
            return false;
        }
        m_pos = *equals + 1;
        if (m_pos < m_data.size() && !isLineEnd(m_data[m_pos]))
            ++m_pos;
        skipSpaces();
        return true;
    }

    std::size_t position() const { return m_pos; }

    bool skipIf(char c)
    {
        if (m_pos < m_data.size() && m_data[m_pos] == c) {
            ++m_pos;
            return true;
        }
        return false;
    }

    // The text up to the line end, which is left for the next scan. A NUL ends the stored text.
    std::string readValue()
    {
        const std::size_t start = m_pos;
        m_pos = controlCharacterFrom(m_pos);
        std::size_t nul = std::string_view::npos;
        for (; m_pos < m_data.size(); m_pos = controlCharacterFrom(m_pos + 1)) {
            const char c = m_data[m_pos];
            if (isLineEnd(c))
                break;
            if (c == '\0' && nul == std::string_view::npos)
                nul = m_pos;
        }
        const std::size_t end = nul == std::string_view::npos ? m_pos : nul;
        return std::string(m_data.substr(start, end - start));
    }

private:
    // The position of the first byte from pos that may end a value (any byte up to CR, which
    // covers CR, LF and NUL), or the end of the data. Values are mostly printable text, so eight
    // bytes are tested at a time.
    std::size_t controlCharacterFrom(std::size_t pos) const
    {
        constexpr std::uint64_t ones = 0x0101010101010101u;
        constexpr std::uint64_t highs = 0x8080808080808080u;
        for (; pos + 8 <= m_data.size(); pos += 8) {
            std::uint64_t word;
            std::memcpy(&word, m_data.data() + pos, 8);
            // Sets the high bit of each byte below 14, exactly for the first such byte (later ones
            // may be marked wrongly by a borrow, which does not matter).
            const std::uint64_t found = (word - ones * 14) & ~word & highs;
            if (found) {
                if constexpr (std::endian::native == std::endian::little)
                    return pos + static_cast<std::size_t>(std::countr_zero(found)) / 8;
                break;
            }
        }
        while (pos < m_data.size() && static_cast<unsigned char>(m_data[pos]) > '\r')
            ++pos;
        return pos;
    }

    static bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

    std::optional<std::size_t> findEquals() const
    {
        const char *begin = m_data.data() + m_pos;
        const void *found = std::memchr(begin, '=', m_data.size() - m_pos);
        if (!found)
            return std::nullopt;
        return m_pos + static_cast<std::size_t>(static_cast<const char *>(found) - begin);
    }

    void skipSpaces()
    {
        while (m_pos < m_data.size() && m_data[m_pos] == ' ')
            ++m_pos;
    }

    std::string_view m_data;
    std::size_t m_pos = 0;
};

// Splits at the last separator, which goes with the file part. Without one the whole value is
// the file, as the configuration dialog splits it.
void setEmulatorPath(SystemEntry &entry, std::string value)
{
    const std::size_t separator = value.rfind(kPathSeparator);
    if (separator == std::string::npos) {
        entry.emulatorDirectory.clear();
        entry.emulatorFile = std::move(value);
        return;
    }
    entry.emulatorFile = value.substr(separator);
    value.resize(separator);
    entry.emulatorDirectory = std::move(value);
}

// Reads the eight values after NAME into entry. False when the data ends before all of them;
// the values not reached stay empty.
bool readValuesAfterName(RecordScanner &scanner, SystemEntry &entry)
{
    using ValueReader = void (*)(RecordScanner &, SystemEntry &);
    static constexpr ValueReader kReaders[] = {
        [](RecordScanner &in, SystemEntry &e) { e.description = in.readValue(); },
        [](RecordScanner &in, SystemEntry &e) { e.romDirectory = withTrailingSeparator(in.readValue()); },
        [](RecordScanner &in, SystemEntry &e) { setEmulatorPath(e, in.readValue()); },
        [](RecordScanner &in, SystemEntry &e) {
            e.paramsAfterRom = in.skipIf('@');
            e.commandLine = in.readValue();
        },
        [](RecordScanner &in, SystemEntry &e) { e.iconPath = in.readValue(); },
        [](RecordScanner &in, SystemEntry &e) { e.snapshotDirA = withTrailingSeparator(in.readValue()); },
        [](RecordScanner &in, SystemEntry &e) { e.snapshotDirB = withTrailingSeparator(in.readValue()); },
        [](RecordScanner &in, SystemEntry &e) { e.defaultSnapshot = in.readValue(); },
    };
    for (const ValueReader read : kReaders) {
        if (!scanner.nextValue())
            return false;
        read(scanner, entry);
    }
    return true;
}

void appendLine(std::string &out, std::string_view key, std::string_view value, std::string_view more = {})
{
    out.append(key).append(value).append(more).append("\r\n");
}

void appendEntry(std::string &out, const SystemEntry &entry)
{
    appendLine(out, "NAME = ", entry.name);
    appendLine(out, "DESC = ", entry.description);
    appendLine(out, "ROMDIR = ", entry.romDirectory);
    appendLine(out, "EMU = ", entry.emulatorDirectory, entry.emulatorFile);
    appendLine(out, "COMMAND LINE = ", entry.paramsAfterRom ? "@" : "", entry.commandLine);
    appendLine(out, "ICON = ", entry.iconPath);
    appendLine(out, "SNAPADIR = ", entry.snapshotDirA);
    appendLine(out, "SNAPBDIR = ", entry.snapshotDirB);
    appendLine(out, "SNAPSHOT = ", entry.defaultSnapshot);
    out.append("\r\n");
}

std::size_t serializedSize(const SystemEntry &entry)
{
    // The template is exactly the keys and line ends of a record with empty values.
    return CatalogueTemplate.size() + entry.name.size() + entry.description.size() + entry.romDirectory.size() +
           entry.emulatorDirectory.size() + entry.emulatorFile.size() + (entry.paramsAfterRom ? 1 : 0) +
           entry.commandLine.size() + entry.iconPath.size() + entry.snapshotDirA.size() + entry.snapshotDirB.size() +
           entry.defaultSnapshot.size();
}

} // namespace

CategoryCatalogue CatalogueFile::parse(std::string_view bytes)
{
    std::vector<SystemEntry> entries;
    RecordScanner scanner(bytes);
    while (scanner.startRecord()) {
        const std::size_t recordStart = scanner.position();
        SystemEntry &entry = entries.emplace_back();
        entry.name = scanner.readValue();
        // A record cut short by the end of the data stays, with its missing values empty.
        if (!readValuesAfterName(scanner, entry))
            break;
        if (entries.size() == 1) {
            // Sizes the list from the first record, so that a large catalogue is not moved as it
            // grows; counting a record as at least a template's size keeps an odd first record
            // from reserving more than a file of canonical records could need.
            const std::size_t used = std::max(scanner.position() - recordStart, CatalogueTemplate.size());
            entries.reserve(bytes.size() / used + 1);
        }
    }
    return CategoryCatalogue(std::move(entries));
}

std::string CatalogueFile::serialize(const CategoryCatalogue &catalogue)
{
    std::size_t size = 0;
    for (const SystemEntry &entry : catalogue.entries())
        size += serializedSize(entry);
    std::string out;
    out.reserve(size);
    for (const SystemEntry &entry : catalogue.entries())
        appendEntry(out, entry);
    return out;
}

CategoryCatalogue CatalogueFile::load(const std::string &path)
{
    const std::optional<std::string> bytes = SafeFile::readAll(path);
    if (!bytes)
        return {};
    CategoryCatalogue catalogue = parse(*bytes);
    SystemValuesFile::load(path, catalogue);
    return catalogue;
}

StampedCatalogue CatalogueFile::loadStamped(const std::string &path)
{
    const std::optional<StampedBytes> read = SafeFile::readStamped(path);
    if (!read)
        return {};
    CategoryCatalogue catalogue = parse(read->bytes);
    SystemValuesFile::load(path, catalogue);
    return {std::move(catalogue), read->stamp};
}

WriteResult CatalogueFile::save(const std::string &path, const CategoryCatalogue &catalogue)
{
    const WriteResult written = SafeFile::writeAll(path, serialize(catalogue));
    return written.ok() ? SystemValuesFile::save(path, catalogue) : written;
}

WriteResult CatalogueFile::saveIfUnchanged(const std::string &path, const CategoryCatalogue &catalogue,
                                           const std::optional<FileStamp> &readFrom)
{
    const WriteResult written = SafeFile::writeAllIfUnchanged(path, serialize(catalogue), readFrom);
    return written.ok() ? SystemValuesFile::save(path, catalogue) : written;
}

std::array<bool, 4> CatalogueFile::ensureCatalogueFiles(const std::string &folder)
{
    static_assert(CategoryTable::kCount == 4);
    std::array<bool, 4> created{};
    const std::string prefix = withTrailingSeparator(folder);
    for (int index = 0; index < CategoryTable::kCount; ++index) {
        const std::string path = prefix + CategoryTable::fileName(index);
        // Whatever is there already, even an empty or read-only file, is the user's: the file is
        // only created where nothing exists, and a file made meanwhile by someone else is kept.
        created[static_cast<std::size_t>(index)] = SafeFile::createNew(path, CatalogueTemplate).ok();
    }
    return created;
}

} // namespace marlit
