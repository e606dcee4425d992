// An allocator for a build's large temporaries (sort keys and scratch of a whole
// table): blocks of 1 MiB and more are mapped on their own, asked for huge pages, and
// unmapped when freed. Their pages are then faulted in a few hundred at a time rather
// than tens of thousands, and go back to the system at once instead of staying with
// the C library's heap after the build. Smaller blocks come from the heap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

#include <sys/mman.h>

namespace dbase {

template <class T> class LargeBlockAllocator
{
public:
    using value_type = T;

    LargeBlockAllocator() = default;
    template <class U> LargeBlockAllocator(const LargeBlockAllocator<U> &) noexcept {}

    T *allocate(std::size_t n)
    {
        if (n > std::size_t(-1) / sizeof(T) - HugePage)
            throw std::bad_array_new_length();
        const std::size_t bytes = n * sizeof(T);
        if (bytes < MappedFrom)
            return static_cast<T *>(::operator new(bytes));
        // One huge page of slack, so that the block can start on a huge-page boundary;
        // the slack on either side is given back at once.
        const std::size_t length = rounded(bytes);
        void *mapping = ::mmap(nullptr, length + HugePage, PROT_READ | PROT_WRITE,
                               MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapping == MAP_FAILED)
            throw std::bad_alloc();
        const auto start = reinterpret_cast<std::uintptr_t>(mapping);
        const std::uintptr_t aligned = (start + HugePage - 1) & ~std::uintptr_t(HugePage - 1);
        if (aligned != start)
            ::munmap(mapping, aligned - start);
        if (const std::size_t tail = HugePage - (aligned - start); tail != 0)
            ::munmap(reinterpret_cast<void *>(aligned + length), tail);
        // Only advice: without transparent huge pages the block has ordinary pages.
        (void)::madvise(reinterpret_cast<void *>(aligned), length, MADV_HUGEPAGE);
        return reinterpret_cast<T *>(aligned);
    }

    void deallocate(T *p, std::size_t n) noexcept
    {
        const std::size_t bytes = n * sizeof(T);
        if (bytes < MappedFrom)
            ::operator delete(p);
        else
            ::munmap(p, rounded(bytes));
    }

    template <class U> bool operator==(const LargeBlockAllocator<U> &) const noexcept
    {
        return true;
    }

private:
    static constexpr std::size_t HugePage = std::size_t(2) << 20;
#ifdef __SANITIZE_ADDRESS__
    // Under AddressSanitizer every block comes from its heap, which watches the bounds.
    static constexpr std::size_t MappedFrom = std::size_t(-1);
#else
    static constexpr std::size_t MappedFrom = std::size_t(1) << 20;
#endif
    static std::size_t rounded(std::size_t bytes)
    {
        return (bytes + 4095) & ~std::size_t(4095);
    }
};

} // namespace dbase
