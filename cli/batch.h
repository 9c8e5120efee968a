// Batch work for the commands that turn images into images (restyle,
// reduce): targets (files or folders) expanded into jobs, an output folder
// made ready before any work, N images at once, a progress bar, per-file
// errors, and results printed in input order whatever the number of threads.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "args.h"

namespace hvcli {

// One image to process and where its result goes.
struct BatchJob {
    std::string input;
    std::string output;  // empty when the input could not be taken (see error)
    std::string error;   // set when the input failed before any work
};

// What a job gives back: a line of text (or a JSON object) for stdout, or
// the reason it failed.
struct BatchResult {
    bool ok = false;
    std::string text;   // one line, without the line feed
    std::string json;   // one JSON object
    std::string error;  // without the "huevane COMMAND: " prefix
};

// The image format of a file by its first bytes: ".png", ".jpg" or ".bmp";
// "" for a readable file of another kind; null when it cannot be read, with
// the reason in *error.
const char* SniffImage(const std::string& path, std::string* error);

// Expands the targets into jobs writing to outDir: a file target as given
// (it fails later if it is not an image); a folder searched recursively, in
// name order, for files that are images by their content. Symbolic links are
// followed but no folder is searched twice, so link loops end. Entries that
// cannot be read become failed jobs with one message each; files found in
// folders that are not images are skipped and counted in *skipped. The
// output of <folder>/<sub>/<name>.<ext> is outDir/<sub>/<stem><suffix><ext>,
// of a file target outDir/<stem><suffix><ext>; ext is the given extension,
// or the input's format by content when it is empty. An output that would
// replace an input or another job's output fails that job.
std::vector<BatchJob> CollectJobs(const std::vector<std::string>& targets, const std::string& outDir,
                                  const std::string& suffix, const std::string& ext, int* skipped,
                                  std::vector<std::string>* notes);

// Creates the folder (and its parents) when missing and checks that files
// can be written in it; false with the reason otherwise.
bool PrepareOutputFolder(const std::string& dir, std::string* error);

// Creates the folders of a file's path (not the file); false with a reason.
bool MakeParentFolders(const std::string& file, std::string* error);

// The progress line: a 20-character bar, done/total, images per second and
// the time left (m:ss), e.g. "[#####...............]  5/20  2.5 images/s  0:06 left".
std::string FormatProgress(int done, int total, double seconds);

// The number of images processed at once by default: the number of cores.
int DefaultJobCount();

struct BatchOptions {
    std::string command;  // for messages: "huevane <command>: ..."
    int threads = 1;
    bool progress = false;  // draw the progress bar on stderr
    bool json = false;      // print {"files": [...], "done": n, "failed": m}
    int skipped = 0;        // non-image files skipped while collecting
    std::string verb;       // for the summary: "restyled", "reduced"
};

// Runs work over the jobs (those with an error fail without running) on
// options.threads threads. Prints each job's text (or JSON) to stdout and
// each failure to stderr, in job order; then a summary line (not with
// json). Returns the exit code: 0 when every job succeeded, 1 otherwise.
int RunBatch(const std::vector<BatchJob>& jobs, const BatchOptions& options,
             const std::function<BatchResult(const BatchJob&)>& work);

// The batch form of a command that turns one image into one image:
//   huevane COMMAND TARGET... [FIXED...] -o OUTDIR [-j N] [--quiet] [options]
// where each TARGET is an image file or a folder and FIXED are the
// command's other positional arguments (restyle: the style).
struct BatchSpec {
    const char* command;                  // "restyle"
    const char* verb;                     // for the summary: "restyled"
    const char* help;                     // printed after the command's own help
    std::vector<std::string> singleOnly;  // options that name one output file
    std::string suffix;                   // added to each output's name
    std::string ext;                      // the output's extension; "" keeps the input's format
};

// Runs a command that has a batch form. one() is its single form, which
// starts with hvcli::Start; through this it also accepts -j/--jobs N,
// --quiet and --json (it prints its result as one JSON object with
// --json). When argv names several targets, a folder, or an output folder
// (an existing folder, or a path ending in '/'), each image goes through
// one(), called as "COMMAND --output=OUT [options] -- INPUT FIXED..." with
// the options given (but -o, -j and --quiet) and its output captured, on N
// threads; otherwise one() runs argv itself. Returns the exit code.
int RunCommandBatch(int argc, char** argv, const BatchSpec& spec, int (*one)(int argc, char** argv));

}  // namespace hvcli
