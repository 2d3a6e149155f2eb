// Counts every heap allocation and release the process makes, through
// operator new/delete and the malloc family alike.
#pragma once

#include <cstddef>
#include <ostream>

namespace velt::test {

struct AllocationCounts {
    std::size_t allocations;  // operator new (every form), malloc, calloc, realloc, aligned forms
    std::size_t releases;     // operator delete (every form), free, realloc to size 0

    bool operator==(const AllocationCounts& o) const {
        return allocations == o.allocations && releases == o.releases;
    }
};

AllocationCounts allocationCounts();

// For readable test failures.
inline void PrintTo(const AllocationCounts& c, std::ostream* os) {
    *os << c.allocations << " allocations, " << c.releases << " releases";
}

}  // namespace velt::test
