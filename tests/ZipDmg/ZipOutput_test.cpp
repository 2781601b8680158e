// zip's listing read by whole lines: the same count, last entry and warnings
// however the pipe cuts the stream.
#include "ZipOutput.h"

#include <gtest/gtest.h>

namespace {

const QByteArray kListing = "  adding: Volumes/USB/Docs/ (stored 0%)\n"
                            "  adding: Volumes/USB/Docs/a.txt (deflated 40%)\n"
                            "  adding: Volumes/USB/Docs/big.bin (deflated 99%)\n"
                            "  adding: Volumes/USB/\xe6\x96\x87\xe4\xbb\xb6.txt (stored 0%)\n"
                            "  adding: Volumes/USB/last.txt (stored 0%)\n";

struct Result {
    quint64 entries;
    QString lastEntry;
    QStringList warnings;
    bool operator==(const Result &) const = default;
};

Result readInPieces(const QByteArray &stream, const QList<qsizetype> &cuts)
{
    ZipOutput out;
    qsizetype from = 0;
    for (qsizetype cut : cuts) {
        out.feed(stream.mid(from, cut - from));
        from = cut;
    }
    out.feed(stream.mid(from));
    out.finish();
    return {out.entries(), out.lastEntry(), out.warnings()};
}

} // namespace

TEST(ZipOutput, TheSameCountWhereverTheStreamIsCut)
{
    const Result whole = readInPieces(kListing, {});
    EXPECT_EQ(whole.entries, 5u);
    EXPECT_EQ(whole.lastEntry, QStringLiteral("adding: Volumes/USB/last.txt (stored 0%)"));
    EXPECT_TRUE(whole.warnings.isEmpty());

    // Every single cut (inside a name, inside a UTF-8 character, right
    // before a note such as " (deflated 99%)"), byte by byte, and in pairs.
    for (qsizetype cut = 1; cut < kListing.size(); ++cut)
        EXPECT_EQ(readInPieces(kListing, {cut}), whole) << cut;
    QList<qsizetype> everyByte;
    for (qsizetype cut = 1; cut < kListing.size(); ++cut)
        everyByte << cut;
    EXPECT_EQ(readInPieces(kListing, everyByte), whole);
    for (qsizetype a = 1; a < kListing.size(); a += 7)
        for (qsizetype b = a + 1; b < kListing.size(); b += 11)
            EXPECT_EQ(readInPieces(kListing, {a, b}), whole) << a << " " << b;
}

TEST(ZipOutput, AnEntryCountsOnlyOnceItsLineIsWhole)
{
    ZipOutput out;
    // zip names a large file first and adds its note when it is done.
    EXPECT_FALSE(out.feed("  adding: Volumes/USB/big.bin"));
    EXPECT_EQ(out.entries(), 0u);
    EXPECT_FALSE(out.feed(" (deflated 99%)"));
    EXPECT_TRUE(out.feed("\n  adding: Volumes/USB/next"));
    EXPECT_EQ(out.entries(), 1u);
    EXPECT_EQ(out.lastEntry(), QStringLiteral("adding: Volumes/USB/big.bin (deflated 99%)"));
    // A last line without its line end counts at the end of the stream.
    EXPECT_TRUE(out.finish());
    EXPECT_EQ(out.entries(), 2u);
    EXPECT_EQ(out.lastEntry(), QStringLiteral("adding: Volumes/USB/next"));
}

TEST(ZipOutput, WarningsAndErrorsAreKeptNotCounted)
{
    const QByteArray stream = "\tzip warning: name not matched: Volumes/USB/gone.txt\n"
                              "  adding: Volumes/USB/a.txt (stored 0%)\n"
                              "\tzip warning: could not open for reading: Volumes/USB/locked\n"
                              "zip error: Nothing to do!\n"
                              // An entry whose name reads like a warning is still an entry.
                              "  adding: Volumes/USB/zip warning: x (stored 0%)\n";
    for (qsizetype cut : {qsizetype(0), qsizetype(5), qsizetype(60), qsizetype(100)}) {
        const Result r = readInPieces(stream, cut ? QList<qsizetype>{cut} : QList<qsizetype>{});
        EXPECT_EQ(r.entries, 2u);
        EXPECT_EQ(r.warnings,
                  (QStringList{QStringLiteral("zip warning: name not matched: Volumes/USB/gone.txt"),
                               QStringLiteral("zip warning: could not open for reading: Volumes/USB/locked"),
                               QStringLiteral("zip error: Nothing to do!")}));
    }
}
