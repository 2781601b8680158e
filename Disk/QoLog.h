#pragma once
#include <QDateTime>
#include <QString>
#include <functional>

// The log file "/tmp/Talberow.txt": one process-wide handle opened for
// appending on first use and kept until QoUninitLog, one line per entry
// beginning with the local time as "2024-03-02 09:05:03" and two spaces,
// flushed at once. It lies in a folder every user can write to, so a link or
// a file another user planted under the name is replaced, never written
// through. Lines of concurrent callers are written whole, one at a time.

// 0 when the file is open (also when it was already), -1 when it cannot be opened.
int QoInitLog();
// Closes the file if open; 0.
int QoUninitLog();
// printf-style; 0, or -1 when nothing was written (the file cannot be
// opened, or the format is null).
int QoLog(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Tests: another file instead of "/tmp/Talberow.txt" (empty: the default;
// takes effect at the next open), and another clock for the line prefix
// (empty: the local time).
void QoSetLogPath(const QString &path);
QString QoLogPath();
void QoSetLogClock(std::function<QDateTime()> clock);
