#include "QoPublicUtilities.h"

#include "PrivateData.h"

#include "Platform/Fonts.h"
#include "Platform/SystemInfo.h"
#include "Platform/SystemLog.h"

#include <QFont>

#include <algorithm>

namespace {

QString sizeText(double n, bool beyondGB)
{
    // The step is decided on the count; the shown number is a float.
    if (n <= 999.0)
        return QString::asprintf("%.0f byte", double(float(n)));
    if (n <= 999999.0)
        return QString::asprintf("%0.2f KB", double(float(n / 1000.0)));
    if (n <= 999999999.0)
        return QString::asprintf("%0.2f MB", double(float(n / 1000000.0)));
    if (!beyondGB || n <= 999999999999.0)
        return QString::asprintf("%0.2f GB", double(float(n / 1000000000.0)));
    return QString::asprintf("%0.2f TB", double(float(n / 1000000000000.0)));
}

// Gestalt's place. Its selectors: the packed version 'sysv' (one decimal digit
// per four bits, minor and patch level capped at 9) and the three parts.
enum class GestaltSelector { SystemVersion, Major, Minor, BugFix };
constexpr long kGestaltUndefSelectorErr = -5551;

long gestalt(GestaltSelector selector, qint32 *response)
{
    const auto v = Platform::SystemInfo::systemVersion();
    if (!v)
        return kGestaltUndefSelectorErr;
    switch (selector) {
    case GestaltSelector::SystemVersion: {
        const int major = std::clamp(v->major, 0, 99);
        *response = ((major / 10) << 12) | ((major % 10) << 8) | (std::clamp(v->minor, 0, 9) << 4) |
                    std::clamp(v->bugFix, 0, 9);
        return 0;
    }
    case GestaltSelector::Major:
        *response = v->major;
        return 0;
    case GestaltSelector::Minor:
        *response = v->minor;
        return 0;
    case GestaltSelector::BugFix:
        *response = v->bugFix;
        return 0;
    }
    return kGestaltUndefSelectorErr;
}

void writeFontName(const char *key, const QString &name) { DMSetUserInfoPlistValue(QLatin1String(key), name); }

QString readFontName(const char *key)
{
    const auto dict = DMReadUserInfoPlist();
    if (!dict)
        return {};
    const QVariant v = dict->value(QLatin1String(key));
    return v.isValid() ? v.toString() : QString();
}

} // namespace

QString QoPublicUtilities::longlongConvertVolSpace(qint64 bytes) { return sizeText(double(bytes), true); }

QString QoPublicUtilities::longlongDiskSize(qint64 bytes) { return sizeText(double(bytes), true); }

QString QoPublicUtilities::convertVolSpace(quint64 bytes) { return sizeText(double(bytes), false); }

void QoPublicUtilities::getSystemVersionMajor(qint32 *major, qint32 *minor, qint32 *bugFix)
{
    qint32 maj = 0, min = 0, fix = 0;
    qint32 packed = 0;
    long err = gestalt(GestaltSelector::SystemVersion, &packed);
    if (err == 0 && packed <= 0x103F) {
        maj = ((packed >> 12) & 0xF) * 10 + ((packed >> 8) & 0xF);
        min = (packed >> 4) & 0xF;
        fix = packed & 0xF;
    } else if (err == 0 && (err = gestalt(GestaltSelector::Major, &maj)) == 0 &&
               (err = gestalt(GestaltSelector::Minor, &min)) == 0 &&
               (err = gestalt(GestaltSelector::BugFix, &fix)) == 0) {
        // the three parts as they are
    }
    if (err != 0) {
        Platform::systemLog(QStringLiteral("Unable to obtain system version: %1").arg(err));
        maj = 10;
        min = 0;
        fix = 0;
    }
    if (major)
        *major = maj;
    if (minor)
        *minor = min;
    if (bugFix)
        *bugFix = fix;
}

int QoPublicUtilities::getSystemVersion()
{
    qint32 major = 0, minor = 0, bugFix = 0;
    getSystemVersionMajor(&major, &minor, &bugFix);
    QString minorText = QString::number(uint(minor));
    if (uint(minor) < 10)
        minorText = QStringLiteral("0") + QString::number(uint(minor));
    return (QString::number(uint(major)) + minorText).toInt();
}

bool QoPublicUtilities::isCanBeUseNetWork()
{
    constexpr quint32 kReachable = 2, kConnectionRequired = 4;
    const auto flags = Platform::SystemInfo::reachabilityFlags();
    return flags && (*flags & (kReachable | kConnectionRequired)) == kReachable;
}

void QoPublicUtilities::writeFileWithTab(const QString &) {}

void QoPublicUtilities::writLightFont(const QFont &font) { writLightFont(Platform::Fonts::postScriptName(font)); }
void QoPublicUtilities::writRegularFont(const QFont &font) { writRegularFont(Platform::Fonts::postScriptName(font)); }
void QoPublicUtilities::writMBoldFont(const QFont &font) { writMBoldFont(Platform::Fonts::postScriptName(font)); }
void QoPublicUtilities::writSBoldFont(const QFont &font) { writSBoldFont(Platform::Fonts::postScriptName(font)); }
void QoPublicUtilities::writBoldFont(const QFont &font) { writBoldFont(Platform::Fonts::postScriptName(font)); }
void QoPublicUtilities::writLightFont(const QString &fontName) { writeFontName("FontLight", fontName); }
void QoPublicUtilities::writRegularFont(const QString &fontName) { writeFontName("FontRegular", fontName); }
void QoPublicUtilities::writMBoldFont(const QString &fontName) { writeFontName("FontMBold", fontName); }
void QoPublicUtilities::writSBoldFont(const QString &fontName) { writeFontName("FontSBold", fontName); }
void QoPublicUtilities::writBoldFont(const QString &fontName) { writeFontName("FontBold", fontName); }
QString QoPublicUtilities::getLightFontName() { return readFontName("FontLight"); }
QString QoPublicUtilities::getRegularFontName() { return readFontName("FontRegular"); }
QString QoPublicUtilities::getMBoldFontName() { return readFontName("FontMBold"); }
QString QoPublicUtilities::getSBoldFontName() { return readFontName("FontSBold"); }
QString QoPublicUtilities::getBoldFontName() { return readFontName("FontBold"); }
