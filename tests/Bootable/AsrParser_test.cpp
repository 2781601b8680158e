#include <gtest/gtest.h>

#include "AsrParser.h"

#include <QStringList>

#include <ostream>

using Report = AsrParser::Report;

void PrintTo(const Report &r, std::ostream *os)
{
    switch (r.kind) {
    case Report::Kind::Answer:
        *os << "answer";
        break;
    case Report::Kind::Step:
        *os << "step " << r.value;
        break;
    case Report::Kind::Label:
        *os << "label \"" << r.text.toStdString() << '"';
        break;
    case Report::Kind::Tag:
        *os << "tag " << r.value << " of phase " << r.phase;
        break;
    }
}

namespace {

const QString kCloning = QStringLiteral("克隆中...");
const QString kValidatingTarget = QStringLiteral("正在验证目标...");
const QString kValidatingSource = QStringLiteral("正在验证源...");

// Chunks that bring a parser into a state: inside the first copying phase,
// inside the second, and after both completion marks.
const QStringList kInPhase1 = {QStringLiteral("Restoring  ")};
const QStringList kInPhase2 = {QStringLiteral("Restoring  "), QStringLiteral("100"), QStringLiteral("\nVerifying  ")};
const QStringList kAfterBoth = {QStringLiteral("Restoring  "), QStringLiteral("100"), QStringLiteral("\nVerifying  "),
                                QStringLiteral("100")};

struct ChunkCase {
    const char *name;
    QStringList before; // chunks fed first; their reports are not looked at
    QString chunk;
    QList<Report> reports;
};

void PrintTo(const ChunkCase &c, std::ostream *os) { *os << c.name; }

class AsrParserChunks : public ::testing::TestWithParam<ChunkCase> {};

TEST_P(AsrParserChunks, GiveTheirReportsInOrder)
{
    const ChunkCase &c = GetParam();
    AsrParser parser;
    for (const QString &chunk : c.before)
        parser.parse(chunk);
    EXPECT_EQ(parser.parse(c.chunk), c.reports);
}

INSTANTIATE_TEST_SUITE_P(
    Table, AsrParserChunks,
    ::testing::Values(
        ChunkCase{"RestoringWithTenStartsPhaseOne",
                  {},
                  QStringLiteral("Restoring  ....10"),
                  {Report::label(kCloning), Report::step(5), Report::tag(1, 1)}},
        ChunkCase{"DotsAndTwentyInPhaseOne", kInPhase1, QStringLiteral("....20"), {Report::tag(2, 1)}},
        ChunkCase{"NinetyAndHundredCountAsNinety", kInPhase1, QStringLiteral("....90....100"), {Report::tag(9, 1)}},
        ChunkCase{"LoneHundredEndsPhaseOneQuietly", kInPhase1, QStringLiteral("100"), {Report::tag(10, 1)}},
        ChunkCase{"VerifyingStartsPhaseTwoWithoutStepFive",
                  {QStringLiteral("Restoring  "), QStringLiteral("100")},
                  QStringLiteral("\nVerifying  "),
                  {Report::label(kCloning)}},
        ChunkCase{"TensOfPhaseTwo", kInPhase2, QStringLiteral("....40"), {Report::tag(4, 2)}},
        ChunkCase{"SecondLoneHundredShowsTheLabelAgain",
                  kInPhase2,
                  QStringLiteral("100"),
                  {Report::tag(10, 2), Report::label(QStringLiteral("100"))}},
        ChunkCase{"TextAfterBothMarksIsShown",
                  kAfterBoth,
                  QStringLiteral("\nRestore completed successfully.\n"),
                  {Report::label(QStringLiteral("\nRestore completed successfully.\n"))}},
        ChunkCase{"ValidatingTargetAndDone",
                  {},
                  QStringLiteral("Validating target...done"),
                  {Report::step(3), Report::label(kValidatingTarget)}},
        ChunkCase{"ValidatingSource",
                  {},
                  QStringLiteral("Validating source..."),
                  {Report::step(4), Report::label(kValidatingSource)}},
        // The target's label replaces the text before the source is looked for.
        ChunkCase{"TargetAndSourceInOneChunkReportOnlyTheTarget",
                  {},
                  QStringLiteral("Validating target...done\nValidating source...done\n"),
                  {Report::step(3), Report::label(kValidatingTarget)}},
        ChunkCase{"Repartitioning",
                  {},
                  QStringLiteral("Repartitioning target device..."),
                  {Report::label(QStringLiteral("正在对目标设备进行重新分区..."))}},
        ChunkCase{"DoneOutsideAPhaseReadsAsValidatingTarget",
                  {},
                  QStringLiteral("done\n"),
                  {Report::label(kValidatingTarget)}},
        ChunkCase{"DoneInsideAPhaseIsHeldBack", kInPhase1, QStringLiteral("done"), {}},
        ChunkCase{"NumbersOutsideAPhaseAreNoTags",
                  {},
                  QStringLiteral("block size 4096, 50 MB"),
                  {Report::label(QStringLiteral("block size 4096, 50 MB"))}},
        ChunkCase{"AThirdPhaseHasNoTags", kAfterBoth, QStringLiteral("Replicating ....30"), {Report::label(kCloning)}},
        ChunkCase{"PromptIsAnswered",
                  kInPhase1,
                  QStringLiteral("Erase contents of /dev/disk4s1 (/Volumes/NewCloneSystem1)? [ny]: "),
                  {Report::answer()}},
        ChunkCase{"EmptyChunkGivesNothing", {}, QString(), {}},
        ChunkCase{"OtherTextIsShownAsItIs",
                  {},
                  QStringLiteral("asr: could not validate target"),
                  {Report::label(QStringLiteral("asr: could not validate target"))}}),
    [](const ::testing::TestParamInfo<ChunkCase> &info) { return std::string(info.param.name); });

TEST(AsrParser, BothLoneHundredsFinishTheRestore)
{
    AsrParser parser;
    for (const QString &chunk : kAfterBoth)
        parser.parse(chunk);
    EXPECT_EQ(parser.isTwoTime(), 2);
    EXPECT_EQ(parser.isTwoTime100(), 2);
    EXPECT_FALSE(parser.inProgress());
    EXPECT_TRUE(parser.sawBothCompletions());
}

TEST(AsrParser, HundredsInsideOtherTextDoNotFinish)
{
    AsrParser parser;
    for (const char *chunk : {"Restoring  ", "....100", "\nVerifying  ", "100 ", "\n100"})
        parser.parse(QString::fromLatin1(chunk));
    EXPECT_EQ(parser.isTwoTime100(), 0);
    EXPECT_FALSE(parser.sawBothCompletions());
    EXPECT_TRUE(parser.inProgress());
}

TEST(AsrParser, PromptStartsTheCountingAfresh)
{
    AsrParser parser;
    for (const QString &chunk : kAfterBoth)
        parser.parse(chunk);
    EXPECT_EQ(parser.parse(QStringLiteral("Erase contents of /dev/disk4s1? [ny]: ")), QList<Report>{Report::answer()});
    EXPECT_EQ(parser.isTwoTime(), 0);
    EXPECT_EQ(parser.isTwoTime100(), 0);
    EXPECT_FALSE(parser.inProgress());
    // So the next copying phase is phase 1 again, with its step 5.
    EXPECT_EQ(parser.parse(QStringLiteral("Restoring  ")), (QList<Report>{Report::label(kCloning), Report::step(5)}));
}

TEST(AsrParser, ResetForgetsAnEarlierRestore)
{
    AsrParser parser;
    for (const QString &chunk : kAfterBoth)
        parser.parse(chunk);
    parser.reset();
    EXPECT_FALSE(parser.sawBothCompletions());
    EXPECT_EQ(parser.isTwoTime(), 0);
}

TEST(AsrParser, WholeRestoreGivesEveryTagOfBothPhases)
{
    AsrParser parser;
    QList<Report> tags;
    auto feed = [&](const QString &chunk) {
        for (const Report &r : parser.parse(chunk))
            if (r.kind == Report::Kind::Tag)
                tags.append(r);
    };
    for (const char *phase : {"Restoring  ", "\nVerifying  "}) {
        feed(QString::fromLatin1(phase));
        for (int t = 10; t <= 90; t += 10)
            feed(QStringLiteral("....%1").arg(t));
        feed(QStringLiteral("...."));
        feed(QStringLiteral("100"));
    }
    QList<Report> expected;
    for (int phase = 1; phase <= 2; ++phase)
        for (int t = 1; t <= 10; ++t)
            expected.append(Report::tag(t, phase));
    EXPECT_EQ(tags, expected);
    EXPECT_TRUE(parser.sawBothCompletions());
}

TEST(AsrParser, ChunksAreDecodedAsUtf8)
{
    AsrParser parser;
    EXPECT_EQ(parser.parse(QByteArray("Volume \xe5\x85\x8b\xe9\x9a\x86")),
              QList<Report>{Report::label(QStringLiteral("Volume 克隆"))});
    EXPECT_TRUE(parser.parse(QByteArray()).isEmpty());
}

} // namespace
