#pragma once
// Window buttons that share one rollover state: while the pointer is over any
// button of a group, all of them show their rollover image. Groups are kept
// by identifier for the life of the process (main thread only).
#include <QString>

class ZrWindowButtonGroup {
public:
    static inline const QString DefaultIdentifier =
        QStringLiteral("com.fennick.ZrImageWindow.defaultWindowButtonGroup");
    static inline const QString DidUpdateRolloverStateNotification =
        QStringLiteral("ZrWindowButtonGroupDidUpdateRolloverStateNotification");

    // The group registered under `identifier` (an empty identifier stands for
    // the default group), made on first use.
    static ZrWindowButtonGroup *groupWithIdentifier(const QString &identifier = QString());

    QString identifier() const { return m_identifier; }
    int numberOfCaptures() const { return m_numberOfCaptures; }
    // A negative value or the current one is ignored; otherwise the value is
    // stored and the rollover notification posted with the group as object.
    void setNumberOfCaptures(int count);
    // These change the count without posting.
    void didCaptureMousePointer() { ++m_numberOfCaptures; }
    void didReleaseMousePointer() { --m_numberOfCaptures; }
    void resetMouseCaptures() { m_numberOfCaptures = 0; }
    bool shouldDisplayRollOver() const { return m_numberOfCaptures > 0; }

    ZrWindowButtonGroup(const ZrWindowButtonGroup &) = delete;
    ZrWindowButtonGroup &operator=(const ZrWindowButtonGroup &) = delete;

private:
    explicit ZrWindowButtonGroup(const QString &identifier) : m_identifier(identifier) {}

    QString m_identifier;
    int m_numberOfCaptures = 0;
};
