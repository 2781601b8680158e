#include "PreventSleep.h"

#include "Platform/PowerAssertion.h"
#include "Platform/SystemLog.h"

quint32 assertionID = 0;

void PreventSleep()
{
    const QString type = QStringLiteral("PreventUserIdleDisplaySleep");
    quint32 id = 0;
    if (Platform::PowerAssertion::createWithName(type, 255, type, &id) == Platform::PowerAssertion::Success) {
        assertionID = id;
        Platform::systemLog(QStringLiteral("prevent sleep!"));
    }
}
