#include "Fonts.h"

#include <QFontInfo>
#include <QGuiApplication>

#include <fontconfig/fontconfig.h>

#include <memory>

namespace Platform::Fonts {
namespace {

struct PatternFree {
    void operator()(FcPattern *p) const { FcPatternDestroy(p); }
};
struct FontSetFree {
    void operator()(FcFontSet *s) const { FcFontSetDestroy(s); }
};
struct ObjectSetFree {
    void operator()(FcObjectSet *s) const { FcObjectSetDestroy(s); }
};
using Pattern = std::unique_ptr<FcPattern, PatternFree>;

bool initialised()
{
    static const bool ok = FcInit() == FcTrue;
    return ok;
}

QString stringOf(const FcPattern *p, const char *object)
{
    FcChar8 *value = nullptr;
    if (FcPatternGetString(p, object, 0, &value) != FcResultMatch || !value)
        return {};
    return QString::fromUtf8(reinterpret_cast<const char *>(value));
}

} // namespace

QString postScriptName(const QFont &font)
{
    if (!initialised() || !qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return {};
    // Ask for the face Qt really draws with: its family after substitution,
    // its style name, weight and slant.
    const QFontInfo info(font);
    const QByteArray family = info.family().toUtf8();
    Pattern pattern(FcPatternCreate());
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8 *>(family.constData()));
    // The style name tells faces of one weight apart ("Condensed Bold").
    const QByteArray style = info.styleName().toUtf8();
    if (!style.isEmpty())
        FcPatternAddString(pattern.get(), FC_STYLE, reinterpret_cast<const FcChar8 *>(style.constData()));
    FcPatternAddDouble(pattern.get(), FC_WEIGHT, FcWeightFromOpenTypeDouble(double(info.weight())));
    FcPatternAddInteger(pattern.get(), FC_SLANT,
                        info.style() == QFont::StyleItalic    ? FC_SLANT_ITALIC
                        : info.style() == QFont::StyleOblique ? FC_SLANT_OBLIQUE
                                                              : FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    const Pattern match(FcFontMatch(nullptr, pattern.get(), &result));
    if (!match || result != FcResultMatch)
        return {};
    return stringOf(match.get(), FC_POSTSCRIPT_NAME);
}

std::optional<QFont> fontWithName(const QString &postScriptName, int pixelSize)
{
    if (postScriptName.isEmpty() || !initialised())
        return std::nullopt;
    const QByteArray name = postScriptName.toUtf8();
    Pattern pattern(FcPatternCreate());
    FcPatternAddString(pattern.get(), FC_POSTSCRIPT_NAME, reinterpret_cast<const FcChar8 *>(name.constData()));
    const std::unique_ptr<FcObjectSet, ObjectSetFree> objects(
        FcObjectSetBuild(FC_FAMILY, FC_STYLE, FC_WEIGHT, FC_SLANT, FC_POSTSCRIPT_NAME, nullptr));
    const std::unique_ptr<FcFontSet, FontSetFree> faces(FcFontList(nullptr, pattern.get(), objects.get()));
    // fontconfig compares the names ignoring case and blanks; a face is
    // named only by its own name, letter for letter.
    const FcPattern *face = nullptr;
    for (int i = 0; faces && i < faces->nfont && !face; ++i)
        if (stringOf(faces->fonts[i], FC_POSTSCRIPT_NAME) == postScriptName)
            face = faces->fonts[i];
    if (!face)
        return std::nullopt;
    QFont font(stringOf(face, FC_FAMILY));
    double weight = FC_WEIGHT_REGULAR;
    if (FcPatternGetDouble(face, FC_WEIGHT, 0, &weight) == FcResultMatch)
        font.setWeight(QFont::Weight(qBound(1, int(FcWeightToOpenTypeDouble(weight) + 0.5), 1000)));
    int slant = FC_SLANT_ROMAN;
    if (FcPatternGetInteger(face, FC_SLANT, 0, &slant) == FcResultMatch)
        font.setStyle(slant == FC_SLANT_ITALIC    ? QFont::StyleItalic
                      : slant == FC_SLANT_OBLIQUE ? QFont::StyleOblique
                                                  : QFont::StyleNormal);
    // The style name picks the one face of the family (a family may hold
    // several faces of one weight, e.g. a condensed one).
    font.setStyleName(stringOf(face, FC_STYLE));
    if (pixelSize > 0)
        font.setPixelSize(pixelSize);
    return font;
}

} // namespace Platform::Fonts
