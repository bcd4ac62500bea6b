#pragma once

// Switches for tests only: the conditions of a machine with a thread limit, or of small catalogues shared out as
// large ones are, reached on any machine.

#include <cstdint>

namespace netkit {

// While set, no worker thread starts (as under a thread limit); threads already there stay.
void failThreadStartsForTests(bool fail);

// Ends every waiting worker thread of every pool, so that the next work has to start threads again.
void endIdleThreadsForTests();

// Lowers how many entries a thread of a shared pass takes at least, so that small catalogues reach the joins of the
// threads' parts; returns the share it replaces.
uint32_t setLeastPerThreadForTests(uint32_t entries);

} // namespace netkit
