#pragma once

namespace velkor {

// How much lower than the rest of the process background threads run (a nice value).
inline constexpr int kBackgroundNice = 10;

// Lowers the calling thread's scheduling priority by kBackgroundNice (on Linux a nice value belongs
// to a thread), so that work meant for the background (fetching and decoding images) leaves the
// processor to the window's thread whenever both want it. Once per thread; a failure is ignored
// (the thread then runs as before).
void MakeThisThreadBackground();

}  // namespace velkor
