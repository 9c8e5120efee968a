#include "batch.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <mutex>
#include <new>
#include <set>
#include <thread>
#include <utility>

#include "args.h"

namespace hvcli {
namespace {

std::string Join(const std::string& dir, const std::string& name) {
    if (dir.empty()) return name;
    return dir.back() == '/' ? dir + name : dir + "/" + name;
}

// The name without its folder and without its last extension.
std::string Stem(const std::string& name) {
    const size_t slash = name.find_last_of('/');
    const std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
    const size_t dot = base.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? base : base.substr(0, dot);
}

// True when the name ends in an image extension the tool writes.
bool NamesImageFile(const std::string& path) {
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return false;
    std::string ext = path.substr(dot);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".png" || ext == ".bmp" || ext == ".jpg" || ext == ".jpeg";
}

std::string Folder(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// An absolute path for comparing inputs and outputs: the real path of the
// file, or of its folder joined with its name when the file does not exist.
std::string Absolute(const std::string& path) {
    if (char* real = realpath(path.c_str(), nullptr)) {
        std::string r = real;
        std::free(real);
        return r;
    }
    const size_t slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (char* real = realpath(dir.c_str(), nullptr)) {
        std::string r = Join(real, name);
        std::free(real);
        return r;
    }
    return path;
}

struct Walker {
    std::string outDir, suffix, ext;
    std::vector<BatchJob> jobs;
    std::set<std::pair<dev_t, ino_t>> visited;  // folders searched, by identity
    int skipped = 0;
    std::vector<std::string> notes;

    void Fail(const std::string& input, const std::string& reason) {
        BatchJob j;
        j.input = input;
        j.error = reason;
        jobs.push_back(j);
    }

    // relOut: the output's path below outDir, without the extension.
    void AddImage(const std::string& path, const std::string& relOut, const char* kind) {
        BatchJob j;
        j.input = path;
        j.output = Join(outDir, relOut + suffix + (ext.empty() ? kind : ext));
        jobs.push_back(j);
    }

    void Folder(const std::string& dir, const std::string& rel, const struct stat& st) {
        if (!visited.insert({st.st_dev, st.st_ino}).second) {
            notes.push_back(dir + ": skipped, a folder already searched (a link loop or a second link)");
            return;
        }
        DIR* d = opendir(dir.c_str());
        if (!d) {
            Fail(dir, std::string("cannot read the folder: ") + std::strerror(errno));
            return;
        }
        std::vector<std::string> names;
        while (const dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(d);
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            const std::string path = Join(dir, name);
            struct stat entry;
            if (stat(path.c_str(), &entry) != 0) {
                Fail(path, std::string("cannot read: ") + std::strerror(errno));
                continue;
            }
            if (S_ISDIR(entry.st_mode)) {
                Folder(path, rel + name + "/", entry);
            } else if (S_ISREG(entry.st_mode)) {
                std::string error;
                const char* kind = SniffImage(path, &error);
                if (!kind)
                    Fail(path, error);
                else if (!*kind)
                    ++skipped;
                else
                    AddImage(path, rel + Stem(name), kind);
            }
            // Devices, pipes and sockets are never opened.
        }
    }

    void Target(const std::string& target) {
        struct stat st;
        if (stat(target.c_str(), &st) != 0) {
            Fail(target, std::string("cannot read: ") + std::strerror(errno));
            return;
        }
        if (S_ISDIR(st.st_mode)) {
            Folder(target, "", st);
            return;
        }
        // A file named on the command line is taken whatever it holds; the
        // work reports what it cannot read.
        std::string error;
        const char* kind = S_ISREG(st.st_mode) ? SniffImage(target, &error) : "";
        if (!kind) {
            Fail(target, error);
            return;
        }
        AddImage(target, Stem(target), *kind ? kind : ".png");
    }
};

}  // namespace

const char* SniffImage(const std::string& path, std::string* error) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        if (error) *error = std::string("cannot read: ") + std::strerror(errno);
        return nullptr;
    }
    unsigned char head[8] = {0};
    const size_t n = std::fread(head, 1, sizeof head, f);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) {
        if (error) *error = "cannot read the file";
        return nullptr;
    }
    static const unsigned char kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (n == 8 && std::memcmp(head, kPng, 8) == 0) return ".png";
    if (n >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) return ".jpg";
    if (n >= 2 && head[0] == 'B' && head[1] == 'M') return ".bmp";
    return "";
}

std::vector<BatchJob> CollectJobs(const std::vector<std::string>& targets, const std::string& outDir,
                                  const std::string& suffix, const std::string& ext, int* skipped,
                                  std::vector<std::string>* notes) {
    Walker w;
    w.outDir = outDir;
    w.suffix = suffix;
    w.ext = ext;
    for (const std::string& t : targets) w.Target(t);

    // No job may replace an input or another job's result.
    std::set<std::string> inputs, outputs;
    for (const BatchJob& j : w.jobs) inputs.insert(Absolute(j.input));
    for (BatchJob& j : w.jobs) {
        if (j.output.empty()) continue;
        const std::string out = Absolute(j.output);
        if (inputs.count(out)) {
            j.error = "its result '" + j.output + "' would replace an input";
            j.output.clear();
        } else if (!outputs.insert(out).second) {
            j.error = "its result '" + j.output + "' would replace the result of another input";
            j.output.clear();
        }
    }
    if (skipped) *skipped = w.skipped;
    if (notes) *notes = w.notes;
    return w.jobs;
}

bool MakeParentFolders(const std::string& file, std::string* error) {
    const std::string dir = Folder(file);
    for (size_t at = 1; at <= dir.size(); ++at) {
        if (at != dir.size() && dir[at] != '/') continue;
        const std::string part = dir.substr(0, at);
        if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) {
            *error = "cannot create the folder '" + part + "': " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

bool PrepareOutputFolder(const std::string& dir, std::string* error) {
    if (dir.empty()) {
        *error = "empty output folder";
        return false;
    }
    if (!MakeParentFolders(Join(dir, "x"), error)) return false;
    struct stat st;
    if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        *error = "the output '" + dir + "' is not a folder";
        return false;
    }
    // Writing a file proves more than the permission bits (read-only mounts,
    // root on a folder without write permission, ...).
    const std::string probe = Join(dir, ".huevane-write-test-" + std::to_string(getpid()));
    std::FILE* f = std::fopen(probe.c_str(), "wb");
    if (!f) {
        *error = "cannot write in the output folder '" + dir + "': " + std::strerror(errno);
        return false;
    }
    std::fclose(f);
    std::remove(probe.c_str());
    return true;
}

std::string FormatProgress(int done, int total, double seconds) {
    const int width = 20;
    const int filled = total > 0 ? static_cast<int>(static_cast<long long>(done) * width / total) : width;
    std::string bar = "[" + std::string(static_cast<size_t>(filled), '#') +
                      std::string(static_cast<size_t>(width - filled), '.') + "]";
    char text[96];
    if (done > 0 && seconds > 0) {
        const double rate = done / seconds;
        const long left = static_cast<long>((total - done) / rate + 0.5);
        std::snprintf(text, sizeof text, "  %d/%d  %.1f images/s  %ld:%02ld left", done, total, rate, left / 60,
                      left % 60);
    } else {
        std::snprintf(text, sizeof text, "  %d/%d", done, total);
    }
    return bar + text;
}

int DefaultJobCount() {
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : static_cast<int>(std::min(n, 256u));
}

int RunBatch(const std::vector<BatchJob>& jobs, const BatchOptions& options,
             const std::function<BatchResult(const BatchJob&)>& work) {
    const size_t n = jobs.size();
    std::vector<BatchResult> results(n);
    std::vector<char> finished(n, 0);
    std::mutex lock;
    std::condition_variable changed;
    std::atomic<size_t> next{0};
    int doneCount = 0;
    const auto start = std::chrono::steady_clock::now();

    auto worker = [&] {
        for (;;) {
            const size_t i = next++;
            if (i >= n) return;
            BatchResult r;
            if (!jobs[i].error.empty()) {
                r.error = jobs[i].error;
            } else {
                try {
                    r = work(jobs[i]);
                } catch (const std::bad_alloc&) {
                    r = BatchResult();
                    r.error = "out of memory";
                } catch (const std::exception& e) {
                    r = BatchResult();
                    r.error = e.what();
                }
            }
            {
                std::lock_guard<std::mutex> g(lock);
                results[i] = std::move(r);
                finished[i] = 1;
                ++doneCount;
            }
            changed.notify_one();
        }
    };
    const int threads = static_cast<int>(std::min<size_t>(static_cast<size_t>(std::max(options.threads, 1)),
                                                          std::max<size_t>(n, 1)));
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t) pool.emplace_back(worker);

    auto elapsed = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    bool barShown = false;
    auto clearBar = [&] {
        if (barShown) std::fputs("\r\033[K", stderr);
        barShown = false;
    };

    size_t printed = 0;
    int failed = 0;
    if (options.json) std::printf("{\"files\": [");
    if (options.progress && n) {
        std::fprintf(stderr, "%s\033[K", FormatProgress(0, static_cast<int>(n), 0).c_str());
        std::fflush(stderr);
        barShown = true;
    }
    std::unique_lock<std::mutex> g(lock);
    while (printed < n) {
        changed.wait_for(g, std::chrono::milliseconds(250), [&] { return finished[printed] != 0; });
        // Results in job order, as soon as all before them are in.
        while (printed < n && finished[printed]) {
            const BatchResult& r = results[printed];
            const BatchJob& j = jobs[printed];
            clearBar();
            if (r.ok) {
                if (options.json)
                    std::printf("%s\n  %s", printed ? "," : "", r.json.c_str());
                else
                    std::printf("%s\n", r.text.c_str());
            } else {
                ++failed;
                // Messages that name their file already are not prefixed again.
                const bool named = r.error.compare(0, j.input.size() + 1, j.input + ":") == 0;
                std::fprintf(stderr, "huevane %s: %s%s%s\n", options.command.c_str(), named ? "" : j.input.c_str(),
                             named ? "" : ": ", r.error.c_str());
                if (options.json)
                    std::printf("%s\n  {\"input\": %s, \"error\": %s}", printed ? "," : "",
                                JsonString(j.input).c_str(), JsonString(r.error).c_str());
            }
            std::fflush(stdout);
            ++printed;
        }
        if (options.progress && printed < n) {
            std::fprintf(stderr, "\r%s\033[K", FormatProgress(doneCount, static_cast<int>(n), elapsed()).c_str());
            std::fflush(stderr);
            barShown = true;
        }
    }
    g.unlock();
    for (std::thread& t : pool) t.join();
    clearBar();

    const int ok = static_cast<int>(n) - failed;
    const double seconds = elapsed();
    if (options.json) {
        std::printf("%s], \"done\": %d, \"failed\": %d, \"skipped\": %d}\n", n ? "\n" : "", ok, failed,
                    options.skipped);
    } else {
        std::printf("%s %d of %zu image%s in %.1f s (%.1f images/s, %d at once)", options.verb.c_str(), ok, n,
                    n == 1 ? "" : "s", seconds, seconds > 0 ? ok / seconds : 0.0, threads);
        if (failed) std::printf(", %d failed", failed);
        if (options.skipped)
            std::printf(", %d file%s skipped (not images)", options.skipped, options.skipped == 1 ? "" : "s");
        std::printf("\n");
    }
    std::fflush(stdout);
    return failed ? kExitFailure : kExitOk;
}

int RunCommandBatch(int argc, char** argv, const BatchSpec& spec, int (*one)(int argc, char** argv)) {
    CommandExtras extras;
    extras.options = {{"jobs", 'j', true}, {"quiet", 0, false}, {"json", 0, false}};
    extras.help = spec.help;
    // The command's options and positional count, as its Start sees them.
    CommandExtras::Probe probe;
    extras.probe = &probe;
    SetCommandExtras(&extras);
    one(argc, argv);
    extras.probe = nullptr;

    // Anything but a batch, wrong command lines included, is the single
    // form's to run or report.
    auto single = [&] {
        const int code = one(argc, argv);
        SetCommandExtras(nullptr);
        return code;
    };
    Args args;
    std::string error;
    if (probe.positionals < 1 || !args.Parse(argc, argv, probe.options, &error) || args.Has("help")) return single();
    const size_t fixedCount = probe.positionals - 1;
    const std::vector<std::string>& pos = args.positional();
    if (pos.size() < fixedCount + 1) return single();
    const std::vector<std::string> targets(pos.begin(), pos.end() - static_cast<long>(fixedCount));
    const std::vector<std::string> fixed(pos.end() - static_cast<long>(fixedCount), pos.end());
    const std::string outDir = args.Value("output");
    struct stat st;
    const bool outIsFolder =
        args.Has("output") && ((!outDir.empty() && outDir.back() == '/') ||
                               (stat(outDir.c_str(), &st) == 0 && S_ISDIR(st.st_mode)));
    const bool targetIsFolder = stat(targets[0].c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    if (targets.size() == 1 && !targetIsFolder && !outIsFolder) return single();
    SetCommandExtras(nullptr);

    const std::string cmd = spec.command;
    if (!args.Has("output")) return UsageError(cmd, "missing output folder (-o OUTDIR) for several images");
    if (!outIsFolder && NamesImageFile(outDir))
        return UsageError(cmd, "'" + outDir + "' names an image file; several images need an output folder");
    for (const std::string& name : spec.singleOnly)
        if (args.Has(name)) return UsageError(cmd, "--" + name + " names one file; it takes a single target");
    int jobsWanted = 1;
    if (!args.IntValue("jobs", 1, 256, DefaultJobCount(), &jobsWanted, &error)) return UsageError(cmd, error);
    if (!PrepareOutputFolder(outDir, &error)) return Failure(cmd, error);

    BatchOptions options;
    options.command = cmd;
    options.verb = spec.verb;
    options.threads = jobsWanted;
    options.json = args.Has("json");
    options.progress = !args.Has("quiet") && !options.json && isatty(2);
    std::vector<std::string> notes;
    const std::vector<BatchJob> jobs = CollectJobs(targets, outDir, spec.suffix, spec.ext, &options.skipped, &notes);
    for (const std::string& note : notes) std::fprintf(stderr, "huevane %s: %s\n", cmd.c_str(), note.c_str());

    // The options each image's run gets: all given but the batch's own.
    std::vector<std::string> forwarded;
    for (const auto& [name, value] : args.values()) {
        if (name == "output" || name == "jobs" || name == "quiet") continue;
        bool hasValue = false;
        for (const Option& o : probe.options)
            if (name == o.name) hasValue = o.hasValue;
        forwarded.push_back(hasValue ? "--" + name + "=" + value : "--" + name);
    }

    auto work = [&](const BatchJob& job) {
        BatchResult r;
        if (!MakeParentFolders(job.output, &r.error)) return r;
        // "--" ends the options, so inputs whose names start with '-' stay
        // positional.
        std::vector<std::string> words = {cmd, "--output=" + job.output};
        words.insert(words.end(), forwarded.begin(), forwarded.end());
        words.push_back("--");
        words.push_back(job.input);
        words.insert(words.end(), fixed.begin(), fixed.end());
        std::vector<char*> argvJob;
        for (std::string& w : words) argvJob.push_back(&w[0]);
        argvJob.push_back(nullptr);
        Capture capture;
        SetCapture(&capture);
        SetCommandExtras(&extras);
        int code = kExitFailure;
        try {
            code = one(static_cast<int>(argvJob.size()) - 1, argvJob.data());
        } catch (...) {
            SetCapture(nullptr);
            SetCommandExtras(nullptr);
            throw;  // RunBatch reports it as this image's failure
        }
        SetCapture(nullptr);
        SetCommandExtras(nullptr);
        auto trimmed = [](std::string text) {
            while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
            return text;
        };
        r.ok = code == kExitOk;
        r.text = r.json = trimmed(capture.out);
        r.error = trimmed(capture.err);
        if (!r.ok && r.error.empty()) r.error = "failed";
        // A failed run leaves no half result behind.
        if (!r.ok) std::remove(job.output.c_str());
        return r;
    };
    return RunBatch(jobs, options, work);
}

}  // namespace hvcli
