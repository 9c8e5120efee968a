// Option parsing and messages shared by the commands of the huevane tool.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace hvcli {

// Exit codes of every command.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  // the work could not be done (unreadable file, ...)
constexpr int kExitUsage = 2;    // the command line is wrong

// One option of a command: "--name", optionally "-l", with or without a value.
struct Option {
    const char* name;  // long name without the dashes
    char letter;       // short form, or 0 for none
    bool hasValue;
};

// The parsed arguments of one command. Options may stand anywhere among the
// positional arguments, as "--name value", "--name=value" or "-l value";
// "--" ends the options and a lone "-" is positional. "--help" and "-h" are
// always accepted. A repeated option keeps its last value.
class Args {
public:
    // Parses argv[1..argc-1] (argv[0] is the command's name); false with a
    // message for an unknown option, a missing value or a value given to a
    // flag.
    bool Parse(int argc, char** argv, const std::vector<Option>& options, std::string* error);

    bool Has(const std::string& name) const { return values_.count(name) != 0; }
    std::string Value(const std::string& name, const std::string& fallback = "") const;
    // The option's value as a whole decimal number within [lo, hi], or the
    // fallback when the option is absent; false with a message otherwise.
    bool IntValue(const std::string& name, int lo, int hi, int fallback, int* out, std::string* error) const;
    const std::vector<std::string>& positional() const { return positional_; }
    // Every option given, by long name, with its value ("" for flags).
    const std::map<std::string, std::string>& values() const { return values_; }

private:
    std::map<std::string, std::string> values_;
    std::vector<std::string> positional_;
};

// The common start of every command: parses the arguments, prints `help`
// on --help and checks that exactly `positionals` positional arguments are
// given (`missing` says what is lacking when there are fewer). Returns -1
// when the command should go on, otherwise the exit code to return.
int Start(Args& args, int argc, char** argv, const std::string& command, const std::vector<Option>& options,
          const char* help, size_t positionals, const char* missing);

// Prints "huevane COMMAND: message" and a pointer to the command's help to
// stderr; returns kExitUsage.
int UsageError(const std::string& command, const std::string& message);
// Prints "huevane COMMAND: message" to stderr; returns kExitFailure.
int Failure(const std::string& command, const std::string& message);

// A command's output while it runs as one job of a batch: while a capture is
// set on the calling thread, Print, UsageError and Failure write into it
// (messages without the "huevane COMMAND: " prefix) instead of to stdout and
// stderr.
struct Capture {
    std::string out, err;
};
void SetCapture(Capture* capture);  // for the calling thread; null ends it
// printf to stdout, or into the calling thread's capture.
void Print(const char* format, ...) __attribute__((format(printf, 1, 2)));

// What a command's batch form adds to its single form: while set on the
// calling thread, Start accepts these options too and prints `help` after
// the command's own. With `probe` set, Start only records the command's
// options (theirs and these) and the positional count it expects, and
// returns kExitUsage without parsing or printing anything.
struct CommandExtras {
    std::vector<Option> options;
    const char* help = "";
    struct Probe {
        std::vector<Option> options;
        size_t positionals = 0;
    }* probe = nullptr;
};
void SetCommandExtras(const CommandExtras* extras);  // for the calling thread; null ends it

// text as a JSON string, quotes included: quote, backslash and control
// characters escaped; other bytes (UTF-8 included) as they are.
std::string JsonString(const std::string& text);

}  // namespace hvcli
