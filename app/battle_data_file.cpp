#include "app/battle_data_file.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "app/shift_jis_text.h"
#include "media/platform/file.h"

using Json = nlohmann::ordered_json;

namespace {

constexpr int DataFormatVersion = 1;
// The machine positions a file may fill: the log numbers machine k of squad s
// 3 * s + k + 1, so positions 3 and 4 would share numbers with the next squad.
constexpr int FileMachinesPerSquad = 3;
constexpr size_t LongestText = 255;
// Far above the largest catalogue (1000 pilots, 1000 machine types of 5
// weapons, spelled out generously): what is larger is no battle data file
// (/dev/zero, a disk image named by mistake).
constexpr size_t LargestDataFile = size_t(64) << 20;

// Ranges that keep every sum and product of the battle rules inside 32 bits
// and every loop short (a weapon's attacks are shots per turn).
struct Range {
    int64_t low, high;
};
constexpr Range Flag{0, 1};
constexpr Range Byte{0, 255};
constexpr Range Modifier{-10000, 10000};
constexpr Range Amount{0, 10000};
constexpr Range PilotValue{-1000, 1000};
constexpr Range Attacks{0, 100};
constexpr Range Durability{1, 10000};
constexpr Range Kind{0, 100};
constexpr Range Number{0, INT32_MAX};
constexpr Range TypeNumber{1, INT32_MAX};
constexpr Range Situation{0, SituationCount - 1};

struct DataError {
    std::string message;
};

std::string EscapePointerToken(const std::string& token)
{
    std::string escaped;
    for (char c : token) {
        if (c == '~')
            escaped += "~0";
        else if (c == '/')
            escaped += "~1";
        else
            escaped += c;
    }
    return escaped;
}

// Follows the parser's events to know where it is, and refuses an object key
// that appears twice (the parser itself would keep the last value).
class DuplicateKeyCheck {
public:
    bool operator()(int, Json::parse_event_t event, Json& parsed)
    {
        using Event = Json::parse_event_t;
        switch (event) {
        case Event::object_start:
        case Event::array_start:
            frames_.push_back(Frame{event == Event::object_start, {}, {}, 0});
            break;
        case Event::key: {
            Frame& frame = frames_.back();
            frame.key = parsed.get<std::string>();
            if (!frame.keys.insert(frame.key).second)
                throw DataError{Pointer() + ": the key \"" + frame.key + "\" appears twice"};
            break;
        }
        case Event::value:
            Advance();
            break;
        case Event::object_end:
        case Event::array_end:
            frames_.pop_back();
            Advance();
            break;
        }
        return true;
    }

private:
    struct Frame {
        bool object;
        std::set<std::string> keys;
        std::string key;
        size_t index;
    };

    void Advance()
    {
        if (!frames_.empty() && !frames_.back().object)
            ++frames_.back().index;
    }

    std::string Pointer() const
    {
        std::string pointer;
        for (const Frame& frame : frames_)
            pointer += "/" + (frame.object ? EscapePointerToken(frame.key) : std::to_string(frame.index));
        return pointer;
    }

    std::vector<Frame> frames_;
};

// "at line 3, column 14: syntax error ..." from the parser's message, as "3:14: syntax error ...".
std::string SyntaxMessage(const std::string& what)
{
    const size_t line = what.find("at line ");
    const size_t column = what.find(", column ", line == std::string::npos ? 0 : line);
    const size_t colon = what.find(": ", column == std::string::npos ? 0 : column);
    std::string message = line == std::string::npos || column == std::string::npos || colon == std::string::npos
                              ? what
                              : what.substr(line + 8, column - line - 8) + ":" +
                                    what.substr(column + 9, colon - column - 9) + ": " + what.substr(colon + 2);
    // Hints for what a person most often does wrong in a JSON file.
    const size_t quoted = what.find("last read: '");
    const size_t quoteEnd = quoted == std::string::npos ? std::string::npos : what.find("'", quoted + 12);
    if (what.find("ill-formed UTF-8") != std::string::npos)
        message += " (a battle data file is UTF-8)";
    else if (quoteEnd != std::string::npos && quoteEnd > quoted + 12 && what[quoteEnd - 1] == '/')
        message += " (JSON has no comments)";
    // The parser quotes what it read last, which may be any bytes: keep the message printable.
    std::string printable;
    for (unsigned char c : message) {
        char escaped[5];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
        printable += c >= 0x20 && c < 0x7F ? std::string(1, char(c)) : std::string(escaped);
    }
    return printable;
}

// Line and column (from 1) of a byte offset.
std::string Place(const std::string& text, size_t offset)
{
    size_t line = 1, lineStart = 0;
    for (size_t i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
    }
    return std::to_string(line) + ":" + std::to_string(offset - lineStart + 1);
}

// ------------------------------------------------------------------ reading

class Reader {
public:
    explicit Reader(const std::string& fileName) : fileName_(fileName) {}

    [[noreturn]] void Fail(const std::string& pointer, const std::string& what) const
    {
        throw DataError{fileName_ + ": " + (pointer.empty() ? "the document" : pointer) + ": " + what};
    }

    // An object holding exactly these fields (those after a null are optional).
    void Fields(const Json& value, const std::string& pointer, std::initializer_list<const char*> fields) const
    {
        if (!value.is_object())
            Fail(pointer, "must be an object, is " + std::string(value.type_name()));
        std::set<std::string> known;
        bool optional = false;
        for (const char* field : fields) {
            if (!field) {
                optional = true;
                continue;
            }
            known.insert(field);
            if (!optional && !value.contains(field))
                Fail(pointer, std::string("the field \"") + field + "\" is missing");
        }
        for (auto it = value.begin(); it != value.end(); ++it) {
            if (!known.count(it.key()))
                Fail(pointer + "/" + EscapePointerToken(it.key()), "unknown field");
        }
    }

    const Json& Array(const Json& value, const std::string& pointer, size_t least, size_t most) const
    {
        if (!value.is_array())
            Fail(pointer, "must be an array, is " + std::string(value.type_name()));
        if (value.size() < least || value.size() > most)
            Fail(pointer, "holds " + std::to_string(value.size()) + " entries, must hold " +
                              (least == most ? std::to_string(least)
                                             : std::to_string(least) + " to " + std::to_string(most)));
        return value;
    }

    int64_t Integer(const Json& value, const std::string& pointer, Range range) const
    {
        std::string bounds = "(";
        bounds += std::to_string(range.low);
        bounds += " to ";
        bounds += std::to_string(range.high);
        bounds += ')';
        if (value.is_number_unsigned()) {
            if (value.get<uint64_t>() > uint64_t(range.high))
                Fail(pointer, value.dump() + " is out of range " + bounds);
        } else if (value.is_number_float() && std::floor(value.get<double>()) == value.get<double>()) {
            // 70.0, 1e2 or 2^64: a whole value, written as a fraction.
            const double number = value.get<double>();
            if (number < double(range.low) || number > double(range.high))
                Fail(pointer, value.dump() + " is out of range " + bounds);
            Fail(pointer, "must be written as a whole number without a point or exponent (" +
                              std::to_string(int64_t(number)) + "), is " + value.dump());
        } else if (!value.is_number_integer()) {
            Fail(pointer, "must be a whole number " + bounds + ", is " +
                              (value.is_number() ? value.dump() : std::string(value.type_name())));
        }
        const int64_t number = value.get<int64_t>();
        if (number < range.low || number > range.high)
            Fail(pointer, std::to_string(number) + " is out of range " + bounds);
        return number;
    }

    template <size_t N, typename T>
    void Numbers(const Json& value, const std::string& pointer, Range range, std::array<T, N>* out) const
    {
        Array(value, pointer, N, N);
        for (size_t i = 0; i < N; ++i)
            (*out)[i] = T(Integer(value[i], pointer + "/" + std::to_string(i), range));
    }

    std::string Text(const Json& value, const std::string& pointer, bool needed) const
    {
        if (!value.is_string())
            Fail(pointer, "must be a text, is " + std::string(value.type_name()));
        // A line break would split the log's line, a zero byte end the name early.
        for (unsigned char c : value.get<std::string>()) {
            if (c < 0x20 || c == 0x7F) {
                char code[8];
                std::snprintf(code, sizeof code, "U+%04X", c);
                Fail(pointer, std::string("holds the control character ") + code + " (a name is one line of text)");
            }
        }
        std::string shiftJis;
        if (!Utf8ToShiftJis(value.get<std::string>(), &shiftJis)) {
            // Text saved decomposed (NFD, as macOS names files) writes ヴ as ウ and a
            // combining mark: it looks right and has no Shift-JIS form.
            const std::string& text = value.get_ref<const std::string&>();
            const bool combining = text.find("\xE3\x82\x99") != std::string::npos ||
                                   text.find("\xE3\x82\x9A") != std::string::npos;
            Fail(pointer, value.dump() + " cannot be written in Shift-JIS" +
                              (combining ? " (it holds a combining sound mark, U+3099 or U+309A: write the kana "
                                           "with its mark as one character, NFC)"
                                         : ""));
        }
        if (needed && shiftJis.empty())
            Fail(pointer, "must not be empty");
        if (shiftJis.size() > LongestText)
            Fail(pointer, "is " + std::to_string(shiftJis.size()) + " bytes long in Shift-JIS, at most " +
                              std::to_string(LongestText));
        return shiftJis;
    }

private:
    std::string fileName_;
};

WeaponSlot ReadWeapon(const Reader& reader, const Json& value, const std::string& at)
{
    reader.Fields(value, at, {"name", "kind", "damage", "attacks", "accuracy", "minRange", "maxRange", "marks"});
    WeaponSlot weapon;
    weapon.name = reader.Text(value["name"], at + "/name", false);
    weapon.kind = int32_t(reader.Integer(value["kind"], at + "/kind", Kind));
    weapon.damage = int32_t(reader.Integer(value["damage"], at + "/damage", Amount));
    weapon.attacks = int32_t(reader.Integer(value["attacks"], at + "/attacks", Attacks));
    weapon.accuracy = int32_t(reader.Integer(value["accuracy"], at + "/accuracy", Modifier));
    weapon.minRange = int32_t(reader.Integer(value["minRange"], at + "/minRange", Amount));
    weapon.maxRange = int32_t(reader.Integer(value["maxRange"], at + "/maxRange", Amount));
    reader.Numbers(value["marks"], at + "/marks", Byte, &weapon.marks);
    return weapon;
}

Machine ReadMachine(const Reader& reader, const Json& value, const std::string& at)
{
    reader.Fields(value, at,
                  {"typeId", "name", "auxName", "durability", "agility", "fuel", "fuelUse", "hasShield", "skillCap",
                   "evasionBySituation", "accuracyBySituation", "weapons"});
    Machine machine;
    machine.typeId = int32_t(reader.Integer(value["typeId"], at + "/typeId", TypeNumber));
    machine.name = reader.Text(value["name"], at + "/name", true);
    machine.auxName = reader.Text(value["auxName"], at + "/auxName", false);
    machine.durability = int32_t(reader.Integer(value["durability"], at + "/durability", Durability));
    machine.maxDurability = machine.durability;
    machine.agility = int32_t(reader.Integer(value["agility"], at + "/agility", Modifier));
    machine.fuel = int32_t(reader.Integer(value["fuel"], at + "/fuel", Amount));
    machine.fuelUse = int32_t(reader.Integer(value["fuelUse"], at + "/fuelUse", Amount));
    machine.hasShield = uint8_t(reader.Integer(value["hasShield"], at + "/hasShield", Flag));
    machine.skillCap = int32_t(reader.Integer(value["skillCap"], at + "/skillCap", Amount));
    reader.Numbers(value["evasionBySituation"], at + "/evasionBySituation", Modifier, &machine.evasionBySituation);
    reader.Numbers(value["accuracyBySituation"], at + "/accuracyBySituation", Modifier,
                   &machine.accuracyBySituation);
    const Json& weapons = reader.Array(value["weapons"], at + "/weapons", 0, WeaponSlotCount);
    for (size_t slot = 0; slot < weapons.size(); ++slot)
        machine.weapons[slot] = ReadWeapon(reader, weapons[slot], at + "/weapons/" + std::to_string(slot));
    return machine;
}

Pilot ReadPilot(const Reader& reader, const Json& value, const std::string& at)
{
    reader.Fields(value, at, {"id", "name", "stats"});
    Pilot pilot;
    pilot.id = int32_t(reader.Integer(value["id"], at + "/id", Number));
    pilot.name = reader.Text(value["name"], at + "/name", true);
    reader.Numbers(value["stats"], at + "/stats", PilotValue, &pilot.stats);
    return pilot;
}

// The index of the entry with this name; fails naming the reference when there is none.
template <typename T>
size_t FindByName(const Reader& reader, const std::vector<T>& entries, const std::string& name,
                  const std::string& at, const char* what)
{
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].name == name)
            return i;
    }
    std::string utf8;
    ShiftJisToUtf8Strict(name, &utf8);
    reader.Fail(at, std::string("no ") + what + " is named \"" + utf8 + "\"");
}

template <typename T>
void RefuseRepeatedNames(const Reader& reader, const std::vector<T>& entries, const std::string& at)
{
    for (size_t i = 0; i < entries.size(); ++i) {
        for (size_t j = 0; j < i; ++j) {
            if (entries[i].name == entries[j].name)
                reader.Fail(at + "/" + std::to_string(i) + "/name",
                            "the name is also that of entry " + std::to_string(j) + " (squads name them)");
        }
    }
}

Squad ReadSquad(const Reader& reader, const Json& value, const std::string& at, const BattleCatalog& catalog)
{
    reader.Fields(value, at, {"typeId", "evasionBonusOff", "machines"});
    Squad squad;
    squad.typeId = int32_t(reader.Integer(value["typeId"], at + "/typeId", TypeNumber));
    squad.evasionBonusOff = uint8_t(reader.Integer(value["evasionBonusOff"], at + "/evasionBonusOff", Flag));
    const std::string machinesAt = at + "/machines";
    const Json& machines = value["machines"];
    if (machines.is_array() && machines.size() > size_t(FileMachinesPerSquad))
        reader.Fail(machinesAt + "/" + std::to_string(FileMachinesPerSquad),
                    "a squad holds at most 3 machines (positions 3 and 4 would share the log's machine numbers "
                    "with the next squad)");
    reader.Array(machines, machinesAt, 1, FileMachinesPerSquad);
    for (size_t k = 0; k < machines.size(); ++k) {
        const std::string place = machinesAt + "/" + std::to_string(k);
        reader.Fields(machines[k], place, {"machine", nullptr, "pilot"});
        const std::string name = reader.Text(machines[k]["machine"], place + "/machine", true);
        Machine& machine = squad.machines[k];
        machine = catalog.machines[FindByName(reader, catalog.machines, name, place + "/machine", "machine")];
        if (machines[k].contains("pilot")) {
            const std::string pilot = reader.Text(machines[k]["pilot"], place + "/pilot", true);
            machine.pilot = catalog.pilots[FindByName(reader, catalog.pilots, pilot, place + "/pilot", "pilot")];
        }
    }
    return squad;
}

BattleCatalog ReadCatalog(const Reader& reader, const Json& document)
{
    reader.Fields(document, "", {"version", "armies", "pilots", "machines", "squads"});
    if (reader.Integer(document["version"], "/version", Number) != DataFormatVersion)
        reader.Fail("/version", "this program reads version " + std::to_string(DataFormatVersion));
    BattleCatalog catalog;
    const Json& armies = reader.Array(document["armies"], "/armies", 2, 2);
    for (size_t a = 0; a < 2; ++a) {
        const std::string at = "/armies/" + std::to_string(a);
        reader.Fields(armies[a], at, {"evasionBonus", "situation"});
        catalog.armies[a].evasionBonus = int32_t(reader.Integer(armies[a]["evasionBonus"], at + "/evasionBonus", Modifier));
        catalog.armies[a].situation = int32_t(reader.Integer(armies[a]["situation"], at + "/situation", Situation));
    }
    const Json& pilots = reader.Array(document["pilots"], "/pilots", 0, 1000);
    for (size_t i = 0; i < pilots.size(); ++i)
        catalog.pilots.push_back(ReadPilot(reader, pilots[i], "/pilots/" + std::to_string(i)));
    RefuseRepeatedNames(reader, catalog.pilots, "/pilots");
    const Json& machines = reader.Array(document["machines"], "/machines", 1, 1000);
    for (size_t i = 0; i < machines.size(); ++i)
        catalog.machines.push_back(ReadMachine(reader, machines[i], "/machines/" + std::to_string(i)));
    RefuseRepeatedNames(reader, catalog.machines, "/machines");
    const Json& squads = document["squads"];
    if (squads.is_array() && squads.size() > size_t(MostCatalogSquads))
        reader.Fail("/squads", "holds " + std::to_string(squads.size()) + " squads, at most " +
                                   std::to_string(MostCatalogSquads) +
                                   " (the preparation screen's lists have room for no more)");
    reader.Array(squads, "/squads", 1, MostCatalogSquads);
    for (size_t i = 0; i < squads.size(); ++i)
        catalog.squads.push_back(ReadSquad(reader, squads[i], "/squads/" + std::to_string(i), catalog));
    return catalog;
}

// ------------------------------------------------------------------ writing

std::string Utf8(const std::string& shiftJis)
{
    std::string utf8;
    if (!ShiftJisToUtf8Strict(shiftJis, &utf8))
        throw DataError{"a text is not Shift-JIS"};
    return utf8;
}

template <size_t N, typename T>
Json NumberArray(const std::array<T, N>& values)
{
    Json array = Json::array();
    for (T value : values)
        array.push_back(int64_t(value));
    return array;
}

Json MachineDocument(const Machine& machine)
{
    Json weapons = Json::array();
    int used = 0;
    for (int slot = 0; slot < WeaponSlotCount; ++slot) {
        const WeaponSlot& w = machine.weapons[slot];
        if (!w.name.empty() || w.kind || w.damage || w.attacks || w.accuracy || w.minRange || w.maxRange ||
            w.marks != std::array<uint8_t, 5>{})
            used = slot + 1;
    }
    for (int slot = 0; slot < used; ++slot) {
        const WeaponSlot& w = machine.weapons[slot];
        weapons.push_back(Json{{"name", Utf8(w.name)},
                               {"kind", w.kind},
                               {"damage", w.damage},
                               {"attacks", w.attacks},
                               {"accuracy", w.accuracy},
                               {"minRange", w.minRange},
                               {"maxRange", w.maxRange},
                               {"marks", NumberArray(w.marks)}});
    }
    return Json{{"typeId", machine.typeId},
                {"name", Utf8(machine.name)},
                {"auxName", Utf8(machine.auxName)},
                {"durability", machine.durability},
                {"agility", machine.agility},
                {"fuel", machine.fuel},
                {"fuelUse", machine.fuelUse},
                {"hasShield", machine.hasShield},
                {"skillCap", machine.skillCap},
                {"evasionBySituation", NumberArray(machine.evasionBySituation)},
                {"accuracyBySituation", NumberArray(machine.accuracyBySituation)},
                {"weapons", weapons}};
}

Json PilotDocument(const Pilot& pilot)
{
    return Json{{"id", pilot.id}, {"name", Utf8(pilot.name)}, {"stats", NumberArray(pilot.stats)}};
}

bool IsEmptyPilot(const Pilot& pilot)
{
    return pilot.id == 0 && pilot.name.empty() && pilot.stats == std::array<int32_t, 14>{};
}

Json SquadDocument(const BattleCatalog& catalog, const Squad& squad, size_t index)
{
    const std::string at = "squad " + std::to_string(index + 1);
    Json machines = Json::array();
    for (int k = 0; k < MachinesPerSquad; ++k) {
        const Machine& machine = squad.machines[k];
        if (machine.typeId == 0)
            continue;
        if (k != int(machines.size()) || k >= FileMachinesPerSquad)
            throw DataError{at + ": machines must fill positions 1 to 3 from the first"};
        Machine type = machine;
        type.pilot = Pilot{};
        const Json typeDocument = MachineDocument(type);
        bool found = false;
        for (const Machine& candidate : catalog.machines)
            found = found || MachineDocument(candidate) == typeDocument;
        if (!found)
            throw DataError{at + ": a machine is none of the catalogue's machine types"};
        Json position{{"machine", Utf8(machine.name)}};
        if (!IsEmptyPilot(machine.pilot)) {
            bool known = false;
            for (const Pilot& pilot : catalog.pilots)
                known = known || PilotDocument(pilot) == PilotDocument(machine.pilot);
            if (!known)
                throw DataError{at + ": a machine's pilot is none of the catalogue's pilots"};
            position["pilot"] = Utf8(machine.pilot.name);
        }
        machines.push_back(position);
    }
    return Json{{"typeId", squad.typeId}, {"evasionBonusOff", squad.evasionBonusOff}, {"machines", machines}};
}

void AppendText(std::string& out, const Json& value, int indent)
{
    const std::string pad(size_t(indent + 2), ' ');
    if (value.is_object()) {
        if (value.empty()) {
            out += "{}";
            return;
        }
        out += "{\n";
        size_t i = 0;
        for (auto it = value.begin(); it != value.end(); ++it, ++i) {
            out += pad + Json(it.key()).dump() + ": ";
            AppendText(out, it.value(), indent + 2);
            out += i + 1 < value.size() ? ",\n" : "\n";
        }
        out += std::string(size_t(indent), ' ') + "}";
    } else if (value.is_array()) {
        bool flat = true;
        for (const Json& item : value)
            flat = flat && !item.is_structured();
        if (flat) {
            out += value.dump(-1, ' ', false);
            return;
        }
        out += "[\n";
        for (size_t i = 0; i < value.size(); ++i) {
            out += pad;
            AppendText(out, value[i], indent + 2);
            out += i + 1 < value.size() ? ",\n" : "\n";
        }
        out += std::string(size_t(indent), ' ') + "]";
    } else {
        out += value.dump(-1, ' ', false);
    }
}

}  // namespace

bool ReadDataDocument(const std::string& path, Json* document, std::string* error)
{
    std::string text;
    const int problem = media::FileReadWhole(path.c_str(), LargestDataFile, &text);
    if (problem != 0) {
        *error = path + ": " +
                 (problem == EISDIR      ? std::string("is a folder, not a battle data file")
                  : problem == EFBIG     ? "is larger than " + std::to_string(LargestDataFile >> 20) +
                                           " MB, more than any battle data file holds"
                  : problem == ETIMEDOUT ? "no program opened the FIFO for writing within " +
                                               std::to_string(media::FifoWriterWaitMilliseconds / 1000) + " seconds"
                                         : std::string(std::strerror(problem)));
        return false;
    }
    return ParseDataText(text, path, document, error);
}

bool ParseDataText(const std::string& text, const std::string& path, Json* document, std::string* error)
{
    if (text.empty()) {
        *error = path + ":1:1: the file is empty (a battle data file is a JSON object)";
        return false;
    }
    // Text saved as UTF-16 ("Unicode" in Notepad) is text, but not UTF-8: a
    // byte order mark, or ASCII with every other byte zero.
    const bool utf16 = text.size() >= 2 && ((uint8_t(text[0]) == 0xFF && uint8_t(text[1]) == 0xFE) ||
                                            (uint8_t(text[0]) == 0xFE && uint8_t(text[1]) == 0xFF) ||
                                            (text[0] == '\0') != (text[1] == '\0'));
    if (utf16) {
        *error = path + ":1:1: the file is UTF-16 text; a battle data file is UTF-8 (save it as UTF-8)";
        return false;
    }
    const size_t zero = text.find('\0');
    if (zero != std::string::npos) {
        *error = path + ":" + Place(text, zero) + ": a zero byte: this is not a text file";
        return false;
    }
    try {
        *document = Json::parse(text, DuplicateKeyCheck());
    } catch (const Json::parse_error& e) {
        *error = path + ":" + SyntaxMessage(e.what());
        return false;
    } catch (const Json::out_of_range& e) {
        // A number beyond what a double holds ("1e99999"): the parser names the
        // number but not its place, which is where the text first holds it.
        const std::string what = e.what();
        const size_t open = what.find('\''), close = what.rfind('\'');
        const std::string number = open < close ? what.substr(open + 1, close - open - 1) : "";
        const size_t at = number.empty() ? std::string::npos : text.find(number);
        *error = path + ":" + (at == std::string::npos ? std::string("1:1") : Place(text, at)) + ": the number " +
                 number + " is too large for any field";
        return false;
    } catch (const DataError& e) {
        *error = path + ": " + e.message;
        return false;
    }
    return true;
}

bool CatalogFromDocument(const Json& document, const std::string& fileName, BattleCatalog* catalog,
                         std::string* error)
{
    try {
        *catalog = ReadCatalog(Reader(fileName), document);
    } catch (const DataError& e) {
        *error = e.message;
        return false;
    }
    return true;
}

bool LoadBattleDataFile(const std::string& path, BattleCatalog* catalog, std::string* error)
{
    Json document;
    return ReadDataDocument(path, &document, error) && CatalogFromDocument(document, path, catalog, error);
}

bool DocumentFromCatalog(const BattleCatalog& catalog, Json* document, std::string* error)
{
    try {
        Json armies = Json::array();
        for (const ArmyValues& army : catalog.armies)
            armies.push_back(Json{{"evasionBonus", army.evasionBonus}, {"situation", army.situation}});
        Json pilots = Json::array(), machines = Json::array(), squads = Json::array();
        for (const Pilot& pilot : catalog.pilots)
            pilots.push_back(PilotDocument(pilot));
        for (const Machine& machine : catalog.machines)
            machines.push_back(MachineDocument(machine));
        for (size_t i = 0; i < catalog.squads.size(); ++i)
            squads.push_back(SquadDocument(catalog, catalog.squads[i], i));
        *document = Json{{"version", DataFormatVersion},
                         {"armies", armies},
                         {"pilots", pilots},
                         {"machines", machines},
                         {"squads", squads}};
    } catch (const DataError& e) {
        *error = e.message;
        return false;
    }
    return true;
}

std::string DataFileText(const Json& document)
{
    std::string out;
    AppendText(out, document, 0);
    out += "\n";
    return out;
}
