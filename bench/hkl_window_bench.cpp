// SPDX-License-Identifier: GPL-3.0-or-later
// The hkl window on the offscreen platform, driven through its menu commands and its table
// model as a user drives it: Calculate, Sort and Send to ClipBoard on the table of a large
// triclinic cell (a = 25.1, b = 27.3, c = 30.2 Å, α = 85°, β = 95°, γ = 100°, Mo-Ka, minimum
// d 0.44 Å, every reflection: 995,514 rows). Each command is timed from the menu action to
// the grid redrawn, with the sort progress window and the clipboard of the running program.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QClipboard>
#include <memory>

#include "crystal_system.h"
#include "hkl_table_window.h"
#include "main_state.h"
#include "qt_ui.h"
#include "sort_progress_window.h"

namespace {

using namespace dorvalix;

// The program's windows as main() wires them, without the main window itself.
struct Program {
    QtUi ui{QStringLiteral("Dorvalix")};
    MainState main;
    std::unique_ptr<HklTableWindow> form7;
    std::unique_ptr<SortProgressWindow> form9;

    Program() {
        main.settings.lang = "e";
        main.settings.lamda = 0.710678L;  // Mo-Ka
        main.settings.xRay = "Mo-Ka";
        main.settings.dMin = 0.44L;
        main.settings.hklRange = "all";
        main.calc.crystalSystem = kTriclinic;
        form7 = std::make_unique<HklTableWindow>(ui, main);
        form9 = std::make_unique<SortProgressWindow>(form7.get());
        ui.SetParent(form7.get());
        ui.SetProgressHooks({[this](int maximum) { form9->Begin(maximum); },
                             [this](int position) { form9->SetPosition(position); },
                             [this] { form9->End(); }});
        form7->ShowWindow();
        HklWindowState& s = form7->State();
        const char* cell[6] = {"25.1", "27.3", "30.2", "85", "95", "100"};
        for (std::size_t row = 0; row < 6; ++row)
            s.cellGrid[row][1] = cell[row];
        form7->Run([](HklWindowState& state, Ui& u) {
            ReadCellGrid(state, u);
            ComputeIndexRange(state, u);
        });
        Settle();
    }

    // The menu item triggered, then the window drawn as the event loop would draw it.
    void Trigger(HklControl control) {
        form7->Action(control)->trigger();
        Settle();
    }
    void Settle() {
        QCoreApplication::processEvents();
        form7->repaint();
    }
    std::size_t Rows() const { return form7->TableModel()->rowCount(); }
};

Program& TheProgram() {
    static Program program;
    return program;
}

// Calculate: the table generated and shown in the grid.
void BM_WindowCalculate(benchmark::State& s) {
    Program& p = TheProgram();
    for (auto _ : s)
        p.Trigger(HklControl::N2);
    s.counters["rows"] = static_cast<double>(p.Rows());
}
BENCHMARK(BM_WindowCalculate)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// Sort of the table in generation order, with its progress window.
void BM_WindowSort(benchmark::State& s) {
    Program& p = TheProgram();
    for (auto _ : s) {
        s.PauseTiming();
        p.Trigger(HklControl::N2);
        s.ResumeTiming();
        p.Trigger(HklControl::N4);
    }
}
BENCHMARK(BM_WindowSort)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// Send to ClipBoard of the sorted table.
void BM_WindowSendToClipboard(benchmark::State& s) {
    Program& p = TheProgram();
    p.Trigger(HklControl::N2);
    p.Trigger(HklControl::N4);
    for (auto _ : s) {
        p.Trigger(HklControl::N15);
        benchmark::DoNotOptimize(QGuiApplication::clipboard());
    }
}
BENCHMARK(BM_WindowSendToClipboard)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
