#include "core/app/SettingsFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

std::string_view viewOf(const marlit::SettingsFile::Record &record)
{
    return {reinterpret_cast<const char *>(record.data()), record.size()};
}

} // namespace

// Any bytes must parse. A reread record is not always equal to the first reading (a size out of
// 0..999 or a face too long for the record is stored as close as the record allows), but once
// written, a record must write back byte for byte.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using marlit::SettingsFile;
    const marlit::SettingsRecord first = SettingsFile::parse({reinterpret_cast<const char *>(data), size});
    const SettingsFile::Record written = SettingsFile::serialize(first);
    const SettingsFile::Record rewritten = SettingsFile::serialize(SettingsFile::parse(viewOf(written)));
    if (viewOf(written) != viewOf(rewritten)) {
        std::fprintf(stderr, "settings record changed on a reread and rewrite\n");
        std::abort();
    }
    return 0;
}
