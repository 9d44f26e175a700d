#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

namespace marlit {

// The pictures of media folders by kind and by the ROM they belong to, named by the ROM's path in
// its ROM folder less the extension ("Zelda", "Europe/Zelda"). Built once from folder listings;
// a look-up costs no file system access.
class MediaIndex
{
public:
    // Keeps the first picture given for a kind and ROM.
    void add(const std::string &kind, std::string romStem, std::string path);
    // The picture of kind for the ROM; empty when there is none.
    const std::string &find(const std::string &kind, std::string_view romStem) const;
    // Takes over what other has that this index has not.
    void merge(const MediaIndex &other);
    std::size_t size() const { return m_size; }

    // Whether a file name is a picture's: .png, .jpg, .jpeg, .gif, .bmp or .webp in any case.
    static bool isPictureName(std::string_view name);
    // The kinds the EmulationStation family's media folders have.
    static bool isKnownKind(std::string_view folderName);

private:
    std::unordered_map<std::string, std::unordered_map<std::string, std::string>> m_kinds;
    std::size_t m_size = 0;
};

} // namespace marlit
