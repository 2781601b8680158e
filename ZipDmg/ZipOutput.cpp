#include "ZipOutput.h"

bool ZipOutput::feed(const QByteArray &chunk)
{
    bool entry = false;
    qsizetype from = 0;
    for (qsizetype end = chunk.indexOf('\n'); end >= 0; end = chunk.indexOf('\n', from)) {
        if (m_pending.isEmpty()) {
            entry = takeLine(chunk.mid(from, end - from)) || entry;
        } else {
            m_pending += chunk.mid(from, end - from);
            entry = takeLine(m_pending) || entry;
            m_pending.clear();
        }
        from = end + 1;
    }
    m_pending += chunk.mid(from);
    return entry;
}

bool ZipOutput::finish()
{
    if (m_pending.isEmpty())
        return false;
    const QByteArray last = m_pending;
    m_pending.clear();
    return takeLine(last);
}

bool ZipOutput::takeLine(const QByteArray &line)
{
    const QByteArray text = line.trimmed();
    if (text.startsWith("adding: ")) {
        ++m_entries;
        m_lastEntry = QString::fromUtf8(text);
        return true;
    }
    if (text.startsWith("zip warning:") || text.startsWith("zip error:") || text.startsWith("zip I/O error:"))
        m_warnings << QString::fromUtf8(text);
    return false;
}
