// Dorvalix: refinement of lattice constants from indexed powder-diffraction data.
#include <QApplication>

#include "cell_constant_dialog.h"
#include "hkl_table_window.h"
#include "main_window.h"
#include "qt_ui.h"
#include "settings.h"
#include "sort_progress_window.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const std::string executable = QCoreApplication::applicationFilePath().toStdString();
    dorvalix::QtUi ui(QString::fromStdString(dorvalix::ProgramTitle(executable)));
    // The main window first: its creation reads the settings and applies the captions.
    dorvalix::MainWindow form(ui, executable);
    ui.SetParent(&form);
    // The secondary windows are created after it, hidden, and register with the Ui what
    // opens them.
    dorvalix::HklTableWindow form7(ui, form.State(), &form);
    dorvalix::CellConstantDialog form8(ui, form7.State(), &form7);
    dorvalix::SortProgressWindow form9(&form7);
    // While a window is open, the boxes and input dialogs of its commands belong to it.
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
    ui.SetProgressHooks({[&](int maximum) { form9.Begin(maximum); },
                         [&](int position) { form9.SetPosition(position); }, [&] { form9.End(); }});
    form.show();
    return app.exec();
}
