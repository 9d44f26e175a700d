#include "core/catalogue/CatalogueFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

// Any bytes must parse, and what was parsed must survive a write and a second read unchanged:
// every normalisation of the reader (leading spaces, folder separators, the emulator split, the
// "@" prefix) is already applied the first time, so writing never shifts a value.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using marlit::CatalogueFile;
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    const marlit::CategoryCatalogue first = CatalogueFile::parse(bytes);
    const marlit::CategoryCatalogue second = CatalogueFile::parse(CatalogueFile::serialize(first));
    if (!(second == first)) {
        std::fprintf(stderr, "catalogue changed on a write and reread: %d entries became %d\n", first.size(),
                     second.size());
        std::abort();
    }
    return 0;
}
