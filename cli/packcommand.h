#ifndef PACKCOMMAND_H
#define PACKCOMMAND_H

#include <QCoreApplication>
#include <QString>

class CommandLine;

// brindleforge-cli --pack NAME: the batch as one asset pack (pack.h) in
// the -o folder: NAME.bin, NAME.h, NAME.c and NAME_blob.S. Every image is
// converted first; any failure writes none of the four, and an existing
// pack is replaced only once all four are written (one commit group).
class PackCommand
{
    Q_DECLARE_TR_FUNCTIONS(PackCommand)

public:
    // Returns the exit status (0 written, 1 some image failed or a file
    // could not be written), or UsageError with the message in usage.
    static constexpr int UsageError = 2;
    static int run(const CommandLine &commandLine, QString *usage);
};

#endif // PACKCOMMAND_H
