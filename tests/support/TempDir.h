#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace marlit::test {

// A fresh folder under the system's temporary folder, removed with everything in it when the
// object goes. path() ends with the path separator, as the program's folder paths do.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::string &path() const { return m_path; }
    std::string file(std::string_view relative) const { return m_path + std::string(relative); }

    // Writes bytes to a file below the folder, creating missing parent folders.
    void write(std::string_view relative, std::string_view bytes = {}) const;
    void makeFolder(std::string_view relative) const;
    std::string read(std::string_view relative) const;
    bool exists(std::string_view relative) const;
    // Every name in the folder, or in a folder below it, sorted: to see that nothing was left.
    std::vector<std::string> names(std::string_view relative = {}) const;

private:
    std::string m_path;
};

} // namespace marlit::test
