#pragma once

#include <cstdint>
#include <vector>

namespace tunalyx {

// A block as the Read All and Write All lists and the frame descriptors name it: its command
// byte and the number of data bytes it holds.
struct ListedBlock {
    std::uint8_t command;
    std::uint8_t length;
    friend bool operator==(const ListedBlock&, const ListedBlock&) = default;
};
using BlockList = std::vector<ListedBlock>;

}  // namespace tunalyx
