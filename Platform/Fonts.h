#pragma once
// The font names of the original platform: a face is named by its PostScript
// name ("NotoSansCJKsc-Bold"), which fontconfig knows for every installed face.
#include <QFont>
#include <QString>
#include <optional>

namespace Platform::Fonts {

// NSFont's fontName: the PostScript name of the face that `font` is drawn
// with here (the face Qt resolved it to). Empty when fontconfig knows no face
// for it. Needs the GUI application (the resolved face comes from it).
QString postScriptName(const QFont &font);

// fontWithName:size:: the installed face of that PostScript name at a pixel
// size; nothing when no installed face carries the name.
std::optional<QFont> fontWithName(const QString &postScriptName, int pixelSize);

} // namespace Platform::Fonts
