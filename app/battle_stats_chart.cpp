#include "app/battle_stats_chart.h"

bool DrawMatrixChart(const RunDescription&, const std::vector<OutcomeTally>&, const std::string&, std::string* error)
{
    *error = "charts are not available yet";
    return false;
}

bool DrawEndTurnChart(const RunDescription&, const OutcomeTally&, const std::string&, std::string* error)
{
    *error = "charts are not available yet";
    return false;
}
