#include "PlainText.h"

#include <QLabel>
#include <QTextDocument>

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
    return text.isEmpty() ? QString() : Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal);
}

} // namespace Platform
