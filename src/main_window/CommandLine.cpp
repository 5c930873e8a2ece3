#include "main_window/CommandLine.h"

#include <cstdio>
#include <string_view>

namespace CommandLine {

namespace {

const char* const Help = R"(Usage: orvo [--help | --version]

Orvo keeps a database of frequency records: a description, comments and up to
forty frequencies each. Started without arguments, it opens its main window on
the database freqs.mdb, which it creates with demo records when there is none.

  -h, --help     Shows this help.
      --version  Shows the version.

An installed Orvo keeps freqs.mdb in ~/.local/share/orvo/ ($XDG_DATA_HOME/orvo/
when that is set). A build tree, or a folder that already holds freqs.mdb, keeps
it beside the program. orvo-data imports, exports and checks the records from
the command line. See orvo(1) and orvo-data(1).
)";

} // namespace

std::optional<int> answerInfoRequest(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument(argv[i]);
        if (argument == "--help" || argument == "-h") {
            std::fputs(Help, stdout);
            return 0;
        }
        if (argument == "--version") {
            std::printf("orvo %d.%d.%d\n", ORVO_VERSION_MAJOR, ORVO_VERSION_MINOR, ORVO_VERSION_REVISION);
            return 0;
        }
    }
    return std::nullopt;
}

std::optional<int> refuseLeftovers(const QStringList& arguments)
{
    if (arguments.size() < 2)
        return std::nullopt;
    std::fprintf(stderr, "orvo: unknown argument %s. See orvo --help.\n", qPrintable(arguments.at(1)));
    return 2;
}

} // namespace CommandLine
