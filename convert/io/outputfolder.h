#ifndef OUTPUTFOLDER_H
#define OUTPUTFOLDER_H

#include "convertresult.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace Convert {

// A folder of files written as one output (a frame set's .bin folder), so
// that a failure never leaves half a folder and never damages a good one:
//
// - create() makes a hidden staging folder beside the target
//   (".<name>.bf-PPPPPRRRRR.tmp"); every file goes into it through an
//   OutputFile, and the files are flushed to the disk together
//   (CommitGroup).
// - commit() puts the staging folder in the target's place: a missing
//   target by one rename; an existing one by exchanging the two atomically
//   (renameat2 RENAME_EXCHANGE on Linux, else two renames, undone on
//   failure), after which the old folder is removed.
// - An existing target is replaced only when it is a folder whose every
//   entry is a regular file that replaceable() accepts (the files of an
//   earlier set): a folder of the user's own is refused and left alone.
// - Without commit(), the destructor removes the staging folder. One that a
//   killed writer left behind (its name carries the writer's process id, as
//   a temporary file's does) is removed by the next create() beside it.
class OutputFolder
{
public:
    using Replaceable = std::function<bool(const QString &fileName)>;

    OutputFolder(const QString &target, Replaceable replaceable);
    ~OutputFolder();
    Q_DISABLE_COPY(OutputFolder)

    // Whether target is missing, or an earlier folder that may be replaced.
    static ConvertResult checkTarget(const QString &target, const Replaceable &replaceable);

    ConvertResult create();
    // Writes a file of the folder; name has no '/'.
    ConvertResult addFile(const QString &name, const QByteArray &bytes);
    ConvertResult commit();

private:
    void removeStaging();

    const QString m_target;
    const Replaceable m_replaceable;
    QString m_staging;
    QStringList m_names;
    std::vector<QByteArray> m_contents;
    bool m_committed = false;
};

} // namespace Convert

#endif // OUTPUTFOLDER_H
