// SPDX-License-Identifier: GPL-3.0-or-later
// The indexing benchmark: cells and space groups of real compounds (literature values,
// rounded), in the settings of their space-group symbols, from which realistic peak lists
// are made with a fixed seed.
#pragma once

#include <string>
#include <vector>

#include "lattice.h"

namespace dorvalix::indexing::bench {

struct BenchCell {
    const char* name;
    const char* family;  // the Bravais lattice family reported for it
    const char* bravais;
    Cell cell;
    const char* spaceGroup;
};

inline const std::vector<BenchCell>& BenchCells() {
    static const std::vector<BenchCell> cells = {
        // Cubic
        {"Si", "cubic", "cF", {5.4309L, 5.4309L, 5.4309L, 90, 90, 90}, "F d -3 m"},
        {"NaCl", "cubic", "cF", {5.6402L, 5.6402L, 5.6402L, 90, 90, 90}, "F m -3 m"},
        {"LaB6", "cubic", "cP", {4.1569L, 4.1569L, 4.1569L, 90, 90, 90}, "P m -3 m"},
        {"Cr", "cubic", "cI", {2.8839L, 2.8839L, 2.8839L, 90, 90, 90}, "I m -3 m"},
        {"spinel MgAl2O4", "cubic", "cF", {8.0831L, 8.0831L, 8.0831L, 90, 90, 90}, "F d -3 m"},
        {"grossular", "cubic", "cI", {11.851L, 11.851L, 11.851L, 90, 90, 90}, "I a -3 d"},
        {"pyrite", "cubic", "cP", {5.417L, 5.417L, 5.417L, 90, 90, 90}, "P a -3"},
        {"C60", "cubic", "cF", {14.17L, 14.17L, 14.17L, 90, 90, 90}, "F m -3 m"},
        // Tetragonal
        {"rutile", "tetragonal", "tP", {4.5937L, 4.5937L, 2.9587L, 90, 90, 90}, "P 42/m n m"},
        {"anatase", "tetragonal", "tI", {3.7845L, 3.7845L, 9.5143L, 90, 90, 90}, "I 41/a m d"},
        {"zircon", "tetragonal", "tI", {6.607L, 6.607L, 5.982L, 90, 90, 90}, "I 41/a m d"},
        {"scheelite", "tetragonal", "tI", {5.243L, 5.243L, 11.376L, 90, 90, 90}, "I 41/a"},
        {"chalcopyrite", "tetragonal", "tI", {5.289L, 5.289L, 10.423L, 90, 90, 90}, "I -4 2 d"},
        {"alpha-cristobalite",
         "tetragonal",
         "tP",
         {4.971L, 4.971L, 6.918L, 90, 90, 90},
         "P 41 21 2"},
        {"vesuvianite", "tetragonal", "tP", {15.52L, 15.52L, 11.82L, 90, 90, 90}, "P 4/n n c"},
        // Hexagonal
        {"zincite ZnO", "hexagonal", "hP", {3.2498L, 3.2498L, 5.2066L, 90, 90, 120}, "P 63 m c"},
        {"graphite", "hexagonal", "hP", {2.464L, 2.464L, 6.711L, 90, 90, 120}, "P 63/m m c"},
        {"hydroxyapatite", "hexagonal", "hP", {9.418L, 9.418L, 6.884L, 90, 90, 120}, "P 63/m"},
        {"alpha-quartz", "hexagonal", "hP", {4.9134L, 4.9134L, 5.4052L, 90, 90, 120}, "P 32 2 1"},
        {"beryl", "hexagonal", "hP", {9.21L, 9.21L, 9.19L, 90, 90, 120}, "P 6/m c c"},
        {"nepheline", "hexagonal", "hP", {10.01L, 10.01L, 8.405L, 90, 90, 120}, "P 63"},
        // Rhombohedral (hexagonal axes)
        {"corundum", "rhombohedral", "hR", {4.7589L, 4.7589L, 12.991L, 90, 90, 120}, "R -3 c"},
        {"calcite", "rhombohedral", "hR", {4.9896L, 4.9896L, 17.061L, 90, 90, 120}, "R -3 c"},
        {"hematite", "rhombohedral", "hR", {5.0356L, 5.0356L, 13.7489L, 90, 90, 120}, "R -3 c"},
        {"Bi2Te3", "rhombohedral", "hR", {4.386L, 4.386L, 30.497L, 90, 90, 120}, "R -3 m"},
        {"dolomite", "rhombohedral", "hR", {4.8079L, 4.8079L, 16.010L, 90, 90, 120}, "R -3"},
        {"LiNbO3", "rhombohedral", "hR", {5.148L, 5.148L, 13.863L, 90, 90, 120}, "R 3 c"},
        // Orthorhombic
        {"forsterite", "orthorhombic", "oP", {4.756L, 10.207L, 5.980L, 90, 90, 90}, "P b n m"},
        {"aragonite", "orthorhombic", "oP", {4.9614L, 7.9671L, 5.7404L, 90, 90, 90}, "P m c n"},
        {"barite", "orthorhombic", "oP", {8.884L, 5.457L, 7.157L, 90, 90, 90}, "P n m a"},
        {"enstatite", "orthorhombic", "oP", {18.23L, 8.82L, 5.18L, 90, 90, 90}, "P b c a"},
        {"andalusite", "orthorhombic", "oP", {7.798L, 7.903L, 5.557L, 90, 90, 90}, "P n n m"},
        {"alpha-U", "orthorhombic", "oC", {2.854L, 5.869L, 4.955L, 90, 90, 90}, "C m c m"},
        {"natrolite", "orthorhombic", "oF", {18.29L, 18.64L, 6.59L, 90, 90, 90}, "F d d 2"},
        {"cementite", "orthorhombic", "oP", {5.09L, 6.74L, 4.52L, 90, 90, 90}, "P n m a"},
        // Monoclinic (b unique)
        {"diopside", "monoclinic", "mC", {9.746L, 8.899L, 5.251L, 90, 105.63L, 90}, "C 1 2/c 1"},
        {"gypsum", "monoclinic", "mC", {6.284L, 15.20L, 6.523L, 90, 127.41L, 90}, "C 1 2/c 1"},
        {"monazite", "monoclinic", "mP", {6.79L, 7.02L, 6.47L, 90, 103.4L, 90}, "P 1 21/n 1"},
        {"orthoclase", "monoclinic", "mC", {8.56L, 12.96L, 7.21L, 90, 116.1L, 90}, "C 1 2/m 1"},
        {"epidote", "monoclinic", "mP", {8.89L, 5.63L, 10.15L, 90, 115.4L, 90}, "P 1 21/m 1"},
        {"azurite", "monoclinic", "mP", {5.01L, 5.85L, 10.35L, 90, 92.4L, 90}, "P 1 21/c 1"},
        {"realgar", "monoclinic", "mP", {9.33L, 13.57L, 6.59L, 90, 106.4L, 90}, "P 1 21/n 1"},
        {"paracetamol", "monoclinic", "mP", {7.10L, 9.38L, 11.71L, 90, 97.4L, 90}, "P 1 21/n 1"},
        {"aspirin", "monoclinic", "mP", {11.43L, 6.59L, 11.40L, 90, 95.7L, 90}, "P 1 21/c 1"},
        {"sucrose", "monoclinic", "mP", {10.86L, 8.70L, 7.76L, 90, 102.9L, 90}, "P 1 21 1"},
        {"ibuprofen", "monoclinic", "mP", {14.67L, 7.89L, 10.73L, 90, 99.4L, 90}, "P 1 21/c 1"},
        {"carbamazepine III",
         "monoclinic",
         "mP",
         {7.53L, 11.16L, 15.03L, 90, 92.9L, 90},
         "P 1 21/n 1"},
        // Triclinic
        {"kyanite", "triclinic", "aP", {7.126L, 7.852L, 5.572L, 89.99L, 101.11L, 106.03L}, "P -1"},
        {"wollastonite", "triclinic", "aP", {7.94L, 7.32L, 7.07L, 90.0L, 95.4L, 103.4L}, "P -1"},
        {"rhodonite", "triclinic", "aP", {7.68L, 11.82L, 6.71L, 92.4L, 94.3L, 105.7L}, "P -1"},
        {"turquoise", "triclinic", "aP", {7.42L, 7.63L, 9.91L, 68.6L, 69.7L, 65.1L}, "P -1"},
        {"axinite", "triclinic", "aP", {7.16L, 9.20L, 8.96L, 91.8L, 98.1L, 77.3L}, "P -1"},
        {"low albite", "triclinic", "aP", {8.14L, 12.79L, 7.16L, 94.3L, 116.6L, 87.7L}, "C -1"},
        {"microcline", "triclinic", "aP", {8.57L, 12.96L, 7.22L, 90.6L, 116.0L, 87.7L}, "C -1"},
    };
    return cells;
}

}  // namespace dorvalix::indexing::bench
