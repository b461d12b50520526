#include "openmsx_run.h"

#include "child_process.h"

#include <atomic>
#include <cctype>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string_view>

namespace openmsx {

namespace fs = std::filesystem;

namespace {

// The C-BIOS images the two machines need (Debian's cbios package; the
// openmsx package finds them there).
const char* const cbios_files[] = {"cbios_main_msx1.rom", "cbios_logo_msx1.rom", "cbios_main_msx2.rom",
                                   "cbios_logo_msx2.rom", "cbios_sub.rom"};
const fs::path cbios_dir = "/usr/share/cbios";

// A word for a Tcl script: every character that is not a letter or digit
// escaped with a backslash, which Tcl takes as the character itself.
std::string tcl_word(const std::string& text)
{
    std::string word;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F)
            throw std::invalid_argument("control character in a Tcl word: " + text);
        if (!std::isalnum(u))
            word += '\\';
        word += c;
    }
    return word.empty() ? "{}" : word;
}

std::string hex(const std::vector<std::uint8_t>& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (const std::uint8_t b : bytes) {
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

std::vector<std::uint8_t> unhex(const std::string& text)
{
    if (text.size() % 2)
        throw std::runtime_error("openMSX result: odd hex string");
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < text.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
    return bytes;
}

std::string text_of(const std::string& hex_text)
{
    const std::vector<std::uint8_t> bytes = unhex(hex_text);
    return std::string(bytes.begin(), bytes.end());
}

void write_bytes(const fs::path& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

std::string job_script(const Job& job, const fs::path& program, const fs::path& result)
{
    std::ostringstream s;
    s << "set job_program " << tcl_word(program.string()) << "\n";
    s << "set job_start " << job.start << "\nset job_exec " << job.exec << "\n";
    s << "set job_pokes {";
    for (const auto& [address, bytes] : job.pokes)
        s << " {" << address << " " << hex(bytes) << "}";
    s << " }\n";
    s << "set job_tape " << tcl_word(job.tape.string()) << "\n";
    s << "set job_seconds " << job.seconds << "\n";
    for (const auto& [name, breakpoints] : {std::pair{"stops", &job.stops}, std::pair{"checks", &job.checks}}) {
        s << "set job_" << name << " {";
        for (const Breakpoint& b : *breakpoints)
            s << " {" << b.address << " " << (b.ram_only ? 1 : 0) << "}";
        s << " }\n";
    }
    s << "set job_dumps {";
    for (const MemoryRange& d : job.dumps)
        s << " {" << d.address << " " << d.length << "}";
    s << " }\n";
    s << "set job_loadings " << job.loadings << "\n";
    s << "set job_tallies {";
    for (const std::uint16_t address : job.tallies)
        s << " " << address;
    s << " }\n";
    s << "set job_result " << tcl_word(result.string()) << "\n";
    s << "source " << tcl_word(OPENMSX_DRIVER) << "\n";
    return s.str();
}

Report parse_result(std::istream& in)
{
    Report report;
    Snapshot* current = nullptr;
    bool ended = false;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string what;
        words >> what;
        if (what == "check" || what == "stop") {
            std::string reason, address;
            double seconds = 0;
            if (what == "stop")
                words >> reason;
            words >> address >> seconds;
            const auto pc = static_cast<std::uint16_t>(std::stoul(address, nullptr, 16));
            if (what == "check") {
                current = &report.checks[pc];
            } else {
                current = &report.stop;
                report.pc = pc;
                report.reason = reason == "entry"      ? StopReason::entry
                                : reason == "returned" ? StopReason::returned
                                : reason == "loadings" ? StopReason::loadings
                                                       : StopReason::time;
            }
            current->seconds = seconds;
        } else if (what == "dump" && current) {
            std::string address, bytes;
            words >> address >> bytes;
            current->memory[static_cast<std::uint16_t>(std::stoul(address, nullptr, 16))] = unhex(bytes);
        } else if (what == "printed" || what == "screen" || what == "verdict") {
            std::string bytes;
            words >> bytes;
            (what == "printed" ? report.printed : what == "screen" ? report.screen : report.verdict) = text_of(bytes);
        } else if (what == "tally") {
            int value = 0;
            std::uint64_t count = 0;
            while (words >> value >> count)
                report.tally[value] += count;
        } else if (what == "end") {
            ended = true;
        }
    }
    if (!ended)
        throw std::runtime_error("openMSX result incomplete");
    return report;
}

}  // namespace

std::string missing()
{
    if (!tools::in_path("openmsx"))
        return "openmsx is not installed";
    for (const char* name : cbios_files)
        if (!fs::exists(cbios_dir / name))
            return (cbios_dir / name).string() + " is missing (package cbios)";
    return {};
}

Report run(const Job& job, const fs::path& work)
{
    static std::atomic<int> counter = 0;
    const fs::path dir = work / ("openmsx-" + std::to_string(counter++));
    fs::create_directories(dir / "home" / "share");
    // A private settings folder: no user settings leak in, no sound device.
    write_bytes(dir / "home" / "share" / "settings.xml",
               "<!DOCTYPE settings SYSTEM 'settings.dtd'>\n"
               "<settings><settings><setting id=\"sound_driver\">null</setting></settings></settings>\n");
    write_bytes(dir / "program.bin",
                std::string_view(reinterpret_cast<const char*>(job.program.data()), job.program.size()));
    write_bytes(dir / "job.tcl", job_script(job, dir / "program.bin", dir / "result.txt"));

    tools::ChildOptions options;
    options.cwd = dir;
    options.environment = {"OPENMSX_HOME=" + (dir / "home").string(), "SDL_VIDEODRIVER=dummy",
                           "SDL_AUDIODRIVER=dummy"};
    // Emulation runs some tens of times faster than real time; the limit
    // only catches a process that no longer runs its script.
    options.timeout_seconds = 30 + static_cast<int>(job.seconds);
    const tools::ChildResult child = tools::run_child(
        {"openmsx", "-machine", job.machine, "-carta", OPENMSX_BOOT_CARTRIDGE, "-script", (dir / "job.tcl").string()},
        options);
    std::ifstream result(dir / "result.txt");
    try {
        if (!result)
            throw std::runtime_error("openMSX wrote no result");
        Report report = parse_result(result);
        result.close();
        std::error_code ignored;
        fs::remove_all(dir, ignored);
        return report;
    } catch (const std::runtime_error& e) {
        throw std::runtime_error(std::string(e.what()) + " (" + job.machine + ", status " +
                                 std::to_string(child.status) + (child.timed_out ? ", timed out" : "") + "):\n" +
                                 child.output);
    }
}

}  // namespace openmsx
