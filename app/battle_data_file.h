// Battle data files: the catalogue of pilots, machine types and squads as
// JSON, read strictly (every field present, no unknown or repeated keys,
// every number within its field's range), with texts in UTF-8 held as
// Shift-JIS. docs/BATTLE_DATA.md describes the format.
#pragma once

#include <nlohmann/json_fwd.hpp>

#include <string>

#include "app/battle_data.h"

// Reads a file as a JSON document. False, with "FILE:LINE:COLUMN: ..." for a
// syntax error or "FILE: ..." otherwise, when it cannot be read or parsed.
bool ReadDataDocument(const std::string& path, nlohmann::ordered_json* document, std::string* error);
// The same for a file's text; `path` names it in messages.
bool ParseDataText(const std::string& text, const std::string& path, nlohmann::ordered_json* document,
                   std::string* error);

// Checks a document and builds its catalogue. False, with "FILE: /json/pointer:
// what is wrong", when a value is missing, unknown or out of range.
bool CatalogFromDocument(const nlohmann::ordered_json& document, const std::string& fileName, BattleCatalog* catalog,
                         std::string* error);

// Both steps.
bool LoadBattleDataFile(const std::string& path, BattleCatalog* catalog, std::string* error);

// The catalogue as a document; the machine positions of its squads must hold
// copies of its machine types, each with an empty pilot or one of its pilots.
bool DocumentFromCatalog(const BattleCatalog& catalog, nlohmann::ordered_json* document, std::string* error);
// The document's text: two-space indents, arrays of numbers on one line, UTF-8.
std::string DataFileText(const nlohmann::ordered_json& document);
