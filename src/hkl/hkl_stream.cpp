// SPDX-License-Identifier: GPL-3.0-or-later
#include "hkl_stream.h"

#include <vector>

#include "hkl_generation.h"
#include "hkl_parallel.h"

namespace dorvalix {

namespace {

// Consecutive pieces are written together up to this many rows: the pieces of an outer h
// hold few reflections each.
constexpr std::size_t kBlockRows = 8192;

}  // namespace

HklRefusal StreamHklLines(const HklCell& cell, const IndexRange& range, const HklParameters& p,
                          const HklLimit& limit, HklLineEnd end, int threads,
                          const HklTextSink& sink) {
    if (auto refusal = CheckTableInput(cell, range, p)) return refusal;
    const HklLoop g = MakeHklLoop(cell, range, p);
    if (!g.all && !g.asym) return std::nullopt;
    threads = HklThreadCount(threads);
    if (g.planned) {
        const std::vector<HklPiece> pieces = HklPieces(range);
        if (const std::optional<PieceCounts> counts =
                CountPieces(g, pieces, limit.reflections, threads)) {
            if (counts->over) return limit.refusal;
            // Blocks of whole pieces: [first piece, end piece).
            std::vector<std::size_t> block_starts;
            std::size_t rows = kBlockRows;
            for (std::size_t i = 0; i < pieces.size(); ++i) {
                if (counts->counts[i] == 0) continue;
                if (rows >= kBlockRows) {
                    block_starts.push_back(i);
                    rows = 0;
                }
                rows += counts->counts[i];
            }
            block_starts.push_back(pieces.size());
            ProduceInOrder(
                block_starts.size() - 1, threads,
                [&](std::size_t block, std::string& text) {
                    std::vector<HklReflection> made;
                    for (std::size_t i = block_starts[block]; i < block_starts[block + 1]; ++i) {
                        if (counts->counts[i] == 0) continue;
                        made.resize(counts->counts[i]);
                        HklReflection* out = made.data();
                        if (!GeneratePiece(g, pieces[i], out, made.data() + made.size())) {
                            // More rows than counted: made again with room for all.
                            made.resize(PieceCapacity(range, pieces[i]));
                            out = made.data();
                            GeneratePiece(g, pieces[i], out, made.data() + made.size());
                        }
                        AppendHklLines(text, made.data(), 0,
                                       static_cast<std::size_t>(out - made.data()), end);
                    }
                },
                sink);
            return std::nullopt;
        }
    }
    HklTable table;
    if (auto refusal = GenerateHklTable(cell, range, p, table, limit, threads)) return refusal;
    WriteHklLines(table, {}, end, threads, sink);
    return std::nullopt;
}

}  // namespace dorvalix
