#ifndef CLIDOCS_H
#define CLIDOCS_H

#include <QString>

class CommandLine;

// The manual page and the shell completion scripts of brindleforge-cli.
// Both are made from the options that --help lists and from the format
// tables behind -f, -c and the other options with a fixed set of values,
// so they cannot drift from --help. The build runs
// "brindleforge-cli --manpage" and "--completion bash|zsh" to make the
// files it installs.
namespace CliDocs {

// The manual page in roff (man(7) macros).
QString manPage(const CommandLine &commandLine);

// A completion script for shell, "bash" or "zsh": option names, the values
// of options that take one of a set (the -c names follow --lvgl in bash),
// files for -o and for the inputs.
QString completion(const CommandLine &commandLine, const QString &shell);

} // namespace CliDocs

#endif // CLIDOCS_H
