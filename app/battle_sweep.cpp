#include "app/battle_sweep.h"

#include <algorithm>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <set>

#include "app/battle_data_file.h"

using Json = nlohmann::ordered_json;

namespace {

bool ParseInteger(const std::string& text, int64_t* value)
{
    if (text.empty() || text.size() > 12)
        return false;
    size_t i = text[0] == '-' ? 1 : 0;
    if (i == text.size())
        return false;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
    }
    *value = std::strtoll(text.c_str(), nullptr, 10);
    return true;
}

void AppendNumbers(std::string& out, const int32_t* values, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        out += std::to_string(values[i]) + ",";
    out += ";";
}

}  // namespace

std::vector<int64_t> Variation::Values() const
{
    std::vector<int64_t> values;
    for (int64_t value = from; value <= to; value += step)
        values.push_back(value);
    return values;
}

std::string Variation::Text() const
{
    return pointer + "=" + std::to_string(from) + ":" + std::to_string(to) + ":" + std::to_string(step);
}

bool ParseVariation(const std::string& text, Variation* variation, std::string* error)
{
    const size_t equals = text.rfind('=');
    const std::string usage = "'" + text + "' is not POINTER=FROM:TO:STEP (whole numbers, FROM <= TO, STEP >= 1)";
    if (equals == std::string::npos || equals == 0 || text[0] != '/') {
        *error = usage;
        return false;
    }
    variation->pointer = text.substr(0, equals);
    const std::string range = text.substr(equals + 1);
    const size_t first = range.find(':');
    const size_t second = first == std::string::npos ? first : range.find(':', first + 1);
    if (second == std::string::npos || range.find(':', second + 1) != std::string::npos ||
        !ParseInteger(range.substr(0, first), &variation->from) ||
        !ParseInteger(range.substr(first + 1, second - first - 1), &variation->to) ||
        !ParseInteger(range.substr(second + 1), &variation->step) || variation->step < 1 ||
        variation->from > variation->to) {
        *error = usage;
        return false;
    }
    if (uint64_t((variation->to - variation->from) / variation->step) + 1 > MostSweepValues) {
        *error = "'" + text + "' makes more than " + std::to_string(MostSweepValues) + " values";
        return false;
    }
    return true;
}

std::vector<std::vector<int64_t>> SweepPoints(const std::vector<Variation>& variations)
{
    std::vector<std::vector<int64_t>> points(1);
    for (const Variation& variation : variations) {
        std::vector<std::vector<int64_t>> next;
        for (const std::vector<int64_t>& point : points) {
            for (int64_t value : variation.Values()) {
                next.push_back(point);
                next.back().push_back(value);
            }
        }
        points = std::move(next);
    }
    return points;
}

std::string BattleRelevantText(const BattleCatalog& catalog, const std::vector<ArmySetup>& army1,
                               const std::vector<ArmySetup>& army2)
{
    std::set<int> used;
    for (const std::vector<ArmySetup>* list : {&army1, &army2}) {
        for (const ArmySetup& setup : *list) {
            for (int row : setup) {
                if (row > 0)
                    used.insert(row - 1);
            }
        }
    }
    std::string out;
    for (const ArmyValues& army : catalog.armies)
        out += std::to_string(army.evasionBonus) + "," + std::to_string(army.situation) + ";";
    for (int index : used) {
        if (size_t(index) >= catalog.squads.size())
            continue;
        const Squad& squad = catalog.squads[size_t(index)];
        out += "squad " + std::to_string(index) + ":" + std::to_string(squad.evasionBonusOff) + ";";
        for (const Machine& m : squad.machines) {
            // The fields the battle rules read (docs/BATTLE_DATA.md lists those they carry only).
            const int32_t values[] = {m.typeId != 0, m.durability, m.agility,  m.fuel,
                                      m.fuelUse,     m.hasShield,  m.skillCap, m.pilot.shooting(),
                                      m.pilot.melee(), m.pilot.reflex(), m.pilot.insight()};
            AppendNumbers(out, values, std::size(values));
            AppendNumbers(out, m.evasionBySituation.data(), m.evasionBySituation.size());
            AppendNumbers(out, m.accuracyBySituation.data(), m.accuracyBySituation.size());
            for (const WeaponSlot& w : m.weapons) {
                const int32_t weapon[] = {w.kind, w.damage, w.attacks, w.accuracy, w.minRange, w.maxRange};
                AppendNumbers(out, weapon, std::size(weapon));
            }
        }
    }
    return out;
}

bool SweepCatalogs(const Json& base, const std::string& fileName, const std::vector<Variation>& variations,
                   const std::vector<ArmySetup>& army1, const std::vector<ArmySetup>& army2,
                   std::vector<BattleCatalog>* catalogs, std::string* error)
{
    std::vector<Json::json_pointer> pointers;
    for (const Variation& variation : variations) {
        try {
            pointers.emplace_back(variation.pointer);
        } catch (const Json::exception& e) {
            *error = "--vary " + variation.pointer + ": not a JSON pointer";
            return false;
        }
        // A field varied twice would take only its last --vary's values.
        if (std::find(pointers.begin(), pointers.end() - 1, pointers.back()) != pointers.end() - 1) {
            *error = "--vary " + variation.pointer + ": the field is varied twice (one --vary a field)";
            return false;
        }
        if (!base.contains(pointers.back()) || !base.at(pointers.back()).is_number_integer()) {
            *error = "--vary " + variation.pointer + ": the data " + fileName + " holds no whole number there";
            return false;
        }
    }
    catalogs->clear();
    const std::vector<std::vector<int64_t>> points = SweepPoints(variations);
    for (const std::vector<int64_t>& point : points) {
        Json document = base;
        for (size_t v = 0; v < point.size(); ++v)
            document[pointers[v]] = point[v];
        BattleCatalog catalog;
        if (!CatalogFromDocument(document, fileName, &catalog, error)) {
            std::string values;
            for (size_t v = 0; v < point.size(); ++v)
                values += (v ? ", " : "") + variations[v].pointer + " = " + std::to_string(point[v]);
            *error = "--vary (" + values + "): " + *error;
            return false;
        }
        catalogs->push_back(std::move(catalog));
    }
    // Each variation must change what some battle reads: with the others at
    // their first values, its values and the data's own value must not all
    // fight the same battles.
    for (size_t v = 0; v < variations.size(); ++v) {
        // The data's own value and its neighbours too, so that a sweep of a
        // single value can still tell whether the field is read.
        std::vector<int64_t> values = variations[v].Values();
        const int64_t own = base.at(pointers[v]).get<int64_t>();
        values.insert(values.end(), {own, own - 1, own + 1});
        std::set<std::string> texts;
        for (int64_t value : values) {
            Json document = base;
            for (size_t w = 0; w < variations.size(); ++w)
                document[pointers[w]] = w == v ? value : points[0][w];
            BattleCatalog catalog;
            // A value out of range was refused above; a neighbour out of range is left out.
            if (CatalogFromDocument(document, fileName, &catalog, error))
                texts.insert(BattleRelevantText(catalog, army1, army2));
            if (texts.size() > 1)
                break;
        }
        if (texts.size() <= 1) {
            *error = "--vary " + variations[v].pointer +
                     ": no battle of this run reads that field (its values leave the squads of the setups and the "
                     "armies' values unchanged, e.g. a pilot no machine of them carries)";
            return false;
        }
    }
    return true;
}
