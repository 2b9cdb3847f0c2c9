// SPDX-License-Identifier: GPL-3.0-or-later
// A file of the lowest layer that includes a window: the layer check must refuse it.
#include "planted_window.h"
