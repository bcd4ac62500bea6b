#pragma once

#include <QList>

#include <cstddef>

namespace netkit {

// Asks the kernel to back the whole pages of a freshly allocated block with huge pages (Linux; elsewhere nothing).
// The block of a catalogue's entry list runs to tens of megabytes; filling it page by page costs one fault per
// 4 KiB, and on a virtual machine each fault takes microseconds: a third of reading a 200k-film list went into them.
void adviseHugePages(void* block, std::size_t bytes);

// Room for `count` items in one allocation, huge pages advised for the block.
template<class T>
void reserveLarge(QList<T>& list, qsizetype count)
{
    list.reserve(count);
    adviseHugePages(list.data(), std::size_t(list.capacity()) * sizeof(T));
}

} // namespace netkit
