// SPDX-License-Identifier: GPL-3.0-or-later
// A command that uses Qt: the layer check must refuse it.
#include <QString>
