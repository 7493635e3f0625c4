#pragma once

#include "dmmdata.h"
#include "itemrecord.h"

#include <memory>
#include <vector>

// An item read from a file with its readings, ready to be handed to the window, which takes the
// readings over.
struct LoadedItem
{
    ItemRecord record;
    std::vector<std::unique_ptr<DmmData>> readings;
};
