#ifndef CLIDOCS_H
#define CLIDOCS_H

#include <QString>

class CommandLine;

// The manual page and the shell completion scripts of brindleforge-cli.
// Both are made from the options that --help and inspect --help list
// (CommandLine, InspectOptions) and from the format tables behind -f, -c
// and the other options with a fixed set of values, so they cannot drift
// from --help. The build runs "brindleforge-cli --manpage" and
// "--completion bash|zsh" to make the files it installs.
namespace CliDocs {

// The manual page in roff (man(7) macros): the conversion and inspect, each
// with its options, the text after the options in --help as its sections
// (the format tables as tagged paragraphs, EXIT STATUS, EXAMPLES).
QString manPage(const CommandLine &commandLine);

// A completion script for shell, "bash" or "zsh": the command inspect and
// the option names of each command, the values of options that take one of
// a set (the -c names follow --lvgl in bash), files (whole, spaces and all)
// for the options that take a path and for the inputs.
QString completion(const CommandLine &commandLine, const QString &shell);

} // namespace CliDocs

#endif // CLIDOCS_H
