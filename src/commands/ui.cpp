// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui.h"

#include <exception>

#include "errors.h"

namespace dorvalix {

std::string ErrorBoxText(const std::string& text) {
    if (!text.empty() && text.back() == '.') return text;
    return text + ".";
}

bool Ui::RunCancellable(const std::string&, const std::string&,
                        const std::function<void(const ProgressReport&)>& work) {
    BusyScope busy(*this);
    work([](double) { return true; });
    return true;
}

bool RunCommand(Ui& ui, const std::function<void()>& command) {
    try {
        command();
        return true;
    } catch (const DorvalixError& e) {
        ui.ShowError(ErrorBoxText(e.Text()));
    } catch (const std::exception& e) {
        // Not one of the program's own errors (out of memory, a library failure): still
        // shown, and the program goes on.
        ui.ShowError(ErrorBoxText(e.what()));
    }
    return false;
}

}  // namespace dorvalix
