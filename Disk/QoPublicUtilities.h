#pragma once
#include <QString>
#include <QtGlobal>

class QFont;

// Shared helpers without state: size texts, the system version as one
// comparable number, the network test, and the font names kept in the
// per-user settings copy (PrivateData.h). Safe to call from any thread,
// except the font accessors, which belong to the main thread.
class QoPublicUtilities {
public:
    // Byte counts in steps of 1000: "%.0f byte" up to 999 (negative counts
    // included, so -1 reads "-1 byte"), then "%0.2f KB", "MB", "GB", "TB".
    // The quotient is held in single precision before formatting.
    static QString longlongConvertVolSpace(qint64 bytes);
    // The same text under the name the pages use for selections.
    static QString longlongDiskSize(qint64 bytes);
    // The file browser's size column: as above but never beyond GB.
    static QString convertVolSpace(quint64 bytes);

    // major × 100 + minor: 10.9 gives 1009, 11.0 gives 1100; 1000 when the
    // version cannot be read.
    static int getSystemVersion();
    // The parts of the version; each out-pointer may be null.
    static void getSystemVersionMajor(qint32 *major, qint32 *minor, qint32 *bugFix);

    // True only when 0.0.0.0 is reachable without a connection to be made first.
    static bool isCanBeUseNetWork();

    // Kept for its callers; has no effect.
    static void writeFileWithTab(const QString &text);

    // Font names in the per-user settings copy ("FontLight", "FontRegular",
    // "FontMBold", "FontSBold", "FontBold"). A writer stores the PostScript
    // name of the face the font is drawn with (Platform::Fonts::postScriptName;
    // empty when no face is known; the name overloads store the text as it
    // is); a reader returns the stored name, or a null string. Callers build
    // the font with Platform::Fonts::fontWithName(name, size). Every call
    // reads the file afresh; a writer
    // changes nothing when the per-user copy is missing or unreadable.
    static void writLightFont(const QFont &font);
    static void writRegularFont(const QFont &font);
    static void writMBoldFont(const QFont &font);
    static void writSBoldFont(const QFont &font);
    static void writBoldFont(const QFont &font);
    static void writLightFont(const QString &fontName);
    static void writRegularFont(const QString &fontName);
    static void writMBoldFont(const QString &fontName);
    static void writSBoldFont(const QString &fontName);
    static void writBoldFont(const QString &fontName);
    static QString getLightFontName();
    static QString getRegularFontName();
    static QString getMBoldFontName();
    static QString getSBoldFontName();
    static QString getBoldFontName();
};
