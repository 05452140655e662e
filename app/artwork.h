// The program's pictures, drawn in code: the application icon and the About
// page's banner.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace vq {

// A chip with a radio wave above it, at several sizes.
QIcon ApplicationIcon();
QPixmap ApplicationIconPixmap(int size);
// Banner across the top of the About page.
QPixmap AboutBanner(int width, int height);

} // namespace vq
