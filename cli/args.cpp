#include "args.h"

#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace hvcli {

namespace {
thread_local Capture* t_capture = nullptr;
thread_local const CommandExtras* t_extras = nullptr;
}  // namespace

void SetCapture(Capture* capture) { t_capture = capture; }
void SetCommandExtras(const CommandExtras* extras) { t_extras = extras; }

void Print(const char* format, ...) {
    va_list args;
    va_start(args, format);
    if (!t_capture) {
        std::vprintf(format, args);
        va_end(args);
        return;
    }
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, format, args);
    if (n > 0) {
        std::string text(static_cast<size_t>(n) + 1, '\0');
        std::vsnprintf(&text[0], text.size(), format, again);
        text.pop_back();
        t_capture->out += text;
    }
    va_end(again);
    va_end(args);
}

bool Args::Parse(int argc, char** argv, const std::vector<Option>& options, std::string* error) {
    values_.clear();
    positional_.clear();
    std::vector<Option> all = options;
    all.push_back({"help", 'h', false});
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            positional_.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const Option* found = nullptr;
        std::string inlineValue;
        bool hasInline = false;
        if (arg[1] == '-') {
            std::string name = arg.substr(2);
            const size_t eq = name.find('=');
            if (eq != std::string::npos) {
                inlineValue = name.substr(eq + 1);
                hasInline = true;
                name.resize(eq);
            }
            for (const Option& o : all)
                if (name == o.name) found = &o;
        } else {
            for (const Option& o : all)
                if (o.letter && arg[1] == o.letter) found = &o;
            // A value may follow its letter directly (-j4); flags are not bundled.
            if (found && arg.size() > 2) {
                if (!found->hasValue) found = nullptr;
                inlineValue = arg.substr(2);
                hasInline = true;
            }
        }
        if (!found) {
            *error = "unknown option '" + arg + "'";
            return false;
        }
        if (!found->hasValue) {
            if (hasInline) {
                *error = "option '--" + std::string(found->name) + "' takes no value";
                return false;
            }
            values_[found->name] = "";
            continue;
        }
        if (!hasInline) {
            if (i + 1 >= argc) {
                *error = "option '" + arg + "' needs a value";
                return false;
            }
            inlineValue = argv[++i];
        }
        values_[found->name] = inlineValue;
    }
    return true;
}

std::string Args::Value(const std::string& name, const std::string& fallback) const {
    const auto it = values_.find(name);
    return it == values_.end() ? fallback : it->second;
}

bool Args::IntValue(const std::string& name, int lo, int hi, int fallback, int* out, std::string* error) const {
    const auto it = values_.find(name);
    if (it == values_.end()) {
        *out = fallback;
        return true;
    }
    const std::string& text = it->second;
    char* end = nullptr;
    errno = 0;
    const bool numeric = !text.empty() && (std::isdigit(static_cast<unsigned char>(text[0])) || text[0] == '-');
    const long v = numeric ? std::strtol(text.c_str(), &end, 10) : 0;
    if (!numeric || *end != '\0' || errno == ERANGE || v < lo || v > hi) {
        *error = "option '--" + name + "' needs a whole number from " + std::to_string(lo) + " to " +
                 std::to_string(hi) + ", not '" + text + "'";
        return false;
    }
    *out = static_cast<int>(v);
    return true;
}

int Start(Args& args, int argc, char** argv, const std::string& command, const std::vector<Option>& options,
          const char* help, size_t positionals, const char* missing) {
    std::string error;
    std::vector<Option> all = options;
    if (t_extras) {
        all.insert(all.end(), t_extras->options.begin(), t_extras->options.end());
        if (t_extras->probe) {
            t_extras->probe->options = all;
            t_extras->probe->positionals = positionals;
            return kExitUsage;
        }
    }
    if (!args.Parse(argc, argv, all, &error)) return UsageError(command, error);
    if (args.Has("help")) {
        std::fputs(help, stdout);
        if (t_extras) std::fputs(t_extras->help, stdout);
        return kExitOk;
    }
    if (args.positional().size() != positionals)
        return UsageError(command, args.positional().size() < positionals ? missing : "too many arguments");
    return -1;
}

int UsageError(const std::string& command, const std::string& message) {
    if (t_capture) {
        t_capture->err += message + "\n";
        return kExitUsage;
    }
    std::fprintf(stderr, "huevane %s: %s\nTry 'huevane %s --help'.\n", command.c_str(), message.c_str(),
                 command.c_str());
    return kExitUsage;
}

int Failure(const std::string& command, const std::string& message) {
    if (t_capture) {
        t_capture->err += message + "\n";
        return kExitFailure;
    }
    std::fprintf(stderr, "huevane %s: %s\n", command.c_str(), message.c_str());
    return kExitFailure;
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

}  // namespace hvcli
