// Dorvalix: refinement of lattice constants from indexed powder-diffraction data.
#include <QApplication>

#include "qt_ui.h"
#include "settings.h"
#include "tform1.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const std::string executable = QCoreApplication::applicationFilePath().toStdString();
    dorvalix::QtUi ui(QString::fromStdString(dorvalix::ProgramTitle(executable)));
    // The main window first: its creation reads the settings and applies the captions.
    dorvalix::TForm1 form(ui, executable);
    ui.SetParent(&form);
    // The secondary windows are created after it, hidden, and register with the Ui what
    // opens them.
    form.show();
    return app.exec();
}
