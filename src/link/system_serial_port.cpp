#include "link/system_serial_port.h"

#include <algorithm>

namespace tunalyx {

std::vector<PresentPort> comPortsByNumber(const std::vector<std::string>& names) {
    std::vector<int> numbers;
    for (const std::string& name : names)
        if (const int n = comPortNumber(name); n > 0) numbers.push_back(n);
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    std::vector<PresentPort> ports;
    ports.reserve(numbers.size());
    for (const int n : numbers)
        ports.push_back({"COM" + std::to_string(n), {}});
    return ports;
}

}  // namespace tunalyx
