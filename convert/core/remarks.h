#ifndef REMARKS_H
#define REMARKS_H

#include "convertresult.h"

#include <QStringList>

namespace Convert {

// What an encoding says without failing: notes (shown with -v) and
// warnings (always shown).
struct Remarks
{
    QStringList notes;
    QStringList warnings;

    void addTo(ConvertResult *result) const
    {
        result->addNotes(notes);
        result->addWarnings(warnings);
    }
};

} // namespace Convert

#endif // REMARKS_H
