#include "core/browse/ReaderProtocol.h"

#include <algorithm>
#include <iterator>

namespace marlit {

namespace {

// Deeper than the scanner ever goes; a deeper tree in a frame is damage, and is refused before
// its recursion could exhaust the stack.
constexpr int kMaxTreeDepth = 300;

class Writer
{
public:
    explicit Writer(ReaderProtocol::FrameType type) : m_bytes(ReaderProtocol::kHeaderSize, '\0')
    {
        m_bytes[4] = static_cast<char>(type);
    }

    void u8(std::uint8_t value) { m_bytes.push_back(static_cast<char>(value)); }
    void u32(std::uint32_t value)
    {
        for (int shift = 0; shift < 32; shift += 8)
            m_bytes.push_back(static_cast<char>((value >> shift) & 0xFF));
    }
    void u64(std::uint64_t value)
    {
        for (int shift = 0; shift < 64; shift += 8)
            m_bytes.push_back(static_cast<char>((value >> shift) & 0xFF));
    }
    void i32(int value) { u32(static_cast<std::uint32_t>(value)); }
    void text(std::string_view value)
    {
        u32(static_cast<std::uint32_t>(value.size()));
        m_bytes.append(value);
    }
    std::size_t size() const { return m_bytes.size(); }
    void raw(std::string_view bytes) { m_bytes.append(bytes); }

    void stamp(const std::optional<FileStamp> &value)
    {
        u8(value ? 1 : 0);
        if (!value)
            return;
        u64(static_cast<std::uint64_t>(value->size));
        u64(static_cast<std::uint64_t>(value->modifiedNs));
        u64(value->device);
        u64(value->inode);
    }

    std::string finish()
    {
        const auto length = static_cast<std::uint32_t>(m_bytes.size() - ReaderProtocol::kHeaderSize);
        for (int i = 0; i < 4; ++i)
            m_bytes[static_cast<std::size_t>(i)] = static_cast<char>((length >> (8 * i)) & 0xFF);
        return std::move(m_bytes);
    }

private:
    std::string m_bytes;
};

class Reader
{
public:
    explicit Reader(std::string_view bytes) : m_bytes(bytes) {}

    bool ok() const { return m_ok; }
    bool atEnd() const { return m_ok && m_bytes.empty(); }
    std::size_t left() const { return m_bytes.size(); }
    std::string_view rest() const { return m_bytes; }

    std::uint64_t number(int bytes)
    {
        if (!m_ok || m_bytes.size() < static_cast<std::size_t>(bytes)) {
            m_ok = false;
            return 0;
        }
        std::uint64_t value = 0;
        for (int i = 0; i < bytes; ++i)
            value |= std::uint64_t(static_cast<unsigned char>(m_bytes[static_cast<std::size_t>(i)])) << (8 * i);
        m_bytes.remove_prefix(static_cast<std::size_t>(bytes));
        return value;
    }
    std::uint8_t u8() { return static_cast<std::uint8_t>(number(1)); }
    std::uint32_t u32() { return static_cast<std::uint32_t>(number(4)); }
    std::uint64_t u64() { return number(8); }
    int i32() { return static_cast<int>(u32()); }
    bool flag()
    {
        const std::uint8_t value = u8();
        if (value > 1)
            m_ok = false;
        return value == 1;
    }
    std::string text()
    {
        const std::uint32_t length = u32();
        if (!m_ok || m_bytes.size() < length) {
            m_ok = false;
            return {};
        }
        std::string value(m_bytes.substr(0, length));
        m_bytes.remove_prefix(length);
        return value;
    }
    std::optional<FileStamp> stamp()
    {
        if (!flag())
            return std::nullopt;
        FileStamp value;
        value.size = static_cast<long long>(u64());
        value.modifiedNs = static_cast<long long>(u64());
        value.device = u64();
        value.inode = u64();
        return value;
    }
    // A count of items of at least minSize bytes each, checked against what is left, so that a
    // damaged count never makes a huge reservation.
    std::uint32_t count(std::size_t minSize)
    {
        const std::uint32_t value = u32();
        if (m_ok && value > m_bytes.size() / minSize)
            m_ok = false;
        return m_ok ? value : 0;
    }

private:
    std::string_view m_bytes;
    bool m_ok = true;
};

void writeNodes(Writer &writer, const std::vector<FolderNode> &nodes)
{
    writer.u32(static_cast<std::uint32_t>(nodes.size()));
    for (const FolderNode &node : nodes) {
        writer.text(node.name);
        writeNodes(writer, node.children);
    }
}

bool readNodes(Reader &reader, std::vector<FolderNode> &nodes, int depth)
{
    if (depth > kMaxTreeDepth)
        return false;
    const std::uint32_t count = reader.count(8); // a name's length and its children's count
    nodes.reserve(count);
    for (std::uint32_t i = 0; i < count && reader.ok(); ++i) {
        FolderNode node{reader.text(), {}};
        if (!readNodes(reader, node.children, depth + 1))
            return false;
        nodes.push_back(std::move(node));
    }
    return reader.ok();
}

bool knownType(std::uint8_t type)
{
    using Type = ReaderProtocol::FrameType;
    for (const Type known : {Type::Request, Type::Progress, Type::Names, Type::Tree, Type::Done, Type::Presence,
                             Type::MissingParts, Type::Metafiles, Type::Entries})
        if (type == static_cast<std::uint8_t>(known))
            return true;
    return false;
}

} // namespace

ReaderProtocol::Split ReaderProtocol::split(std::string_view bytes, Frame &frame, std::size_t &frameSize)
{
    if (bytes.size() < kHeaderSize)
        return Split::Incomplete;
    Reader header(bytes.substr(0, kHeaderSize));
    const std::uint32_t length = header.u32();
    const std::uint8_t type = header.u8();
    if (length > kMaxPayload || !knownType(type))
        return Split::Malformed;
    if (bytes.size() - kHeaderSize < length)
        return Split::Incomplete;
    frame.type = static_cast<FrameType>(type);
    frame.payload = bytes.substr(kHeaderSize, length);
    frameSize = kHeaderSize + length;
    return Split::Whole;
}

std::string ReaderProtocol::request(const FolderRequest &request)
{
    Writer writer(FrameType::Request);
    writer.u64(request.id);
    writer.u8(request.readTree ? 1 : 0);
    writer.text(request.treeRoot);
    writer.u8(request.readList ? 1 : 0);
    writer.text(request.listFolder);
    writer.u8(static_cast<std::uint8_t>(request.search.mode()));
    writer.u8(request.search.applied() ? 1 : 0);
    writer.text(request.search.text());
    writer.u8(request.watch ? 1 : 0);
    writer.u32(static_cast<std::uint32_t>(request.watchOnly.size()));
    for (const std::string &folder : request.watchOnly)
        writer.text(folder);
    writer.u32(static_cast<std::uint32_t>(request.checkPaths.size()));
    for (const std::string &path : request.checkPaths)
        writer.text(path);
    writer.u8(request.onlyIfChanged ? 1 : 0);
    writer.stamp(request.listStamp);
    writer.stamp(request.treeStamp);
    writer.u8(request.listAll ? 1 : 0);
    writer.u32(static_cast<std::uint32_t>(request.fileTypes.size()));
    for (const std::string &type : request.fileTypes)
        writer.text(type);
    writer.u8(request.checkPrograms ? 1 : 0);
    writer.text(request.entriesOf);
    writer.u8(request.entriesDepth);
    writer.u8(request.entriesNamedIn ? 1 : 0);
    writer.text(request.entriesHolding);
    writer.text(request.home);
    return writer.finish();
}

std::optional<FolderRequest> ReaderProtocol::readRequest(std::string_view payload)
{
    Reader reader(payload);
    FolderRequest request;
    request.id = reader.u64();
    request.readTree = reader.flag();
    request.treeRoot = reader.text();
    request.readList = reader.flag();
    request.listFolder = reader.text();
    const std::uint8_t mode = reader.u8();
    const bool applied = reader.flag();
    std::string text = reader.text();
    if (mode > 1)
        return std::nullopt;
    if (mode == static_cast<std::uint8_t>(FilterMode::FilterOut))
        request.search.toggleMode();
    if (applied)
        request.search.apply(std::move(text));
    request.watch = reader.flag();
    const std::uint32_t watched = reader.count(4);
    for (std::uint32_t i = 0; i < watched && reader.ok(); ++i)
        request.watchOnly.push_back(reader.text());
    const std::uint32_t checked = reader.count(4);
    for (std::uint32_t i = 0; i < checked && reader.ok(); ++i)
        request.checkPaths.push_back(reader.text());
    request.onlyIfChanged = reader.flag();
    request.listStamp = reader.stamp();
    request.treeStamp = reader.stamp();
    request.listAll = reader.flag();
    const std::uint32_t types = reader.count(4);
    for (std::uint32_t i = 0; i < types && reader.ok(); ++i)
        request.fileTypes.push_back(reader.text());
    request.checkPrograms = reader.flag();
    request.entriesOf = reader.text();
    request.entriesDepth = reader.u8();
    request.entriesNamedIn = reader.flag();
    request.entriesHolding = reader.text();
    request.home = reader.text();
    if (!reader.atEnd())
        return std::nullopt;
    return request;
}

std::string ReaderProtocol::progress(std::uint64_t id, std::uint64_t count)
{
    Writer writer(FrameType::Progress);
    writer.u64(id);
    writer.u64(count);
    return writer.finish();
}

bool ReaderProtocol::readProgress(std::string_view payload, std::uint64_t &id, std::uint64_t &count)
{
    Reader reader(payload);
    id = reader.u64();
    count = reader.u64();
    return reader.atEnd();
}

std::string ReaderProtocol::names(std::uint64_t id, const RomNames &names, std::size_t &first)
{
    Writer writer(FrameType::Names);
    writer.u64(id);
    std::size_t last = first;
    std::size_t bytes = 0;
    // At least one name per frame, however long, so every list ends.
    while (last < names.size() && (last == first || bytes + names[last].size() + 4 <= kNamesFrameBytes)) {
        bytes += names[last].size() + 4;
        ++last;
    }
    writer.u32(static_cast<std::uint32_t>(last - first));
    for (std::size_t i = first; i < last; ++i)
        writer.u32(static_cast<std::uint32_t>(names[i].size()));
    const std::size_t begin = first == 0 ? 0 : names.ends()[first - 1];
    const std::size_t end = last == 0 ? 0 : names.ends()[last - 1];
    writer.raw(std::string_view(names.bytes()).substr(begin, end - begin));
    first = last;
    return writer.finish();
}

bool ReaderProtocol::readNames(std::string_view payload, std::uint64_t &id, RomNames &names)
{
    Reader reader(payload);
    id = reader.u64();
    const std::uint32_t count = reader.count(4);
    std::vector<std::size_t> lengths;
    lengths.reserve(count);
    std::size_t bytes = 0;
    for (std::uint32_t i = 0; i < count && reader.ok(); ++i) {
        lengths.push_back(reader.u32());
        bytes += lengths.back();
    }
    if (!reader.ok() || reader.left() != bytes)
        return false;
    names.append(lengths, reader.rest());
    return true;
}

std::string ReaderProtocol::tree(std::uint64_t id, const FolderTree &tree)
{
    Writer writer(FrameType::Tree);
    writer.u64(id);
    writer.i32(tree.error);
    writer.u8(tree.cut ? 1 : 0);
    writeNodes(writer, tree.folders);
    writer.u32(static_cast<std::uint32_t>(tree.unanswered.size()));
    for (const std::string &path : tree.unanswered)
        writer.text(path);
    return writer.finish();
}

bool ReaderProtocol::readTree(std::string_view payload, std::uint64_t &id, FolderTree &tree)
{
    Reader reader(payload);
    id = reader.u64();
    tree = FolderTree{};
    tree.error = reader.i32();
    tree.cut = reader.flag();
    const bool nodesRead = readNodes(reader, tree.folders, 0);
    const std::uint32_t unanswered = reader.count(4);
    for (std::uint32_t i = 0; i < unanswered && reader.ok(); ++i)
        tree.unanswered.push_back(reader.text());
    if (!nodesRead || !reader.ok() || !reader.atEnd()) {
        tree = FolderTree{};
        return false;
    }
    return true;
}

std::string ReaderProtocol::done(const Done &done)
{
    Writer writer(FrameType::Done);
    writer.u64(done.id);
    writer.u8(done.hasTree ? 1 : 0);
    writer.u8(done.hasList ? 1 : 0);
    writer.i32(done.listError);
    writer.u8(done.watches);
    writer.u8(done.hasCheck ? 1 : 0);
    writer.u8(done.hasEntries ? 1 : 0);
    writer.stamp(done.stamp);
    writer.u8(static_cast<std::uint8_t>((done.unchanged ? 1 : 0) | (done.tellsChanges ? 2 : 0) |
                                        (done.watchRefused ? 4 : 0) | (done.sheetsPending ? 8 : 0) |
                                        (done.treePending ? 16 : 0)));
    return writer.finish();
}

std::optional<ReaderProtocol::Done> ReaderProtocol::readDone(std::string_view payload)
{
    Reader reader(payload);
    Done done;
    done.id = reader.u64();
    done.hasTree = reader.flag();
    done.hasList = reader.flag();
    done.listError = reader.i32();
    done.watches = reader.u8();
    done.hasCheck = reader.flag();
    done.hasEntries = reader.flag();
    done.stamp = reader.stamp();
    const std::uint8_t flags = reader.u8();
    done.unchanged = (flags & 1) != 0;
    done.tellsChanges = (flags & 2) != 0;
    done.watchRefused = (flags & 4) != 0;
    done.sheetsPending = (flags & 8) != 0;
    done.treePending = (flags & 16) != 0;
    if (!reader.atEnd() || flags > 31 || done.watches > (TreeWatch | ListWatch | OnlyWatch | CheckWatch))
        return std::nullopt;
    return done;
}

std::string ReaderProtocol::presence(std::uint64_t id, const std::vector<std::uint8_t> &present)
{
    Writer writer(FrameType::Presence);
    writer.u64(id);
    writer.u32(static_cast<std::uint32_t>(present.size()));
    for (const std::uint8_t there : present)
        writer.u8(there != 0 ? 1 : 0);
    return writer.finish();
}

bool ReaderProtocol::readPresence(std::string_view payload, std::uint64_t &id, std::vector<std::uint8_t> &present)
{
    Reader reader(payload);
    id = reader.u64();
    const std::uint32_t count = reader.count(1);
    present.clear();
    present.reserve(count);
    for (std::uint32_t i = 0; i < count && reader.ok(); ++i)
        present.push_back(reader.flag() ? 1 : 0);
    return reader.atEnd();
}

std::string ReaderProtocol::missingParts(std::uint64_t id, const MissingParts &parts)
{
    std::size_t count = 0;
    for (std::size_t bytes = 0; count < parts.size(); ++count) {
        bytes += parts[count].first.size() + parts[count].second.size() + 8;
        if (bytes > kNamesFrameBytes)
            break;
    }
    Writer writer(FrameType::MissingParts);
    writer.u64(id);
    writer.u32(static_cast<std::uint32_t>(count));
    for (std::size_t i = 0; i < count; ++i) {
        writer.text(parts[i].first);
        writer.text(parts[i].second);
    }
    return writer.finish();
}

bool ReaderProtocol::readMissingParts(std::string_view payload, std::uint64_t &id, MissingParts &parts)
{
    Reader reader(payload);
    id = reader.u64();
    const std::uint32_t count = reader.count(8);
    parts.clear();
    for (std::uint32_t i = 0; i < count && reader.ok(); ++i) {
        std::string sheet = reader.text();
        parts.emplace_back(std::move(sheet), reader.text());
    }
    return reader.atEnd();
}

std::string ReaderProtocol::metafiles(std::uint64_t id, const std::vector<std::string> &names)
{
    std::size_t count = 0;
    for (std::size_t bytes = 0; count < names.size(); ++count) {
        bytes += names[count].size() + 4;
        if (bytes > kNamesFrameBytes)
            break;
    }
    Writer writer(FrameType::Metafiles);
    writer.u64(id);
    writer.u32(static_cast<std::uint32_t>(count));
    for (std::size_t i = 0; i < count; ++i)
        writer.text(names[i]);
    return writer.finish();
}

bool ReaderProtocol::readMetafiles(std::string_view payload, std::uint64_t &id, std::vector<std::string> &names)
{
    Reader reader(payload);
    id = reader.u64();
    const std::uint32_t count = reader.count(4);
    names.clear();
    for (std::uint32_t i = 0; i < count && reader.ok(); ++i)
        names.push_back(reader.text());
    return reader.atEnd();
}

std::string ReaderProtocol::entries(std::uint64_t id, const FolderEntries &folder, std::size_t &first)
{
    Writer writer(FrameType::Entries);
    writer.u64(id);
    writer.u8(first == 0 ? 0 : 1); // goes on with the folder of the frame before
    writer.text(folder.folder);
    writer.i32(folder.error);
    writer.stamp(folder.stamp);
    std::size_t last = first;
    for (std::size_t bytes = 0; last < folder.entries.size(); ++last) {
        bytes += folder.entries[last].name.size() + 5;
        if (last > first && bytes > kNamesFrameBytes)
            break;
    }
    writer.u32(static_cast<std::uint32_t>(last - first));
    for (std::size_t i = first; i < last; ++i) {
        const DirectoryEntry &entry = folder.entries[i];
        writer.text(entry.name);
        writer.u8(static_cast<std::uint8_t>((entry.isDirectory ? 1 : 0) | (entry.isLink ? 2 : 0)));
    }
    first = std::max(last, std::size_t{1});
    return writer.finish();
}

bool ReaderProtocol::readEntries(std::string_view payload, std::uint64_t &id, std::vector<FolderEntries> &folders)
{
    Reader reader(payload);
    id = reader.u64();
    const bool goesOn = reader.flag();
    FolderEntries read;
    read.folder = reader.text();
    read.error = reader.i32();
    read.stamp = reader.stamp();
    const std::uint32_t count = reader.count(5);
    read.entries.reserve(count);
    for (std::uint32_t i = 0; i < count && reader.ok(); ++i) {
        DirectoryEntry entry;
        entry.name = reader.text();
        const std::uint8_t type = reader.u8();
        entry.isDirectory = (type & 1) != 0;
        entry.isLink = (type & 2) != 0;
        if (type > 3)
            return false;
        read.entries.push_back(std::move(entry));
    }
    if (!reader.atEnd())
        return false;
    if (!goesOn) {
        folders.push_back(std::move(read));
        return true;
    }
    if (folders.empty() || folders.back().folder != read.folder)
        return false;
    std::move(read.entries.begin(), read.entries.end(), std::back_inserter(folders.back().entries));
    return true;
}

} // namespace marlit
