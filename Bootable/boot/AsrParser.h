#pragma once
#include <QByteArray>
#include <QList>
#include <QString>

// Turns the output of `asr restore`, one chunk at a time, into what the clone
// engine reports: the steps of validation and copying, the tens of percent of
// the two copying phases, the status lines, and the moment to answer the
// tool's "[ny]" prompt. It keeps the counters of one restore and nothing
// else, so it can be fed chunks without a process behind them.
//
// The restore has finished only when two chunks were exactly "100": the end
// of the copying phase and the end of the verifying phase.
class AsrParser {
public:
    struct Report {
        enum class Kind {
            Answer, // write "y" to the tool and close its input
            Step,   // a step code of the engine (3, 4 or 5)
            Label,  // a status line
            Tag,    // tag 1 … 10 of copying phase 1 or 2
        };
        Kind kind = Kind::Label;
        int value = 0; // the step, or the tag
        int phase = 0; // Tag: the copying phase
        QString text;  // Label

        static Report answer() { return {Kind::Answer, 0, 0, {}}; }
        static Report step(int step) { return {Kind::Step, step, 0, {}}; }
        static Report label(const QString &text) { return {Kind::Label, 0, 0, text}; }
        static Report tag(int tag, int phase) { return {Kind::Tag, tag, phase, {}}; }
        bool operator==(const Report &other) const = default;
    };

    // A new restore: all counters back to zero.
    void reset();

    // One chunk of the tool's output, in the order of its reports. An empty
    // chunk (the end of the output) gives nothing.
    QList<Report> parse(const QByteArray &chunk);
    QList<Report> parse(const QString &text);

    // Chunks that named a copying phase, and chunks that were exactly "100".
    int isTwoTime() const { return m_isTwoTime; }
    int isTwoTime100() const { return m_isTwoTime100; }
    // A copying phase runs: status lines are then held back.
    bool inProgress() const { return m_inProgress; }
    bool sawBothCompletions() const { return m_isTwoTime100 >= 2; }

private:
    int m_isTwoTime = 0;
    int m_isTwoTime100 = 0;
    bool m_inProgress = false;
};
