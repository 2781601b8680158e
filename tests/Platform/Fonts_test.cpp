#include <gtest/gtest.h>

#include "Fonts.h"

#include <QFontInfo>

namespace {

QFont font(const char *family, int weight = QFont::Normal, bool italic = false)
{
    QFont f{QString::fromUtf8(family)};
    f.setWeight(QFont::Weight(weight));
    f.setItalic(italic);
    return f;
}

} // namespace

// The writers keep the name of the face itself, not of its family.
TEST(Fonts, PostScriptNameOfTheFaceAFontIsDrawnWith)
{
    struct Case {
        QFont font;
        const char *name;
    };
    QFont condensed = font("DejaVu Sans", QFont::Bold);
    condensed.setStyleName(QStringLiteral("Condensed Bold"));
    const Case cases[] = {
        {font("DejaVu Sans"), "DejaVuSans"},
        {font("DejaVu Sans", QFont::Bold), "DejaVuSans-Bold"},
        {font("DejaVu Sans", QFont::Normal, true), "DejaVuSans-Oblique"},
        {font("DejaVu Serif", QFont::Bold, true), "DejaVuSerif-BoldItalic"},
        {font("DejaVu Sans Mono", QFont::Bold), "DejaVuSansMono-Bold"},
        {condensed, "DejaVuSansCondensed-Bold"},
        {font("Noto Sans CJK SC", QFont::Bold), "NotoSansCJKsc-Bold"},
        {font("Noto Sans CJK SC"), "NotoSansCJKsc-Regular"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Platform::Fonts::postScriptName(c.font).toStdString(), c.name);
    }
}

TEST(Fonts, FontWithNameGivesThatFace)
{
    struct Case {
        const char *name;
        const char *family;
        const char *style;
        int weight;
        QFont::Style slant;
    };
    const Case cases[] = {
        {"DejaVuSans-Bold", "DejaVu Sans", "Bold", QFont::Bold, QFont::StyleNormal},
        {"DejaVuSerif-Italic", "DejaVu Serif", "Italic", QFont::Normal, QFont::StyleItalic},
        {"DejaVuSansCondensed-Bold", "DejaVu Sans", "Condensed Bold", QFont::Bold, QFont::StyleNormal},
        {"NotoSansCJKsc-Bold", "Noto Sans CJK SC", "Bold", QFont::Bold, QFont::StyleNormal},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<QFont> f = Platform::Fonts::fontWithName(QString::fromUtf8(c.name), 18);
        ASSERT_TRUE(f);
        EXPECT_EQ(f->pixelSize(), 18);
        const QFontInfo info(*f);
        EXPECT_EQ(info.family().toStdString(), c.family);
        EXPECT_EQ(info.styleName().toStdString(), c.style);
        EXPECT_EQ(info.weight(), c.weight);
        EXPECT_EQ(info.style(), c.slant);
        // What the writers would store for it is the same name again.
        EXPECT_EQ(Platform::Fonts::postScriptName(*f).toStdString(), c.name);
    }
}

TEST(Fonts, UnknownOrEmptyNameGivesNoFont)
{
    EXPECT_FALSE(Platform::Fonts::fontWithName(QStringLiteral("NoSuchFace-Bold"), 13));
    EXPECT_FALSE(Platform::Fonts::fontWithName(QString(), 13));
    // A family name is no PostScript name, nor is the name in other letters.
    EXPECT_FALSE(Platform::Fonts::fontWithName(QStringLiteral("DejaVu Sans"), 13));
    EXPECT_FALSE(Platform::Fonts::fontWithName(QStringLiteral("dejavusans-bold"), 13));
}
