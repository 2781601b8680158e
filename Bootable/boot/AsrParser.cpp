#include "AsrParser.h"

#include <iterator>

namespace {

// The tens of the copying phases. "10" is tested first and must not be the
// start of "100"; after it the first number that the text holds wins, so a
// chunk with "90" and "100" counts as 90.
int tagOf(const QString &text)
{
    if (text.contains(QLatin1String("10")) && !text.contains(QLatin1String("100")))
        return 1;
    static const char *const tens[] = {"20", "30", "40", "50", "60", "70", "80", "90", "100"};
    for (int i = 0; i < int(std::size(tens)); ++i)
        if (text.contains(QLatin1String(tens[i])))
            return i + 2;
    return 0;
}

} // namespace

void AsrParser::reset()
{
    m_isTwoTime = 0;
    m_isTwoTime100 = 0;
    m_inProgress = false;
}

QList<AsrParser::Report> AsrParser::parse(const QByteArray &chunk)
{
    if (chunk.isEmpty())
        return {};
    return parse(QString::fromUtf8(chunk));
}

QList<AsrParser::Report> AsrParser::parse(const QString &text)
{
    QList<Report> out;
    if (text.isEmpty())
        return out;

    if (text.contains(QLatin1String("[ny]"))) {
        // The tool asks before it erases the target; a prompt also starts the
        // counting afresh.
        reset();
        out.append(Report::answer());
        return out;
    }

    // Each test looks at the label as the one before left it.
    QString label = text;
    if (label.contains(QLatin1String("Validating target..."))) {
        out.append(Report::step(3));
        label = QStringLiteral("正在验证目标...");
    }
    if (label.contains(QLatin1String("Validating source..."))) {
        out.append(Report::step(4));
        label = QStringLiteral("正在验证源...");
    }
    if (label.contains(QLatin1String("Repartitioning target device...")))
        label = QStringLiteral("正在对目标设备进行重新分区...");

    if (label.contains(QLatin1String("Replicating")) || label.contains(QLatin1String("Restoring")) ||
        label.contains(QLatin1String("Verifying"))) {
        out.append(Report::label(QStringLiteral("克隆中...")));
        if (m_isTwoTime++ == 0)
            out.append(Report::step(5));
        m_inProgress = true;
    }

    if (m_isTwoTime == 1 || m_isTwoTime == 2) {
        if (const int tag = tagOf(label))
            out.append(Report::tag(tag, m_isTwoTime));
    }

    if (label == QLatin1String("100") && ++m_isTwoTime100 == 2)
        m_inProgress = false;

    if (label.contains(QLatin1String("done")))
        label = QStringLiteral("正在验证目标...");

    if (!m_inProgress)
        out.append(Report::label(label));
    return out;
}
