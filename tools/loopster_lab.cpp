// loopster-lab: the pattern engine on the command line, for exploring the curves and for checking
// the maths from outside the code, and pictures of the saver: a frame as PNG or SVG, a run as an
// animation. Every result is JSON on stdout; bad arguments get a one-line error on stderr and exit
// status 2, leaving no file; a run-time error of the engine, a number JSON cannot hold, or a
// failure to write a file or stdout exits with status 1.
#include <unistd.h>

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QSize>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "common/numeric.h"
#include "common/run_error.h"
#include "core/geometry/curve_tracer.h"
#include "core/pattern/frame_table.h"
#include "core/pattern/randomiser.h"
#include "core/pattern/standard_random.h"
#include "hosts/posix/posix_files.h"
#include "tools/lab_animation.h"
#include "tools/lab_pictures.h"

namespace loopster {
namespace {

constexpr const char* kUsage =
    "Usage: loopster-lab curve R r p theta0 g\n"
    "       loopster-lab frame i FrameCount FixedGearSize RollingGearSize penOffsetFrom\n"
    "                    penOffsetTo startAngleFrom startAngleTo gearPositionFrom gearPositionTo\n"
    "                    colourFrom colourTo\n"
    "       loopster-lab patterns --seed S [--count N]\n"
    "       loopster-lab render R r p theta0 g --size WxH [--width 1|2] [--colour N]\n"
    "                    --out F.png|F.svg\n"
    "       loopster-lab animate --seed S --seconds T --size WxH [--fps N] [--heavy]\n"
    "                    --out F.webp|F.gif\n"
    "       loopster-lab still --seed S --frame F --size WxH [--heavy] --out F.png\n"
    "       loopster-lab --help | --version\n"
    "\n"
    "The pattern engine of the loopster screen saver on the command line; results are JSON.\n"
    "  curve     the closed curve of one frame record: R and r the fixed and rolling gears'\n"
    "            radii (positive, R at least r / 20), p the pen offset in model units, theta0\n"
    "            in radians, g the whole gear position (-100 inside .. 100 outside)\n"
    "  frame     the frame record that frame i of an animation with that sheet gets\n"
    "  patterns  N (default 1) successive new patterns from a fresh sheet seeded with S, one\n"
    "            JSON object per line\n"
    "  render    the curve's frame drawn as the saver draws it, on black: a PNG of the pixels,\n"
    "            or an SVG with the mapped points as one polyline; colour is red + 256 * green\n"
    "            + 65536 * blue (default 16777215, white), width the pen in pixels (default 1)\n"
    "  animate   T seconds (0.001 to 3600) of the saver's own patterns and frames from seed S\n"
    "            at its frame rate (N from 5 to 100, default 30), heavy meaning two-pixel lines\n"
    "  still     frame F of the first pattern from seed S, drawn by the saver's render loop:\n"
    "            what the saver and the hack show under LOOPSTER_TEST_PIN=S:F at that size\n"
    "See loopster-lab(1) for the fields of the results.\n";

struct UsageError {
    std::string message;
};

double numberArg(std::string_view text, const char* name) {
    try {
        const double value = textToNumber(text);
        if (std::isfinite(value)) {
            return value;
        }
    } catch (const RunError&) {
    }
    throw UsageError{std::string(name) + " is not a number: '" + std::string(text) + "'"};
}

long long integerArg(std::string_view text, const char* name, long long low, long long high) {
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < low ||
        value > high) {
        throw UsageError{std::string(name) + " must be a whole number from " + std::to_string(low) +
                         " to " + std::to_string(high) + ": '" + std::string(text) + "'"};
    }
    return value;
}

// A result that JSON cannot hold, such as a radius that overflows to infinity.
struct OutputError {
    std::string message;
};

// The shortest text that reads back as the same double. JSON has no infinity or NaN, so a value
// that is not finite is an error naming the field rather than invalid output.
std::string json(double value, const char* name = "a result") {
    if (!std::isfinite(value)) {
        throw OutputError{std::string(name) + " is " +
                          (std::isnan(value) ? "not a number" : "infinite") +
                          ", which JSON cannot hold; the inputs are too large"};
    }
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string text(buffer, result.ptr);
    if (text.find_first_of(".e") == std::string::npos && std::abs(value) < 1e15) {
        text += ".0";
    }
    return text;
}

// Prints `text` and flushes stdout: results that never reached it (a full disk, a closed pipe) are
// a failure, not a success.
void writeResults(std::string_view text = {}) {
    errno = 0;
    std::cout << text;
    std::cout.flush();
    const bool failed = std::fflush(stdout) != 0 || std::ferror(stdout) != 0 || !std::cout;
    if (failed) {
        const int error = errno;
        throw OutputError{std::string("cannot write the results to stdout: ") +
                          (error != 0 ? std::strerror(error) : "write error")};
    }
}

// A sheet's text as a JSON number: the randomiser writes only whole numbers, which are already
// JSON; anything else stays a string.
std::string sheetNumber(const std::string& text) {
    const std::size_t digits = text.starts_with('-') ? 1 : 0;
    const bool whole = text.size() > digits &&
                       text.find_first_not_of("0123456789", digits) == std::string::npos &&
                       (text[digits] != '0' || text.size() == digits + 1);
    return whole ? text : "\"" + text + "\"";
}

// The five numbers of a frame record that `curve` and `render` take: the tracer needs two positive
// radii and at least one step a turn, 20 R / r >= 1, and otherwise divides by zero or never closes.
FrameRecord recordArgs(const std::vector<std::string_view>& args, const char* command) {
    std::size_t given = 0;
    while (given < args.size() && given < 5 && !args[given].starts_with("--")) {
        ++given;
    }
    if (given < 5) {
        static const char* const kNames[] = {"R", "r", "p", "theta0", "g"};
        throw UsageError{std::string(command) +
                         " takes 5 numbers, R r p theta0 g: " + kNames[given] + " is missing"};
    }
    FrameRecord record;
    record.FixedRadius = numberArg(args[0], "R");
    record.RollingRadius = numberArg(args[1], "r");
    record.PenOffset = numberArg(args[2], "p");
    record.StartAngle = numberArg(args[3], "theta0");
    record.GearPosition = static_cast<std::int16_t>(integerArg(args[4], "g", -32768, 32767));
    if (!(record.RollingRadius > 0)) {
        throw UsageError{"r must be a positive radius: '" + std::string(args[1]) + "'"};
    }
    if (!(record.FixedRadius > 0)) {
        throw UsageError{"R must be a positive radius: '" + std::string(args[0]) + "'"};
    }
    if (std::floor(20.0 * record.FixedRadius / record.RollingRadius) < 1) {
        std::ostringstream least;
        least << record.RollingRadius / 20;
        throw UsageError{"R must be at least r / 20 (" + least.str() +
                         "), or the curve has no step: '" + std::string(args[0]) + "'"};
    }
    return record;
}

void curve(const std::vector<std::string_view>& args) {
    if (args.size() > 5) {
        throw UsageError{"curve takes 5 numbers, R r p theta0 g, and no more: '" +
                         std::string(args[5]) + "'"};
    }
    auto table = std::make_unique<FrameTable>();
    FrameRecord& record = (*table)[0];
    record = recordArgs(args, "curve");
    auto buffer = std::make_unique<CurveBuffer>();
    TraceCurve(0, *table, PatternGlobals{}.PiValue, *buffer);

    std::ostringstream out;
    out << "{\"PointCount\": " << buffer->PointCount << ", \"points\": [";
    for (int i = 0; i <= buffer->PointCount; ++i) {
        const CurvePoint& point = buffer->CurvePoints[static_cast<std::size_t>(i)];
        out << (i == 0 ? "" : ", ") << '[' << point.x << ", " << point.y << ']';
    }
    out << "]}\n";
    std::cout << out.str();
}

void frame(const std::vector<std::string_view>& args) {
    static const char* const kNames[] = {
        "i",           "FrameCount",     "FixedGearSize", "RollingGearSize",  "penOffsetFrom",
        "penOffsetTo", "startAngleFrom", "startAngleTo",  "gearPositionFrom", "gearPositionTo",
        "colourFrom",  "colourTo"};
    if (args.size() < 12) {
        throw UsageError{std::string("frame takes 12 numbers (see --help): ") +
                         kNames[args.size()] + " is missing"};
    }
    if (args.size() > 12) {
        throw UsageError{"frame takes 12 numbers (see --help), and no more: '" +
                         std::string(args[12]) + "'"};
    }
    PatternGlobals globals;
    GenBox genbox;
    const auto index = static_cast<std::int16_t>(integerArg(args[0], "i", 0, 5000));
    globals.FrameCount = static_cast<std::int16_t>(integerArg(args[1], "FrameCount", 1, 32767));
    if (index >= globals.FrameCount) {
        throw UsageError{"i must be below FrameCount"};
    }
    globals.FixedGearSize = numberArg(args[2], "FixedGearSize");
    globals.RollingGearSize =
        static_cast<std::int16_t>(integerArg(args[3], "RollingGearSize", -32768, 32767));
    std::string* texts[] = {&genbox.Text1, &genbox.Text2, &genbox.Text4,
                            &genbox.Text5, &genbox.Text7, &genbox.Text8};
    for (std::size_t i = 0; i < 6; ++i) {
        numberArg(args[4 + i], kNames[4 + i]);
        *texts[i] = std::string(args[4 + i]);
    }
    genbox.Picture1 =
        static_cast<std::int32_t>(integerArg(args[10], kNames[10], INT32_MIN, INT32_MAX));
    genbox.Picture2 =
        static_cast<std::int32_t>(integerArg(args[11], kNames[11], INT32_MIN, INT32_MAX));

    auto table = std::make_unique<FrameTable>();
    BuildFrame(index, genbox, globals, *table);
    const FrameRecord& record = frameAt(*table, index);
    // Built whole first, so that a number JSON cannot hold leaves no half-printed object.
    std::ostringstream out;
    out << "{\"FixedRadius\": " << json(record.FixedRadius, "FixedRadius")
        << ", \"RollingRadius\": " << json(record.RollingRadius, "RollingRadius")
        << ", \"PenOffset\": " << json(record.PenOffset, "PenOffset")
        << ", \"StartAngle\": " << json(record.StartAngle, "StartAngle")
        << ", \"PenColor\": " << record.PenColor << ", \"GearPosition\": " << record.GearPosition
        << "}\n";
    std::cout << out.str();
}

void patterns(const std::vector<std::string_view>& args) {
    std::optional<double> seed;
    long long count = 1;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (i + 1 >= args.size()) {
            throw UsageError{std::string(args[i]) + " needs a value after it"};
        }
        if (args[i] == "--seed") {
            seed = numberArg(args[++i], "--seed");
        } else if (args[i] == "--count") {
            count = integerArg(args[++i], "--count", 0, 100000000);
        } else {
            throw UsageError{"unknown option " + std::string(args[i])};
        }
    }
    if (!seed) {
        throw UsageError{"patterns needs --seed S"};
    }
    StandardRandom random;
    random.seed(static_cast<float>(*seed));
    GenBox genbox;
    PatternGlobals globals;
    std::string lines;
    for (long long n = 0; n < count; ++n) {
        const std::int16_t frames = NewPattern(genbox, globals, random);
        lines += "{\"FrameCount\": " + std::to_string(frames) +
                 ", \"FixedGearSize\": " + json(globals.FixedGearSize) +
                 ", \"RollingGearSize\": " + std::to_string(globals.RollingGearSize);
        // The sheet's rows (pen offset, start angle, gear position) and columns (from, to, step),
        // then the gradient's two colours.
        const std::pair<const char*, const std::string*> texts[] = {
            {"penOffsetFrom", &genbox.Text1},    {"penOffsetTo", &genbox.Text2},
            {"penOffsetStep", &genbox.Text3},    {"startAngleFrom", &genbox.Text4},
            {"startAngleTo", &genbox.Text5},     {"startAngleStep", &genbox.Text6},
            {"gearPositionFrom", &genbox.Text7}, {"gearPositionTo", &genbox.Text8},
            {"gearPositionStep", &genbox.Text9}};
        for (const auto& [name, text] : texts) {
            lines += std::string(", \"") + name + "\": " + sheetNumber(*text);
        }
        lines += ", \"colourFrom\": " + std::to_string(genbox.Picture1) +
                 ", \"colourTo\": " + std::to_string(genbox.Picture2) + "}\n";
        if (lines.size() > 1 << 16) {
            // Output that cannot be written ends the run at once.
            writeResults(lines);
            lines.clear();
        }
    }
    std::cout << lines;
}

// The largest picture side the lab draws: an 8K screen's width.
constexpr long long kLargestSide = 7680;

QSize sizeArg(std::string_view text) {
    const auto cross = text.find('x');
    if (cross == std::string_view::npos) {
        throw UsageError{"--size must be WxH, for example 1280x720: '" + std::string(text) + "'"};
    }
    const auto width = integerArg(text.substr(0, cross), "--size width", 1, kLargestSide);
    const auto height = integerArg(text.substr(cross + 1), "--size height", 1, kLargestSide);
    return {static_cast<int>(width), static_cast<int>(height)};
}

// The output file's name and its kind, taken from its ending (in any case).
std::pair<std::string, std::string> outputArg(std::string_view text,
                                              const std::vector<std::string>& kinds) {
    // The file's own name, without its folder, must hold more than the ending.
    const auto slash = text.find_last_of('/');
    std::string name(slash == std::string_view::npos ? text : text.substr(slash + 1));
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const std::string& kind : kinds) {
        const std::string ending = "." + kind;
        if (name.size() > ending.size() && name.ends_with(ending)) {
            return {std::string(text), kind};
        }
    }
    std::string list;
    for (const std::string& kind : kinds) {
        list += (list.empty() ? "F." : " or F.") + kind;
    }
    throw UsageError{"--out must name " + list + ": '" + std::string(text) + "'"};
}

// A write failure: the message names the file and the reason.
struct WriteError {
    std::string message;
};

// An output file, written whole or not at all (see ReplacementFile): opened before the work, so
// that a target that cannot be written costs nothing, and put in place only once complete.
class OutputFile {
  public:
    explicit OutputFile(const std::string& path) {
        if (const auto failure = m_file.open(path)) {
            throw WriteError{failure->reason};
        }
    }
    bool write(const char* data, std::size_t size) { return m_file.write(data, size); }
    void commit() {
        if (const auto failure = m_file.commit()) {
            throw WriteError{failure->reason};
        }
    }
    bool failed() const { return m_file.failed(); }

  private:
    ReplacementFile m_file;
};

std::string jsonText(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            quoted += escape;
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

// Options after the positional arguments: each takes one value except the flags named in `flags`.
std::vector<std::pair<std::string_view, std::string_view>> options(
    const std::vector<std::string_view>& args, std::size_t from,
    const std::vector<std::string_view>& valued, const std::vector<std::string_view>& flags) {
    std::vector<std::pair<std::string_view, std::string_view>> found;
    for (std::size_t i = from; i < args.size(); ++i) {
        const std::string_view name = args[i];
        if (std::find(flags.begin(), flags.end(), name) != flags.end()) {
            found.emplace_back(name, "");
        } else if (std::find(valued.begin(), valued.end(), name) != valued.end()) {
            if (i + 1 >= args.size()) {
                throw UsageError{std::string(name) + " needs a value after it"};
            }
            found.emplace_back(name, args[++i]);
        } else {
            throw UsageError{"unknown option " + std::string(name)};
        }
    }
    return found;
}

void render(const std::vector<std::string_view>& args) {
    const FrameRecord record = recordArgs(args, "render");
    std::optional<QSize> size;
    std::optional<std::pair<std::string, std::string>> out;
    int width = 1;
    std::int32_t colour = 16777215;
    for (const auto& [name, value] :
         options(args, 5, {"--size", "--width", "--colour", "--out"}, {})) {
        if (name == "--size") {
            size = sizeArg(value);
        } else if (name == "--width") {
            width = static_cast<int>(integerArg(value, "--width", 1, 2));
        } else if (name == "--colour") {
            colour = static_cast<std::int32_t>(integerArg(value, "--colour", 0, 16777215));
        } else {
            out = outputArg(value, {"png", "svg"});
        }
    }
    if (!size) {
        throw UsageError{"render needs --size WxH"};
    }
    if (!out) {
        throw UsageError{"render needs --out F.png|F.svg"};
    }

    const auto mapped = mappedCurve(record, *size);
    OutputFile file(out->first);
    if (out->second == "svg") {
        const std::string svg = svgFrame(*mapped, *size, width, colour);
        file.write(svg.data(), svg.size());
    } else {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!drawnFrame(*mapped, *size, width, colour).save(&buffer, "PNG")) {
            throw EncodeError("PNG: the picture could not be encoded");
        }
        file.write(png.constData(), static_cast<std::size_t>(png.size()));
    }
    file.commit();
    std::cout << "{\"out\": " << jsonText(out->first) << ", \"width\": " << size->width()
              << ", \"height\": " << size->height() << ", \"PointCount\": " << mapped->PointCount
              << "}\n";
}

void animate(const std::vector<std::string_view>& args) {
    std::optional<double> seed;
    std::optional<double> seconds;
    std::optional<QSize> size;
    std::optional<std::pair<std::string, std::string>> out;
    SaverRun run;
    for (const auto& [name, value] :
         options(args, 0, {"--seed", "--seconds", "--size", "--fps", "--out"}, {"--heavy"})) {
        if (name == "--seed") {
            seed = numberArg(value, "--seed");
        } else if (name == "--seconds") {
            seconds = numberArg(value, "--seconds");
            if (*seconds < 0.001 || *seconds > 3600) {
                throw UsageError{"--seconds must be from 0.001 to 3600: '" + std::string(value) +
                                 "'"};
            }
        } else if (name == "--size") {
            size = sizeArg(value);
        } else if (name == "--fps") {
            run.frameRate = static_cast<std::int16_t>(integerArg(value, "--fps", 5, 100));
        } else if (name == "--heavy") {
            run.lineWidth = 2;
        } else {
            out = outputArg(value, {"webp", "gif"});
        }
    }
    for (const auto& [given, option] : {std::pair{seed.has_value(), "--seed S"},
                                        {seconds.has_value(), "--seconds T"},
                                        {size.has_value(), "--size WxH"},
                                        {out.has_value(), "--out F.webp|F.gif"}}) {
        if (!given) {
            throw UsageError{std::string("animate needs ") + option};
        }
    }
    run.seed = static_cast<float>(*seed);
    run.milliseconds = static_cast<int>(std::lround(*seconds * 1000));
    run.size = *size;

    // A progress line only for a person watching: it is rewritten in place.
    const bool showProgress = isatty(STDERR_FILENO) == 1;
    const double total = run.milliseconds / 1000.0;
    int shown = -1;
    const std::function<void(int)> progress = [&](int ms) {
        const int tenths = ms / 100;
        if (tenths != shown) {
            shown = tenths;
            std::fprintf(stderr, "\rloopster-lab: %.1f of %.1f s", ms / 1000.0, total);
            std::fflush(stderr);
        }
    };

    OutputFile file(out->first);
    const ByteOutput output = [&file](const char* data, std::size_t length) {
        return file.write(data, length);
    };
    PlayedRun played;
    try {
        const auto encoder =
            out->second == "webp" ? webpEncoder(run.size, output) : gifEncoder(run.size, output);
        played = playSaver(run, *encoder, showProgress ? progress : nullptr);
        encoder->finish(played.milliseconds);
    } catch (const EncodeError&) {
        // When the file could not be written, that is the cause to report, with its reason;
        // committing a failed file only removes its temporary and says why.
        if (file.failed()) {
            file.commit();
        }
        throw;
    }
    if (showProgress) {
        std::fputc('\n', stderr);
    }
    file.commit();
    std::cout << "{\"out\": " << jsonText(out->first) << ", \"width\": " << run.size.width()
              << ", \"height\": " << run.size.height() << ", \"frames\": " << played.frames
              << ", \"milliseconds\": " << played.milliseconds << "}\n";
}

void still(const std::vector<std::string_view>& args) {
    std::optional<double> seed;
    std::optional<long long> frame;
    std::optional<QSize> size;
    std::optional<std::pair<std::string, std::string>> out;
    SaverRun run;
    for (const auto& [name, value] :
         options(args, 0, {"--seed", "--frame", "--size", "--out"}, {"--heavy"})) {
        if (name == "--seed") {
            seed = numberArg(value, "--seed");
        } else if (name == "--frame") {
            frame = integerArg(value, "--frame", 0, 32767);
        } else if (name == "--size") {
            size = sizeArg(value);
        } else if (name == "--heavy") {
            run.lineWidth = 2;
        } else {
            out = outputArg(value, {"png"});
        }
    }
    if (!seed || !frame || !size || !out) {
        throw UsageError{"still needs --seed S, --frame F, --size WxH and --out F.png"};
    }
    run.seed = static_cast<float>(*seed);
    run.size = *size;
    run.pin = FramePin{run.seed, static_cast<std::int16_t>(*frame)};

    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!firstFrame(run).save(&buffer, "PNG")) {
        throw EncodeError("PNG: the picture could not be encoded");
    }
    OutputFile file(out->first);
    file.write(png.constData(), static_cast<std::size_t>(png.size()));
    file.commit();
    std::cout << "{\"out\": " << jsonText(out->first) << ", \"width\": " << run.size.width()
              << ", \"height\": " << run.size.height() << ", \"seed\": " << run.seed
              << ", \"frame\": " << *frame << "}\n";
}

int run(int argc, char** argv) {
    std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::cerr << "loopster-lab: missing command; try --help\n";
        return 2;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::cout << kUsage;
        return 0;
    }
    if (args[0] == "--version") {
        std::cout << "loopster-lab " LOOPSTER_VERSION "\n";
        return 0;
    }
    const std::string_view command = args[0];
    args.erase(args.begin());
    try {
        if (command == "curve") {
            curve(args);
        } else if (command == "frame") {
            frame(args);
        } else if (command == "patterns") {
            patterns(args);
        } else if (command == "render") {
            render(args);
        } else if (command == "still") {
            still(args);
        } else if (command == "animate") {
            animate(args);
        } else {
            throw UsageError{"unknown command '" + std::string(command) + "'; try --help"};
        }
        writeResults();
    } catch (const UsageError& error) {
        std::cerr << "loopster-lab: " << error.message << '\n';
        return 2;
    } catch (const RunError& error) {
        std::cerr << "loopster-lab: " << errorText(error.kind()) << '\n';
        return 1;
    } catch (const WriteError& error) {
        std::cerr << "loopster-lab: " << error.message << '\n';
        return 1;
    } catch (const EncodeError& error) {
        std::cerr << "loopster-lab: " << error.what() << '\n';
        return 1;
    } catch (const OutputError& error) {
        std::cerr << "loopster-lab: " << error.message << '\n';
        return 1;
    }
    return 0;
}

}  // namespace
}  // namespace loopster

int main(int argc, char** argv) {
    return loopster::run(argc, argv);
}
