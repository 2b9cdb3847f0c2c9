// SPDX-License-Identifier: GPL-3.0-or-later
// The exchanges of a selection sort, largest key first, done in O(n log n).
//
// The plain selection sort takes, for i = 0 .. n-2, the first position j >= i whose key is
// the largest among positions i..n-1 and exchanges positions i and j. Among equal keys the
// first one found moves forward, and the exchanges reorder the other equal keys, so the
// result is not a stable sort; tables and reports depend on that exact order.
//
// Here a tournament tree over the positions still to be placed gives j at its root; each
// step changes two leaves (the placed position leaves the tournament, the exchanged element
// takes position j), so every step costs O(log n) and the exchanges are exactly those of
// the selection sort.
#pragma once

#include <span>

namespace dorvalix {

// `greater(a, b)`: the element now at position a has a strictly larger key than the one
// at position b. `exchange(a, b)`: exchange the elements at positions a and b (called only
// for a != b). `step(i)`: called before position i is filled (progress display).
// `tree` must hold 2 × (the smallest power of two >= n) entries.
template <class Greater, class Exchange, class Step>
void SelectionSortExchanges(int n, Greater greater, Exchange exchange, Step step,
                            std::span<int> tree) {
    if (n < 2) return;
    // A table that is already in order moves nothing.
    bool ordered = true;
    for (int p = 0; p + 1 < n && ordered; ++p)
        ordered = !greater(p + 1, p);
    if (ordered) {
        for (int i = 0; i + 1 < n; ++i)
            step(i);
        return;
    }
    int leaves = 1;
    while (leaves < n)
        leaves *= 2;
    auto winner = [&](int a, int b) {
        // a lies left of b: it wins ties, so the first of equal keys is found.
        if (a < 0) return b;
        if (b < 0) return a;
        return greater(b, a) ? b : a;
    };
    for (int p = 0; p < leaves; ++p)
        tree[static_cast<std::size_t>(leaves + p)] = p < n ? p : -1;
    for (int node = leaves - 1; node >= 1; --node) {
        tree[static_cast<std::size_t>(node)] = winner(tree[static_cast<std::size_t>(2 * node)],
                                                      tree[static_cast<std::size_t>(2 * node + 1)]);
    }
    auto update = [&](int position) {
        for (int node = (leaves + position) / 2; node >= 1; node /= 2) {
            tree[static_cast<std::size_t>(node)] =
                winner(tree[static_cast<std::size_t>(2 * node)],
                       tree[static_cast<std::size_t>(2 * node + 1)]);
        }
    };
    for (int i = 0; i + 1 < n; ++i) {
        step(i);
        const int j = tree[1];
        tree[static_cast<std::size_t>(leaves + i)] = -1;
        if (j != i) {
            exchange(i, j);
            update(j);  // the element from position i now competes at position j
        }
        update(i);
    }
}

// Size of the tree buffer for n positions.
inline int SelectionSortTreeSize(int n) {
    int leaves = 1;
    while (leaves < n)
        leaves *= 2;
    return 2 * leaves;
}

}  // namespace dorvalix
