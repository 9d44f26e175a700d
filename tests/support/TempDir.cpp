#include "TempDir.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace marlit::test {

TempDir::TempDir()
{
    std::string pattern = (fs::temp_directory_path() / "marlit-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder");
    m_path = pattern + "/";
}

TempDir::~TempDir()
{
    std::error_code error;
    // Tests may leave read-only files and folders behind; make them removable first.
    for (auto it = fs::recursive_directory_iterator(m_path, fs::directory_options::skip_permission_denied, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (!it->is_symlink(error))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
    }
    fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, error);
    fs::remove_all(m_path, error);
}

void TempDir::write(std::string_view relative, std::string_view bytes) const
{
    const fs::path target = fs::path(m_path) / fs::path(std::string(relative));
    fs::create_directories(target.parent_path());
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void TempDir::makeFolder(std::string_view relative) const
{
    fs::create_directories(fs::path(m_path) / fs::path(std::string(relative)));
}

std::string TempDir::read(std::string_view relative) const
{
    std::ifstream in(fs::path(m_path) / fs::path(std::string(relative)), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool TempDir::exists(std::string_view relative) const
{
    std::error_code error;
    return fs::exists(fs::path(m_path) / fs::path(std::string(relative)), error);
}

std::vector<std::string> TempDir::names(std::string_view relative) const
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto &item : fs::directory_iterator(fs::path(m_path) / fs::path(std::string(relative)), error))
        names.push_back(item.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace marlit::test
