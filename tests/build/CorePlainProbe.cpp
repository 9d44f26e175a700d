// Compiled with the core's flags by the layering check, which expects it to succeed: the failure
// of the Qt probe beside it must come from the missing Qt header, not from a broken setup.
#include "core/catalogue/CatalogueFile.h"
#include "core/fs/SafeFile.h"

int main()
{
    return marlit::SafeFile::readAll("/nonexistent-marlit-probe") ? 1 : 0;
}
