#include "XmlParseFloor.h"

#include "BenchSupport.h"

#include <pugixml.hpp>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
#include <thread>

namespace marlit::bench {

namespace {

constexpr std::size_t kPieceBytes = 256u << 10;
constexpr std::size_t kArenaBytes = 64u << 20; // far more than the nodes of one piece
constexpr std::string_view kGameEnd = "</game>";

} // namespace

// Touched once: no page is fetched while timed.
struct XmlParseFloor::Arena
{
    Arena() : memory(new char[kArenaBytes]) { std::memset(memory.get(), 1, kArenaBytes); }

    std::unique_ptr<char[]> memory;
    std::size_t used = 0;
};

namespace {

thread_local XmlParseFloor::Arena *t_arena = nullptr; // the calling thread's; else malloc's

void *allocate(std::size_t size)
{
    XmlParseFloor::Arena *arena = t_arena;
    size = (size + 63) & ~std::size_t{63};
    if (!arena || arena->used + size > kArenaBytes)
        return std::malloc(size);
    void *at = arena->memory.get() + arena->used;
    arena->used += size;
    return at;
}

void deallocate(void *pointer)
{
    const XmlParseFloor::Arena *arena = t_arena;
    if (!arena || pointer < arena->memory.get() || pointer >= arena->memory.get() + kArenaBytes)
        std::free(pointer);
}

void parseHalf(char *buffer, std::size_t at, std::size_t end, XmlParseFloor::Look look, XmlParseFloor::Arena &arena,
               std::size_t &sink)
{
    t_arena = &arena;
    const std::string_view bytes(buffer, end);
    constexpr unsigned kFlags =
        pugi::parse_cdata | pugi::parse_escapes | pugi::parse_eol | pugi::parse_embed_pcdata | pugi::parse_fragment;
    while (at < end) {
        std::size_t cut = end;
        if (end - at > 2 * kPieceBytes) {
            const std::size_t gameEnd = bytes.find(kGameEnd, at + kPieceBytes);
            cut = gameEnd < end ? gameEnd + kGameEnd.size() : end;
        }
        arena.used = 0;
        pugi::xml_document piece;
        piece.load_buffer_inplace(buffer + at, cut - at, kFlags, pugi::encoding_utf8);
        if (look == XmlParseFloor::Look::EveryElement)
            for (const pugi::xml_node &game : piece.children("game"))
                for (const pugi::xml_node &field : game.children())
                    sink += static_cast<unsigned char>(field.name()[0]) + std::strlen(field.child_value());
        at = cut;
    }
    t_arena = nullptr;
}

} // namespace

XmlParseFloor::XmlParseFloor() : m_first(std::make_unique<Arena>()), m_second(std::make_unique<Arena>())
{
}

XmlParseFloor::~XmlParseFloor() = default;

double XmlParseFloor::measure(const std::string &xml, Look look)
{
    const std::string_view bytes(xml);
    const std::size_t start = bytes.find("<gameList>") + std::string_view("<gameList>").size();
    const std::size_t close = bytes.rfind("</gameList>");
    const std::size_t gameEnd = bytes.find(kGameEnd, start + (close - start) / 2);
    const std::size_t middle = gameEnd < close ? gameEnd + kGameEnd.size() : close;

    m_buffer.assign(xml); // parsed in place; its memory at hand after the first time
    std::size_t firstSink = 0;
    std::size_t secondSink = 0;

    const pugi::allocation_function oldAllocate = pugi::get_memory_allocation_function();
    const pugi::deallocation_function oldDeallocate = pugi::get_memory_deallocation_function();
    pugi::set_memory_management_functions(allocate, deallocate);
    const auto started = std::chrono::steady_clock::now();
    std::thread secondHalf([&] { parseHalf(m_buffer.data(), middle, close, look, *m_second, secondSink); });
    parseHalf(m_buffer.data(), start, middle, look, *m_first, firstSink);
    secondHalf.join();
    const double ms = elapsedMs(started);
    pugi::set_memory_management_functions(oldAllocate, oldDeallocate);
    // What was looked at is used, so that the look is not left out by the compiler.
    if (firstSink + secondSink == 1)
        std::abort();
    return ms;
}

} // namespace marlit::bench
