#pragma once

#include <QString>

// The lines of a text, one at a time. Lines end at CR, CR LF or LF, as files from any system
// write them; a terminator at the very end opens no further line.
class TextLines {
public:
    explicit TextLines(const QString& text)
        : m_text(text)
    { }

    // The next line without its terminator; false at the end of the text.
    bool next(QString& line)
    {
        if (m_pos >= m_text.size())
            return false;
        qsizetype end = m_pos;
        while (end < m_text.size() && m_text[end] != u'\r' && m_text[end] != u'\n')
            ++end;
        line = m_text.mid(m_pos, end - m_pos);
        m_pos = end;
        if (m_pos < m_text.size()) {
            const bool crLf
                = m_text[m_pos] == u'\r' && m_pos + 1 < m_text.size() && m_text[m_pos + 1] == u'\n';
            m_pos += crLf ? 2 : 1;
        }
        ++m_number;
        return true;
    }

    // The 1-based number of the line next() gave last.
    int number() const { return m_number; }

private:
    const QString& m_text;
    qsizetype m_pos = 0;
    int m_number = 0;
};
