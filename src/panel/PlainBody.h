// SPDX-License-Identifier: GPL-3.0-or-later
// The panel's picture when no meter body picture can be shown (no picture file,
// or a model without one): a plain LCD glass and the outlines of the keys.
#pragma once

#include <QImage>

namespace vandrel {

// 120 x 355, in the body picture's own coordinates.
QImage plainBodyPicture(int scale = 1);

} // namespace vandrel
