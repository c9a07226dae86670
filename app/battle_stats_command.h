// korvanta-battle's statistics commands: --runs and --matrix (with --vary and
// --shard), and --merge of shards' parts.
#pragma once

#include "app/battle_options.h"

int RunStatistics(const Options& options);
int RunMerge(const Options& options);
