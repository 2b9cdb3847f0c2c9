// SPDX-License-Identifier: GPL-3.0-or-later
// Work of the hkl table spread over the cores: the generation, the sort and the texts cut
// their work into pieces whose results do not depend on which thread made them, so the
// table is the same byte for byte whatever the number of threads.
#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace dorvalix {

// The number of threads for `requested` (0: one for each core this process may run on,
// as its CPU affinity says, so that `taskset -c 0` gives one).
int HklThreadCount(int requested);

// Calls work(t) for t = 0 .. threads − 1: t = 0 on the calling thread, the others on
// threads of their own, and returns when every call has returned. The first exception
// thrown by any of them is thrown here.
void RunOnThreads(int threads, const std::function<void(int thread)>& work);

// Calls work(piece, thread) for every piece 0 .. count − 1 on `threads` threads, each
// thread taking the next piece not yet taken when it is free. After an exception no further
// piece is started, and the exception is thrown here.
void ForEachPiece(std::size_t count, int threads,
                  const std::function<void(std::size_t piece, int thread)>& work);

// Makes the texts of pieces 0 .. count − 1 on `threads` threads, the calling one among them
// (produce(piece, text) fills `text`, which comes empty), and hands them to `consume` on
// the calling thread in piece order, while the next pieces are being made; at most two
// pieces per thread wait to be consumed, so the memory used does not grow with the number
// of pieces. An exception from either ends the work and is thrown here.
void ProduceInOrder(std::size_t count, int threads,
                    const std::function<void(std::size_t piece, std::string& text)>& produce,
                    const std::function<void(std::string_view text)>& consume);

// [begin, end) of part `part` when `count` items are cut into `parts` parts of nearly
// equal size, in order.
inline std::size_t PartBegin(std::size_t count, int parts, int part) {
    return count / static_cast<std::size_t>(parts) * static_cast<std::size_t>(part) +
           std::min(count % static_cast<std::size_t>(parts), static_cast<std::size_t>(part));
}

}  // namespace dorvalix
