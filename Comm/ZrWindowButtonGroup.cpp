#include "ZrWindowButtonGroup.h"

#include "NotificationCenter.h"

#include <map>
#include <memory>

ZrWindowButtonGroup *ZrWindowButtonGroup::groupWithIdentifier(const QString &identifier)
{
    static std::map<QString, std::unique_ptr<ZrWindowButtonGroup>> groups;
    const QString key = identifier.isEmpty() ? DefaultIdentifier : identifier;
    std::unique_ptr<ZrWindowButtonGroup> &group = groups[key];
    if (!group)
        group.reset(new ZrWindowButtonGroup(key));
    return group.get();
}

void ZrWindowButtonGroup::setNumberOfCaptures(int count)
{
    if (count < 0 || count == m_numberOfCaptures)
        return;
    m_numberOfCaptures = count;
    Platform::NotificationCenter::defaultCenter().post(DidUpdateRolloverStateNotification, this);
}
