#ifndef FILTERTYPECHECK_H
#define FILTERTYPECHECK_H

#include "pngrowruns.h"

namespace Convert {
namespace Reading {

// Follows the filter type byte at the start of every row through the
// inflated rows. libpng fails on a filter type above 4.
class FilterTypeCheck
{
public:
    explicit FilterTypeCheck(const RowRuns &runs)
        : m_runs(runs)
    {
        reset();
    }

    void reset()
    {
        m_run = 0;
        m_rowsLeft = m_runs.at(0).rows;
        m_next = 0;
    }

    // Checks the rows' bytes [start, start + count). A filter type above 4
    // is made 0 so that libpng does not fail on it; the result says whether
    // there was one.
    bool check(uchar *bytes, quint64 start, quint64 count);

private:
    const RowRuns &m_runs;
    int m_run = 0;
    quint64 m_rowsLeft = 0;
    quint64 m_next = 0; // offset of the next filter type byte
};

} // namespace Reading
} // namespace Convert

#endif // FILTERTYPECHECK_H
