#include "RecordMemory.h"

#include <cstdint>
#include <sys/mman.h>

namespace dbase {

namespace {

// Huge pages are used only within 2 MiB-aligned ranges: the mapping gets one
// alignment's slack so that the records start on such a boundary.
constexpr std::size_t kHugePage = std::size_t(2) << 20;

} // namespace

RecordMemory::~RecordMemory()
{
    if (m_mapping)
        ::munmap(m_mapping, m_mappedSize);
}

bool RecordMemory::allocate(std::size_t size)
{
    if (size == 0)
        return true;
    const std::size_t mapped = size + kHugePage;
    if (mapped < size)
        return false;
    void *mapping =
        ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED)
        return false;
    m_mapping = mapping;
    m_mappedSize = mapped;
    const auto start = reinterpret_cast<std::uintptr_t>(mapping);
    const std::uintptr_t aligned = (start + kHugePage - 1) & ~std::uintptr_t(kHugePage - 1);
    m_data = reinterpret_cast<char *>(aligned);
    m_size = size;
    // Only advice: without transparent huge pages the memory is ordinary pages.
    (void)::madvise(m_data, size, MADV_HUGEPAGE);
    return true;
}

} // namespace dbase
