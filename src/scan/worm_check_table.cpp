#include "scan/worm_check_table.h"

#include "engine/blaster_check.h"

const WormCheck WormCheckTable[] = {
    {"W32/Blaster.Worm", checkBlasterFile},
    {nullptr, nullptr},
};
