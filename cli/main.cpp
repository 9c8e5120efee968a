// huevane: the command-line tool. Dispatches to one command per name.
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <string>

#include "args.h"
#include "commands.h"

namespace {

struct Command {
    const char* name;
    int (*run)(int argc, char** argv);
    const char* summary;
};

// One line per command, in the order the help lists them.
const Command kCommands[] = {
    {"reduce", CmdReduce, "reduce a photo to 256 colours and report its PSNR"},
    // restyle:
    {"restyle", CmdRestyle, "re-colour an image in the style of another image or theme"},

    // theme:
    {"theme", CmdTheme, "print a photo's colour theme, save it as a theme file"},

    // tags:
    {"tags", CmdTags, "name the colour families of an image with their shares"},

    // card:
    {"card", CmdCard, "find the samples of a colour card nearest to a colour"},

    // library:
    {"library", CmdLibrary, "list or draw a theme library; add photos to it"},

    // edit:
    {"edit", CmdEdit, "reshape an image's colour theme by a script of edits"},

};

void PrintUsage(std::FILE* out) {
    std::fprintf(out,
                 "Usage: huevane COMMAND [ARGUMENTS]\n"
                 "Image colour-style tools over the Huevane library.\n\n"
                 "Commands:\n");
    for (const Command& c : kCommands) std::fprintf(out, "  %-10s %s\n", c.name, c.summary);
    std::fprintf(out,
                 "\nRun 'huevane COMMAND --help' for the arguments of a command.\n"
                 "Exit status: 0 done, 1 failed, 2 wrong command line.\n");
}

int Run(const Command& c, int argc, char** argv) {
    try {
        return c.run(argc, argv);
    } catch (const std::bad_alloc&) {
        return hvcli::Failure(c.name, "out of memory");
    } catch (const std::exception& e) {
        return hvcli::Failure(c.name, e.what());
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        PrintUsage(stderr);
        return hvcli::kExitUsage;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || (name == "help" && argc == 2)) {
        PrintUsage(stdout);
        return hvcli::kExitOk;
    }
    if (name == "--version") {
        std::printf("huevane %s\n", HUEVANE_VERSION);
        return hvcli::kExitOk;
    }
    // "huevane help COMMAND" shows the command's own help.
    const bool help = name == "help";
    const std::string wanted = help ? argv[2] : name;
    for (const Command& c : kCommands) {
        if (wanted != c.name) continue;
        if (!help) return Run(c, argc - 1, argv + 1);
        char helpFlag[] = "--help";
        char* helpArgv[] = {argv[2], helpFlag, nullptr};
        return Run(c, 2, helpArgv);
    }
    std::fprintf(stderr, "huevane: unknown command '%s'\nRun 'huevane --help' for the list of commands.\n",
                 wanted.c_str());
    return hvcli::kExitUsage;
}
