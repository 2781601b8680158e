#pragma once
#include <QString>

// Links of the resource settings copy, looked up by key ("AboutURL",
// "OnlineHelp", "Support", "SupportTeam", "IniURL", "UpdateURL") in the
// dictionary of the current language (the first "AppleLanguages" entry, used
// as it is), falling back to "en". Keeps no state; any thread.
class QoLinkUrl {
public:
    // The link, or a null string when neither dictionary has it (the caller
    // then opens nothing).
    static QString GetUrl(const QString &key);
};
