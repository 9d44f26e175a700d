#pragma once

#include <string>

namespace marlit::test {

// The 128 bytes of a marlit.cfg, written field by field as the tests want them, independently of
// the program's own writer.
struct SettingsBytes
{
    bool rememberSize = true;
    bool rememberSystem = true;
    int snapshotMode = 0;
    int width = 800;
    int height = 600;
    int category = 0;
    int system = 0;

    std::string bytes() const
    {
        std::string bytes(128, '\0');
        bytes[0] = rememberSize ? 1 : 0;
        bytes[1] = rememberSystem ? 1 : 0;
        bytes[2] = static_cast<char>(snapshotMode);
        bytes[3] = static_cast<char>(width >> 8);
        bytes[4] = static_cast<char>(width & 0xFF);
        bytes[5] = static_cast<char>(height >> 8);
        bytes[6] = static_cast<char>(height & 0xFF);
        bytes[7] = static_cast<char>(category);
        bytes[8] = static_cast<char>(system);
        bytes.replace(9, 3, "120");
        bytes.replace(12, 8, "00000000");
        bytes.replace(20, 5, "Arial");
        return bytes;
    }
};

} // namespace marlit::test
