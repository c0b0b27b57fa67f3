#include "OutputCheck.h"

#include "alg/song/MidiExport.h"
#include "session/TuneSession.h"

#include <cctype>
#include <cerrno>
#include <sys/stat.h>
#include <system_error>

namespace korvanta::cli {

namespace fs = std::filesystem;

namespace {

fs::path resolved(const fs::path& path) {
    std::error_code ec;
    fs::path out = fs::weakly_canonical(path, ec);
    if (ec) out = fs::absolute(path, ec).lexically_normal();
    return out;
}

std::string quoted(const fs::path& path) {
    return "'" + path.string() + "'";
}

struct NamedOutput {
    const fs::path* path;
    const char* role;
    std::size_t input; // index into the plan
};

} // namespace

fs::path projectPathFor(const CliCommand& cmd, const fs::path& input) {
    if (!cmd.output.empty()) return cmd.output;
    fs::path name = input.filename();
    name.replace_extension(".kvt");
    if (!cmd.outdir.empty()) return fs::path(cmd.outdir) / name;
    return input.parent_path() / name;
}

fs::path exportPathFor(const CliCommand& cmd, const fs::path& input) {
    if (!cmd.exportPath.empty()) return cmd.exportPath;
    if (cmd.exportDir.empty()) return {};
    fs::path name = input.filename();
    name.replace_extension(".mid");
    return fs::path(cmd.exportDir) / exportFileName(name.string());
}

std::vector<PlannedOutputs> planOutputs(const CliCommand& cmd) {
    std::vector<PlannedOutputs> plan;
    plan.reserve(cmd.files.size());
    for (const std::string& file : cmd.files) {
        PlannedOutputs p;
        p.input = file;
        p.project = projectPathFor(cmd, p.input);
        p.exported = exportPathFor(cmd, p.input);
        if (!cmd.wavPath.empty()) p.wav = cmd.wavPath;
        plan.push_back(std::move(p));
    }
    return plan;
}

bool samePlace(const fs::path& a, const fs::path& b) {
    std::error_code ecA;
    std::error_code ecB;
    const bool aExists = fs::exists(a, ecA);
    const bool bExists = fs::exists(b, ecB);
    if (aExists && bExists) {
        std::error_code ec;
        return fs::equivalent(a, b, ec);
    }
    // A file that exists is never one that does not.
    if (aExists != bExists) return false;
    return resolved(a) == resolved(b);
}

std::string outputConflict(const std::vector<PlannedOutputs>& plan) {
    std::vector<NamedOutput> outputs;
    for (std::size_t i = 0; i < plan.size(); ++i) {
        outputs.push_back({&plan[i].project, "the project", i});
        if (!plan[i].exported.empty()) outputs.push_back({&plan[i].exported, "the MIDI export", i});
        if (!plan[i].wav.empty()) outputs.push_back({&plan[i].wav, "the WAV file", i});
    }
    for (const NamedOutput& o : outputs) {
        std::error_code ec;
        if (fs::is_directory(*o.path, ec))
            return std::string(o.role) + " " + quoted(*o.path) + " is a folder, not a file";
    }
    for (const NamedOutput& o : outputs) {
        for (std::size_t j = 0; j < plan.size(); ++j) {
            // A project saved back over the project it was read from is the
            // in-place save; every other output over an input would lose it.
            const bool inPlace = o.input == j && o.path == &plan[j].project &&
                                 songKindOf(plan[j].input.string()) == SongKind::Project;
            if (!inPlace && samePlace(*o.path, plan[j].input))
                return std::string(o.role) + " of " + quoted(plan[o.input].input) +
                       " would replace the input " + quoted(plan[j].input);
        }
    }
    for (std::size_t a = 0; a < outputs.size(); ++a) {
        for (std::size_t b = a + 1; b < outputs.size(); ++b) {
            if (!samePlace(*outputs[a].path, *outputs[b].path)) continue;
            return quoted(*outputs[a].path) + " would be written twice: as " + outputs[a].role +
                   " of " + quoted(plan[outputs[a].input].input) + " and as " + outputs[b].role +
                   " of " + quoted(plan[outputs[b].input].input);
        }
    }
    return {};
}

std::string existingProjectProblem(const CliCommand& cmd, const PlannedOutputs& outputs) {
    if (cmd.force || !cmd.output.empty() || !cmd.outdir.empty()) return {};
    std::error_code ec;
    if (!fs::exists(outputs.project, ec) || samePlace(outputs.project, outputs.input)) return {};
    return "the project " + quoted(outputs.project) +
           " exists already and may hold chord edits; name it with -o, or give --force to "
           "replace it";
}

std::string inputProblem(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return std::error_code(errno, std::generic_category()).message();
    if (S_ISDIR(info.st_mode)) return "it is a folder, not a file";
    if (!S_ISREG(info.st_mode)) return "not a regular file (a FIFO, a device or a socket)";
    return {};
}

} // namespace korvanta::cli
