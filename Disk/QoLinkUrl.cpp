#include "QoLinkUrl.h"

#include "Platform/Bundle.h"
#include "Platform/PropertyList.h"
#include "Platform/UserDefaults.h"

QString QoLinkUrl::GetUrl(const QString &key)
{
    const QString language = Platform::UserDefaults::standard().appleLanguages().value(0);
    const auto settings = Platform::PropertyList::readDictionary(Platform::Bundle::mainBundle().resourcePath() +
                                                                 QStringLiteral("/PrivateData.plist"));
    if (!settings)
        return {};
    const QVariant current = settings->value(language);
    if (current.typeId() == QMetaType::QVariantMap) {
        const QString link = current.toMap().value(key).toString();
        if (!link.isEmpty())
            return link;
    }
    const QVariant english = settings->value(QStringLiteral("en"));
    if (english.typeId() != QMetaType::QVariantMap)
        return {};
    const QVariant link = english.toMap().value(key);
    return link.isValid() ? link.toString() : QString();
}
