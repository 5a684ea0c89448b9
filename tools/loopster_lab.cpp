// loopster-lab: the pattern engine on the command line, for exploring the curves and for checking
// the maths from outside the code. Every result is JSON on stdout; bad arguments get a one-line
// error on stderr and exit status 2; a run-time error of the engine exits with status 1.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "common/numeric.h"
#include "common/run_error.h"
#include "geometry/curve_tracer.h"
#include "pattern/frame_table.h"
#include "pattern/randomiser.h"
#include "platform/random.h"

namespace loopster {
namespace {

constexpr const char* kUsage =
    "usage:\n"
    "  loopster-lab curve R r p theta0 g\n"
    "      the closed curve of one frame record: radii and pen offset in model units,\n"
    "      theta0 in radians, g the integer gear position (-100 inside .. 100 outside)\n"
    "  loopster-lab frame i FrameCount FixedGearSize RollingGearSize Text1 Text2 Text4 Text5\n"
    "                     Text7 Text8 Picture1 Picture2\n"
    "      the frame record that frame i of an animation with that sheet gets\n"
    "  loopster-lab patterns --seed S --count N\n"
    "      N successive new patterns from a fresh sheet, one JSON object per line\n";

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

// The shortest text that reads back as the same double.
std::string json(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string text(buffer, result.ptr);
    if (text.find_first_of(".e") == std::string::npos && std::abs(value) < 1e15) {
        text += ".0";
    }
    return text;
}

std::string json(const std::string& text) {
    return "\"" + text + "\"";
}

void curve(const std::vector<std::string_view>& args) {
    if (args.size() != 5) {
        throw UsageError{"curve takes 5 arguments: R r p theta0 g"};
    }
    auto table = std::make_unique<FrameTable>();
    FrameRecord& record = (*table)[0];
    record.FixedRadius = numberArg(args[0], "R");
    record.RollingRadius = numberArg(args[1], "r");
    record.PenOffset = numberArg(args[2], "p");
    record.StartAngle = numberArg(args[3], "theta0");
    record.GearPosition = static_cast<std::int16_t>(integerArg(args[4], "g", -32768, 32767));
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
    if (args.size() != 12) {
        throw UsageError{"frame takes 12 arguments (see --help)"};
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
    const char* names[] = {"Text1", "Text2", "Text4", "Text5", "Text7", "Text8"};
    for (std::size_t i = 0; i < 6; ++i) {
        numberArg(args[4 + i], names[i]);
        *texts[i] = std::string(args[4 + i]);
    }
    genbox.Picture1 =
        static_cast<std::int32_t>(integerArg(args[10], "Picture1", INT32_MIN, INT32_MAX));
    genbox.Picture2 =
        static_cast<std::int32_t>(integerArg(args[11], "Picture2", INT32_MIN, INT32_MAX));

    auto table = std::make_unique<FrameTable>();
    BuildFrame(index, genbox, globals, *table);
    const FrameRecord& record = frameAt(*table, index);
    std::cout << "{\"FixedRadius\": " << json(record.FixedRadius)
              << ", \"RollingRadius\": " << json(record.RollingRadius)
              << ", \"PenOffset\": " << json(record.PenOffset)
              << ", \"StartAngle\": " << json(record.StartAngle)
              << ", \"PenColor\": " << record.PenColor
              << ", \"GearPosition\": " << record.GearPosition << "}\n";
}

void patterns(const std::vector<std::string_view>& args) {
    std::optional<double> seed;
    long long count = 1;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (i + 1 >= args.size()) {
            throw UsageError{"missing value after " + std::string(args[i])};
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
        const std::pair<const char*, const std::string*> texts[] = {
            {"Text1", &genbox.Text1}, {"Text2", &genbox.Text2}, {"Text3", &genbox.Text3},
            {"Text4", &genbox.Text4}, {"Text5", &genbox.Text5}, {"Text6", &genbox.Text6},
            {"Text7", &genbox.Text7}, {"Text8", &genbox.Text8}, {"Text9", &genbox.Text9}};
        for (const auto& [name, text] : texts) {
            lines += std::string(", \"") + name + "\": " + json(*text);
        }
        lines += ", \"Picture1\": " + std::to_string(genbox.Picture1) +
                 ", \"Picture2\": " + std::to_string(genbox.Picture2) + "}\n";
        if (lines.size() > 1 << 16) {
            std::cout << lines;
            lines.clear();
        }
    }
    std::cout << lines;
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
    const std::string_view command = args[0];
    args.erase(args.begin());
    try {
        if (command == "curve") {
            curve(args);
        } else if (command == "frame") {
            frame(args);
        } else if (command == "patterns") {
            patterns(args);
        } else {
            throw UsageError{"unknown command '" + std::string(command) + "'; try --help"};
        }
    } catch (const UsageError& error) {
        std::cerr << "loopster-lab: " << error.message << '\n';
        return 2;
    } catch (const RunError& error) {
        std::cerr << "loopster-lab: " << errorText(error.kind()) << '\n';
        return 1;
    }
    return 0;
}

}  // namespace
}  // namespace loopster

int main(int argc, char** argv) {
    return loopster::run(argc, argv);
}
