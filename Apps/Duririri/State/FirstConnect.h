#pragma once

namespace sendra {

// Makes now, on a worker, what the first connect of a process would otherwise pay for before its first entry: the
// workers' threads and the tables that reading and preparing build on first use (canonical decompositions, the
// fold's Latin letters, the adult keywords). Called once the window is up, while the user is still on the access
// screen; nothing here changes a result.
void prepareForFirstConnect();

} // namespace sendra
