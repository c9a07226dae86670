// Fuzz target for battle data files: any bytes are read without a memory
// fault, and every file the reader accepts writes out (as --dump-data does)
// to a text that reads back to the same catalogue and the same text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>

#include "app/battle_data_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    nlohmann::ordered_json document;
    std::string error;
    BattleCatalog catalog;
    if (!ParseDataText(text, "input", &document, &error) || !CatalogFromDocument(document, "input", &catalog, &error))
        return 0;
    nlohmann::ordered_json written;
    if (!DocumentFromCatalog(catalog, &written, &error))
        std::abort();  // an accepted catalogue must be writable
    const std::string dump = DataFileText(written);
    nlohmann::ordered_json again;
    BattleCatalog reread;
    nlohmann::ordered_json rewritten;
    if (!ParseDataText(dump, "dump", &again, &error) || !CatalogFromDocument(again, "dump", &reread, &error) ||
        !DocumentFromCatalog(reread, &rewritten, &error) || DataFileText(rewritten) != dump)
        std::abort();  // the dump must read back to itself
    return 0;
}
