// SPDX-License-Identifier: GPL-3.0-or-later
// Dorvalix: refinement of lattice constants from indexed powder-diffraction data.
#include <QApplication>
#include <iostream>
#include <string>
#include <vector>

#include <QFileInfo>

#include "assign_dialog.h"
#include "cell_constant_dialog.h"
#include "data_files.h"
#include "hkl_table_window.h"
#include "indexing_window.h"
#include "install_paths.h"
#include "main_window.h"
#include "manual_window.h"
#include "pattern_window.h"
#include "principle_window.h"
#include "program_arguments.h"
#include "qt_ui.h"
#include "refinement_details_window.h"
#include "settings.h"
#include "sort_progress_window.h"
#include "version.h"
#include "version_window.h"

namespace {

// --help and --version answer before Qt starts, so they work without a display.
bool AnswerWithoutWindow(int argc, char* argv[], int& status) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--") break;
        const auto parsed = dorvalix::ParseProgramArguments({arg});
        if (parsed.action == dorvalix::ProgramArguments::Action::Help) {
            std::cout << dorvalix::ProgramHelpText();
            status = 0;
            return true;
        }
        if (parsed.action == dorvalix::ProgramArguments::Action::Version) {
            std::cout << dorvalix::VersionText("dorvalix");
            status = 0;
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char* argv[]) {
    int status = 0;
    if (AnswerWithoutWindow(argc, argv, status)) return status;
    QApplication app(argc, argv);
    // What is left once Qt has taken its own options (-platform, -style ...).
    std::vector<std::string> args;
    for (const QString& arg : QCoreApplication::arguments().mid(1))
        args.push_back(arg.toStdString());
    const dorvalix::ProgramArguments parsed = dorvalix::ParseProgramArguments(args);
    if (parsed.action == dorvalix::ProgramArguments::Action::WrongUsage) {
        std::cerr << "dorvalix: " << parsed.message << "\n" << dorvalix::ProgramUsageLine();
        return 2;
    }
    const std::string executable = QCoreApplication::applicationFilePath().toStdString();
    dorvalix::QtUi ui(QString::fromStdString(dorvalix::ProgramTitle(executable)));
    // The main window first: its creation reads the settings and applies the captions.
    dorvalix::MainWindow form(ui, executable);
    ui.SetParent(&form);
    // The secondary windows are created after it, hidden, and register with the Ui what
    // opens them. The manual windows read their files now; the principle text that the
    // Japanese manual's button loads is shown by TForm4.
    using dorvalix::Lang;
    const std::string dataFolder =
        dorvalix::DataFolderFor(executable, dorvalix::SystemPathEnvironment());
    const std::string picture = dorvalix::FindVersionPicture(
        QFileInfo(QString::fromStdString(executable)).absolutePath().toStdString(), dataFolder);
    dorvalix::PrincipleWindowState principle;
    dorvalix::VersionWindow form2(Lang::Japanese, picture, &form);
    dorvalix::ManualWindow form3(ui, Lang::Japanese, dataFolder, &principle, &form);
    dorvalix::PrincipleWindow form4(principle, &form3);
    dorvalix::VersionWindow form5(Lang::English, picture, &form);
    dorvalix::ManualWindow form6(ui, Lang::English, dataFolder, nullptr, &form);
    dorvalix::HklTableWindow form7(ui, form.State(), &form);
    dorvalix::CellConstantDialog form8(ui, form7.State(), &form7);
    dorvalix::SortProgressWindow form9(&form7);
    // The modeless details window follows every command of the main window.
    dorvalix::RefinementDetailsWindow form10(ui, form.State(), &form);
    QObject::connect(&form, &dorvalix::MainWindow::StateShown, &form10, [&] {
        if (form10.isVisible()) form10.Follow();
    });
    // The modeless pattern window: its tick marks follow the refined cell and the hkl
    // window's cell; its peaks go to the main window's table, its λ₁ to the settings.
    dorvalix::PatternWindow form11(ui, form.State(), &form);
    form11.State().hkl = &form7.State().hkl;
    QObject::connect(&form, &dorvalix::MainWindow::StateShown, &form11, [&] {
        if (form11.isVisible()) form11.Follow();
    });
    QObject::connect(&form11, &dorvalix::PatternWindow::MainStateChanged, &form,
                     [&] { form.SyncFromState(); });
    // A dropped or named file: a pattern opens the pattern window, any other file is read
    // as an observation file.
    auto openFile = [&](const std::string& path) {
        if (dorvalix::IsPatternFileName(path)) {
            form11.OpenFile(path, &form);
        } else {
            form.ReadFileAtStart(path);
        }
    };
    QObject::connect(&form, &dorvalix::MainWindow::FileDropped, &form11, openFile);
    // The modeless dialog that assigns indices from a known cell: the lines of the table or
    // of the pattern window, the cell of the last result, of the hkl window or of a CIF.
    dorvalix::AssignDialog form13(ui, form.State(), &form7.State(), &form11.State(), &form);
    QObject::connect(&form, &dorvalix::MainWindow::StateShown, &form13, [&] {
        if (form13.isVisible()) form13.Follow();
    });
    QObject::connect(&form13, &dorvalix::AssignDialog::MainStateChanged, &form,
                     [&] { form.SyncFromState(); });
    // The modeless indexing window: the pattern window's peaks or the table's d column;
    // the chosen candidate's tick marks under the pattern; Use This Cell fills the table.
    dorvalix::IndexingWindow form12(ui, form.State(), &form11.State(), &form);
    QObject::connect(&form, &dorvalix::MainWindow::StateShown, &form12, [&] {
        if (form12.isVisible()) form12.Follow();
    });
    QObject::connect(&form12, &dorvalix::IndexingWindow::MainStateChanged, &form,
                     [&] { form.SyncFromState(); });
    QObject::connect(&form12, &dorvalix::IndexingWindow::PatternStateChanged, &form11,
                     [&] { form11.SyncFromState(); });
    QObject::connect(&form11, &dorvalix::PatternWindow::CommandRun, &form12, [&] {
        if (form12.isVisible()) form12.Follow();
    });
    // While a window is open, the boxes and input dialogs of its commands belong to it.
    ui.SetWindowOpener(dorvalix::SecondaryWindow::TForm2, [&] { form2.Open(); });
    ui.SetWindowOpener(dorvalix::SecondaryWindow::TForm3, [&] {
        ui.SetParent(&form3);
        form3.Open();
        ui.SetParent(&form);
    });
    ui.SetWindowOpener(dorvalix::SecondaryWindow::TForm4, [&] {
        ui.SetParent(&form4);
        form4.Open();
        ui.SetParent(&form3);
    });
    ui.SetWindowOpener(dorvalix::SecondaryWindow::TForm5, [&] { form5.Open(); });
    ui.SetWindowOpener(dorvalix::SecondaryWindow::TForm6, [&] {
        ui.SetParent(&form6);
        form6.Open();
        ui.SetParent(&form);
    });
    ui.SetWindowOpener(dorvalix::SecondaryWindow::TForm7, [&] {
        ui.SetParent(&form7);
        form7.Open();
        ui.SetParent(&form);
    });
    ui.SetWindowOpener(dorvalix::SecondaryWindow::TForm8, [&] {
        ui.SetParent(&form8);
        form8.Open();
        ui.SetParent(&form7);
    });
    ui.SetWindowOpener(dorvalix::SecondaryWindow::TForm10, [&] { form10.Open(&form); });
    ui.SetWindowOpener(dorvalix::SecondaryWindow::TForm11, [&] { form11.OpenFileDialog(&form); });
    ui.SetWindowOpener(dorvalix::SecondaryWindow::TForm12, [&] { form12.Open(); });
    ui.SetWindowOpener(dorvalix::SecondaryWindow::TForm13, [&] { form13.Open(); });
    ui.SetProgressHooks({[&](int maximum) { form9.Begin(maximum); },
                         [&](int position) { form9.SetPosition(position); }, [&] { form9.End(); }});
    form.show();
    if (!parsed.file.empty()) openFile(parsed.file);
    return app.exec();
}
