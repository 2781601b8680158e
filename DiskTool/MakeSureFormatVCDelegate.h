#pragma once
#include <QString>

// What the format confirmation tells the page that opened it. Both optional.
class MakeSureFormatVCDelegate {
public:
    virtual ~MakeSureFormatVCDelegate() = default;
    virtual void cancelFormatVoluem() {}
    // The name as typed and the type text as chosen.
    virtual void makeSureToFormatSelectVolumeWithName(const QString &name, const QString &withType)
    {
        (void)name;
        (void)withType;
    }
};
