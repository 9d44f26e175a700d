#pragma once

#include <memory>
#include <string>

namespace marlit::bench {

// The least a reader of a big gamelist.xml can cost with pugixml on this machine: the list's
// games parsed in place in pieces of 256 KB, its halves on two threads, as the program cuts them,
// with nothing else done. Its memory comes from arenas touched before (pugixml's pages are free
// and never handed back to the system), so the figure is a floor, not what a program pays.
class XmlParseFloor
{
public:
    XmlParseFloor();
    ~XmlParseFloor();
    XmlParseFloor(const XmlParseFloor &) = delete;
    XmlParseFloor &operator=(const XmlParseFloor &) = delete;

    enum class Look {
        Nothing,      // the parse alone
        EveryElement, // and each game's elements' names and the length of their text, as any reader
    };

    // Milliseconds to parse xml (a copy of it, made beforehand) as above; xml holds a <gameList>.
    // No other thread may use pugixml meanwhile: its allocator is the arenas' while it runs.
    double measure(const std::string &xml, Look look);

    struct Arena; // a thread's memory for pugixml while it measures

private:
    std::unique_ptr<Arena> m_first;
    std::unique_ptr<Arena> m_second;
    std::string m_buffer;
};

} // namespace marlit::bench
