#include "app/battle_shard.h"

#include <sys/stat.h>

#include <cerrno>
#include <cinttypes>
#include <cstdint>
#include <cstring>
#include <cstdio>
#include <sstream>

#include "app/battle_stats_run.h"
#include "media/platform/file.h"

namespace {

const char PartHeader[] = "korvanta-battle part 1\n";
constexpr uint64_t MostShards = 100000;  // as --shard takes them
constexpr size_t TallyNumbers = SurvivorKinds + BattleEndKinds + (ShootingTurnCount + 1) * BattleEndKinds + 4;

std::string Hex(uint64_t value)
{
    char text[17];
    std::snprintf(text, sizeof text, "%016" PRIx64, value);
    return text;
}

std::vector<int64_t> TallyNumbersOf(const OutcomeTally& tally)
{
    std::vector<int64_t> numbers(tally.survivors.begin(), tally.survivors.end());
    numbers.insert(numbers.end(), tally.ends.begin(), tally.ends.end());
    for (const auto& row : tally.endTurns)
        numbers.insert(numbers.end(), row.begin(), row.end());
    numbers.insert(numbers.end(), {tally.liveMachines[0], tally.liveMachines[1], tally.durability[0],
                                   tally.durability[1]});
    return numbers;
}

OutcomeTally TallyFromNumbers(const std::vector<int64_t>& numbers)
{
    OutcomeTally tally;
    size_t i = 0;
    for (auto& value : tally.survivors)
        value = numbers[i++];
    for (auto& value : tally.ends)
        value = numbers[i++];
    for (auto& row : tally.endTurns) {
        for (auto& value : row)
            value = numbers[i++];
    }
    tally.liveMachines = {numbers[i], numbers[i + 1]};
    tally.durability = {numbers[i + 2], numbers[i + 3]};
    for (int64_t count : tally.survivors)
        tally.battles += count;
    return tally;
}

// Reads the part's text in order; any mismatch throws the reason.
class PartReader {
public:
    explicit PartReader(const std::string& text) : text_(text) {}

    std::string Line()
    {
        const size_t end = text_.find('\n', at_);
        if (end == std::string::npos)
            throw std::string("it ends in the middle of a line");
        std::string line = text_.substr(at_, end - at_);
        at_ = end + 1;
        return line;
    }
    // "name value value ..." with the name checked.
    std::vector<std::string> Fields(const char* name)
    {
        std::istringstream line(Line());
        std::string word;
        line >> word;
        if (word != name)
            throw std::string("expected '") + name + "', found '" + word + "'";
        std::vector<std::string> fields;
        while (line >> word)
            fields.push_back(word);
        return fields;
    }
    uint64_t Number(const std::string& text)
    {
        if (text.empty() || text.size() > 19 || text.find_first_not_of("0123456789") != std::string::npos)
            throw std::string("'" + text + "' is not a count");
        return std::stoull(text);
    }
    std::string Bytes(uint64_t count)
    {
        if (count > text_.size() - at_)
            throw std::string("it is shorter than it says");
        std::string bytes = text_.substr(at_, count);
        at_ += count;
        return bytes;
    }
    size_t At() const { return at_; }

private:
    const std::string& text_;
    size_t at_ = 0;
};

}  // namespace

uint64_t Fnv1a(const std::string& text, uint64_t hash)
{
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

uint64_t Part::Hash() const
{
    return Fnv1a(data, Fnv1a(settings + "\n--data--\n"));
}

std::string PartText(const Part& part)
{
    std::string out = PartHeader;
    out += "hash " + Hex(part.Hash()) + "\n";
    out += "shard " + std::to_string(part.shard) + " " + std::to_string(part.shards) + "\n";
    out += "slice " + std::to_string(part.first) + " " + std::to_string(part.count) + " " +
           std::to_string(part.total) + "\n";
    out += "settings " + std::to_string(part.settings.size()) + "\n" + part.settings;
    out += "data " + std::to_string(part.data.size()) + "\n" + part.data;
    out += "tallies " + std::to_string(part.tallies.size()) + "\n";
    for (const OutcomeTally& tally : part.tallies) {
        std::string line;
        for (int64_t number : TallyNumbersOf(tally)) {
            if (!line.empty())
                line += ' ';
            line += std::to_string(number);
        }
        out += line + "\n";
    }
    out += std::string("rows ") + (part.hasRows ? "yes " : "no ") + std::to_string(part.rows.size()) + "\n" + part.rows;
    out += "check " + Hex(Fnv1a(out)) + "\n";
    return out;
}

bool ReadPart(const std::string& path, Part* part, std::string* error)
{
    // A part may be large, so it is read without a bound: a device (/dev/zero)
    // never ends and is no part anyway.
    struct stat status {};
    if (stat(path.c_str(), &status) == 0 && (S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode))) {
        *error = path + ": is a device, not a part file";
        return false;
    }
    std::string text;
    const int problem = media::FileReadWhole(path.c_str(), SIZE_MAX, &text);
    if (problem != 0) {
        *error = path + ": cannot be read: " +
                 (problem == ETIMEDOUT ? "no program opened the FIFO for writing" : std::strerror(problem));
        return false;
    }
    try {
        PartReader reader(text);
        if (reader.Line() + "\n" != PartHeader)
            throw std::string("not a part of korvanta-battle --shard");
        const std::vector<std::string> hash = reader.Fields("hash");
        std::vector<std::string> fields = reader.Fields("shard");
        if (fields.size() != 2)
            throw std::string("a bad shard line");
        part->shard = reader.Number(fields[0]);
        part->shards = reader.Number(fields[1]);
        fields = reader.Fields("slice");
        if (fields.size() != 3)
            throw std::string("a bad slice line");
        part->first = reader.Number(fields[0]);
        part->count = reader.Number(fields[1]);
        part->total = reader.Number(fields[2]);
        fields = reader.Fields("settings");
        part->settings = reader.Bytes(reader.Number(fields.empty() ? "" : fields[0]));
        fields = reader.Fields("data");
        part->data = reader.Bytes(reader.Number(fields.empty() ? "" : fields[0]));
        fields = reader.Fields("tallies");
        const uint64_t tallies = reader.Number(fields.empty() ? "" : fields[0]);
        if (tallies > text.size())
            throw std::string("it is shorter than it says");
        part->tallies.clear();
        for (uint64_t t = 0; t < tallies; ++t) {
            std::istringstream line(reader.Line());
            std::vector<int64_t> numbers;
            long long number;
            while (line >> number)
                numbers.push_back(number);
            if (numbers.size() != TallyNumbers || !line.eof())
                throw std::string("a damaged count line");
            part->tallies.push_back(TallyFromNumbers(numbers));
        }
        fields = reader.Fields("rows");
        if (fields.size() != 2 || (fields[0] != "yes" && fields[0] != "no"))
            throw std::string("a bad rows line");
        part->hasRows = fields[0] == "yes";
        part->rows = reader.Bytes(reader.Number(fields[1]));
        const size_t checked = reader.At();
        const std::vector<std::string> check = reader.Fields("check");
        if (check.size() != 1 || check[0] != Hex(Fnv1a(text.substr(0, checked))) || reader.At() != text.size())
            throw std::string("its check does not match what it holds");
        if (hash.size() != 1 || hash[0] != Hex(part->Hash()))
            throw std::string("its hash does not match its settings and data");
        if (part->shards == 0 || part->shards > MostShards || part->shard >= part->shards)
            throw std::string("shard " + std::to_string(part->shard) + "/" + std::to_string(part->shards) +
                              " is no shard");
        uint64_t first = 0, count = 0;
        ShardSlice(part->total, part->shard, part->shards, &first, &count);
        if (first != part->first || count != part->count)
            throw std::string("its slice is not that of shard " + std::to_string(part->shard) + "/" +
                              std::to_string(part->shards));
    } catch (const std::string& reason) {
        *error = path + ": a damaged or truncated part (" + reason + ")";
        return false;
    }
    return true;
}

bool MergeParts(const std::vector<std::string>& paths, const std::vector<Part>& parts, Part* whole,
                std::string* error)
{
    const Part& head = parts[0];
    std::vector<int> owner(head.shards, -1);
    for (size_t i = 0; i < parts.size(); ++i) {
        const Part& part = parts[i];
        if (part.Hash() != head.Hash()) {
            *error = paths[i] + ": a part of other data or arguments than " + paths[0];
            return false;
        }
        if (part.shards != head.shards || part.total != head.total || part.tallies.size() != head.tallies.size() ||
            part.hasRows != head.hasRows) {
            *error = paths[i] + ": a part of " + std::to_string(part.shards) + " shards, " + paths[0] + " one of " +
                     std::to_string(head.shards);
            return false;
        }
        if (owner[part.shard] >= 0) {
            *error = paths[i] + ": shard " + std::to_string(part.shard) + "/" + std::to_string(part.shards) +
                     " overlaps " + paths[size_t(owner[part.shard])];
            return false;
        }
        owner[part.shard] = int(i);
    }
    for (uint64_t k = 0; k < head.shards; ++k) {
        if (owner[k] < 0) {
            *error = "shard " + std::to_string(k) + "/" + std::to_string(head.shards) + " is missing (" +
                     std::to_string(parts.size()) + " parts given, starting with " + paths[0] + ")";
            return false;
        }
    }
    *whole = head;
    whole->shard = 0;
    whole->shards = 1;
    whole->first = 0;
    whole->count = head.total;
    whole->rows.clear();
    whole->tallies.assign(head.tallies.size(), OutcomeTally{});
    for (uint64_t k = 0; k < head.shards; ++k) {
        const Part& part = parts[size_t(owner[k])];
        for (size_t t = 0; t < part.tallies.size(); ++t)
            whole->tallies[t].Merge(part.tallies[t]);
        whole->rows += part.rows;
    }
    return true;
}
