// Shards: a statistics command split into N fixed slices of its numbered
// battles (points x pairs x seeds), each run anywhere with --shard K/N --part
// FILE, and merged with --merge into exactly what one machine prints.
//
// A part is a text file holding what was run (the arguments that change
// results and the battle data, with a hash of both), the slice, the integer
// counts of every pair of every point, and the per-battle CSV rows when the
// command writes them; it ends with a check of everything before it, so a
// damaged or truncated part is refused.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/battle_stats.h"

struct Part {
    std::string settings;  // result-changing arguments, one a line
    std::string data;      // the battle data document (UTF-8 JSON)
    uint64_t shard = 0, shards = 1;
    uint64_t first = 0, count = 0, total = 0;
    std::vector<OutcomeTally> tallies;
    bool hasRows = false;
    std::string rows;  // per-battle CSV rows of the slice, without the header

    uint64_t Hash() const;  // of the settings and the data
};

std::string PartText(const Part& part);
// False with "FILE: what is wrong" for a part that cannot be read, is damaged or truncated.
bool ReadPart(const std::string& path, Part* part, std::string* error);
// Checks that the parts are the N slices of one run, each once, and adds them
// up (rows in slice order). False with a message naming the file at fault.
bool MergeParts(const std::vector<std::string>& paths, const std::vector<Part>& parts, Part* whole,
                std::string* error);

uint64_t Fnv1a(const std::string& text, uint64_t hash = 14695981039346656037ull);
