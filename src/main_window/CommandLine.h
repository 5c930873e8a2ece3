#pragma once

#include <QStringList>
#include <optional>

// What orvo makes of its command line. --help and --version are answered before Qt needs a
// display; an argument that Qt does not take for itself is refused.
namespace CommandLine {

// The exit status once --help or --version is answered on standard output, or nothing when
// neither was asked for.
std::optional<int> answerInfoRequest(int argc, char* argv[]);

// The exit status once an argument left over by Qt is refused on standard error, or nothing
// when there is none.
std::optional<int> refuseLeftovers(const QStringList& arguments);

} // namespace CommandLine
