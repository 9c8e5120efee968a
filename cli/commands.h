// The commands of the huevane tool, one function each, defined in
// cli/cmd_<name>.cpp and listed in the table in cli/main.cpp. Each receives
// its own arguments (argv[0] is the command's name) and returns the exit
// code: 0 done, 1 failed, 2 usage error (see args.h).
#pragma once

int CmdReduce(int argc, char** argv);

// Each further command takes the empty line under its name, so that
// commands added side by side do not touch the same lines.
// restyle:
int CmdRestyle(int argc, char** argv);

// theme:
int CmdTheme(int argc, char** argv);

// tags:
int CmdTags(int argc, char** argv);

// card:
int CmdCard(int argc, char** argv);

// library:
int CmdLibrary(int argc, char** argv);

// edit:
int CmdEdit(int argc, char** argv);

