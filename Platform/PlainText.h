#pragma once
#include <QString>

class QLabel;

namespace Platform {

// Text that comes from outside (names of volumes and files, paths, sizes,
// lines from the network) is shown as it is, never read as HTML: a label
// would otherwise guess rich text, and a tool tip always does. "Backup
// <b>2024</b>" stays those characters, and "<img src=…>" loads nothing.

// Sets the label's text and makes it plain text for good.
void setPlainText(QLabel *label, const QString &text);
// A tool tip that shows `text` exactly (escaped inside a paragraph); empty
// for an empty text, so that no tip is shown.
QString plainToolTip(const QString &text);

} // namespace Platform
