// SPDX-License-Identifier: GPL-3.0-or-later
#include "line_merit.h"

#include <cfenv>

#include "details_internal.h"

namespace dorvalix {

FiguresOfMerit FiguresOfMeritOfLines(int code, const std::vector<IndexedLine>& lines,
                                     const long double* x, const DetailsOptions& options) {
    // The figures guard their own domains; the caller's fault flags are left as they were.
    std::fexcept_t saved;
    std::fegetexceptflag(&saved, FE_ALL_EXCEPT);
    details::Observations o;
    o.code = code;
    o.n = static_cast<int>(lines.size());
    o.p = ParameterCount(code);
    o.a.assign(static_cast<std::size_t>(o.p), std::vector<long double>(lines.size()));
    std::vector<long double> qCalc(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const IndexedLine& line = lines[i];
        o.rows.push_back(line.row);
        o.h.push_back(line.h);
        o.k.push_back(line.k);
        o.l.push_back(line.l);
        o.d.push_back(line.d);
        o.qObs.push_back(1 / (line.d * line.d));
        const DesignRow row = MakeDesignRow(code, line.h, line.k, line.l);
        for (int j = 0; j < o.p; ++j)
            o.a[static_cast<std::size_t>(j)][i] = row[static_cast<std::size_t>(j)];
        qCalc[i] = details::DesignDot(o, static_cast<int>(i), x);
    }
    FiguresOfMerit merit = details::ComputeFiguresOfMerit(o, qCalc, x, options);
    std::fesetexceptflag(&saved, FE_ALL_EXCEPT);
    return merit;
}

}  // namespace dorvalix
