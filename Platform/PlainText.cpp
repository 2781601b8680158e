#include "PlainText.h"

#include <QLabel>

namespace Platform {

void setPlainText(QLabel *label, const QString &text)
{
    if (!label)
        return;
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
}

QString plainToolTip(const QString &text)
{
    // Rich text that says the text itself: escaped, its spaces and line ends
    // kept, long lines still wrapped.
    return text.isEmpty()
               ? QString()
               : QStringLiteral("<p style=\"white-space:pre-wrap\">") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

} // namespace Platform
