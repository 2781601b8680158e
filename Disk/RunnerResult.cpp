#include "RunnerResult.h"

#include "Platform/PropertyList.h"

std::optional<QVariantMap> RunnerResult::dictionary() const
{
    const QVariant v = Platform::PropertyList::fromData(output);
    if (v.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    return v.toMap();
}
