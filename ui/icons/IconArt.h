#pragma once

// Kelvane's twenty monochrome icons, drawn as template shapes: only the alpha matters, the
// colour is the icon's tint, applied when the icon is shown.

#include <QImage>
#include <QString>
#include <QStringList>

namespace kelvane::ui {

// The icons' names, which are also their files' base names.
QStringList iconNames();
// The named icon drawn in black on transparent at `pixels` × `pixels`; a null image for an
// unknown name.
QImage drawIcon(const QString& name, int pixels);

// The application's own icon, in colour: a white shield with a tick on a green rounded square.
// The same drawing as ui/desktop/com.orrindale.Kelvane.svg, for the theme's PNG sizes.
QImage drawAppIcon(int pixels);

}  // namespace kelvane::ui
