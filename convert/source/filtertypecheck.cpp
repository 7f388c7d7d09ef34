#include "filtertypecheck.h"

namespace Convert {
namespace Reading {

bool FilterTypeCheck::check(uchar *bytes, quint64 start, quint64 count)
{
    bool valid = true;
    const quint64 end = start + count;
    while (m_next < end) {
        uchar &type = bytes[m_next - start];
        if (type > 4) {
            type = 0;
            valid = false;
        }
        m_next += m_runs.at(m_run).bytes;
        if (--m_rowsLeft == 0) {
            if (++m_run == m_runs.size()) {
                m_next = ~quint64(0);
                break;
            }
            m_rowsLeft = m_runs.at(m_run).rows;
        }
    }
    return valid;
}

} // namespace Reading
} // namespace Convert
