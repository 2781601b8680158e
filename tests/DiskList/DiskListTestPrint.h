#pragma once
// Lets test messages and failed expectations show Qt values.
#include <QList>
#include <QString>
#include <ostream>

inline std::ostream &operator<<(std::ostream &os, const QString &s) { return os << '"' << s.toStdString() << '"'; }

template <typename T>
std::ostream &operator<<(std::ostream &os, const QList<T> &list)
{
    os << '{';
    for (qsizetype i = 0; i < list.size(); ++i)
        os << (i ? ", " : "") << list[i];
    return os << '}';
}

inline void PrintTo(const QString &s, std::ostream *os) { *os << s; }
