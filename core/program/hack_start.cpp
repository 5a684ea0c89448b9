// The hack's command line and its run.
#include "core/program/hack_start.h"

#include <charconv>
#include <cstddef>
#include <system_error>

#include "core/program/entry.h"
#include "core/saver/render_loop.h"
#include "core/settings/config.h"
#include "seam/config_view.h"
#include "seam/desktop.h"

namespace loopster {

namespace {

// The hack never shows the settings dialog; its logic still holds the controls that the settings
// file fills, as in the saver.
class HiddenConfigView final : public ConfigView {
  public:
    void setEventHandler(ConfigEvents* /*handler*/) override {}
    void create() override {}
    void showText1(const std::string& /*text*/) override {}
    void showScrollValue(int /*value*/) override {}
    void showOption1(bool /*light*/) override {}
    void show() override {}
    void unload() override {}
    void showError(const std::string& /*message*/) override {}
};

// The dialog's logic wants a desktop for its marker beep, which the hack, naming no marker file,
// never sounds.
class SilentDesktop final : public Desktop {
  public:
    double screenWidthTwips() override { return 0.0; }
    double screenHeightTwips() override { return 0.0; }
    void SetCursorPos(int /*x*/, int /*y*/) override {}
    void beep() override {}
};

// "--rate=30" and "-rate" both name "rate"; the value after "=" comes back in `inlineValue`.
std::string_view optionName(std::string_view word, std::optional<std::string_view>& inlineValue) {
    word.remove_prefix(word.starts_with("--") ? 2 : 1);
    const std::size_t equals = word.find('=');
    if (equals != std::string_view::npos) {
        inlineValue = word.substr(equals + 1);
        word = word.substr(0, equals);
    }
    return word;
}

std::optional<int> wholeNumber(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<std::uint32_t> parseWindowId(std::string_view text) {
    int base = 10;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        text.remove_prefix(2);
        base = 16;
    }
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc() || end != text.data() + text.size() || text.empty() || value == 0) {
        return std::nullopt;
    }
    return value;
}

HackOptions parseHackOptions(const std::vector<std::string>& arguments,
                             const char* environmentWindow) {
    HackOptions options;
    std::optional<std::uint32_t> windowOption;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        if (word.size() < 2 || word[0] != '-') {
            options.problems.push_back("ignoring \"" + word + "\", which is not an option");
            continue;
        }
        std::optional<std::string_view> inlineValue;
        const std::string_view name = optionName(word, inlineValue);
        // The value of an option that takes one: after "=", else the next word.
        const auto value = [&]() -> std::optional<std::string_view> {
            if (inlineValue) {
                return inlineValue;
            }
            if (i + 1 < arguments.size()) {
                return std::string_view(arguments[++i]);
            }
            return std::nullopt;
        };
        if (name == "root" && !inlineValue) {
            options.root = true;
        } else if ((name == "help" || name == "h") && !inlineValue) {
            options.help = true;
        } else if (name == "version" && !inlineValue) {
            options.version = true;
        } else if ((name == "light" || name == "heavy") && !inlineValue) {
            options.light = name == "light";
        } else if (name == "rate") {
            const auto text = value();
            const auto rate = text ? wholeNumber(*text) : std::nullopt;
            if (rate && *rate >= kHackRateMin && *rate <= kHackRateMax) {
                options.frameRate = static_cast<std::int16_t>(*rate);
            } else {
                options.problems.push_back(
                    "--rate takes a whole number of frames per second from 5 to 100, not \"" +
                    std::string(text.value_or("")) + "\"; using the settings file's rate");
            }
        } else if (name == "window-id") {
            const auto text = value();
            const auto id = text ? parseWindowId(*text) : std::nullopt;
            if (id) {
                windowOption = id;
            } else {
                options.problems.push_back(
                    "--window-id takes a window id such as 0x600008, not \"" +
                    std::string(text.value_or("")) + "\"");
            }
        } else {
            options.problems.push_back("ignoring the unknown option \"" + word + "\"");
        }
    }

    if (windowOption) {
        options.windowId = windowOption;
    } else if (environmentWindow != nullptr && environmentWindow[0] != '\0') {
        options.windowId = parseWindowId(environmentWindow);
        if (!options.windowId) {
            options.problems.push_back(std::string("XSCREENSAVER_WINDOW holds \"") +
                                       environmentWindow + "\", which is not a window id");
        }
    }
    return options;
}

void RunHack(HackServices& services, const std::string& settingsFile, const HackOptions& options,
             SaverState& state) {
    HiddenConfigView view;
    SilentDesktop desktop;
    const FileLocations locations{settingsFile, std::string()};
    Config config(view, services.files, desktop, services.process, locations);
    setSaverStartValues(services.files, settingsFile, config, services.clock, services.random,
                        state);
    if (options.frameRate) {
        state.globals.FrameRate = *options.frameRate;
    }
    if (options.light) {
        state.globals.LineWidth = *options.light ? 1 : 2;
    }

    // No input handler: the daemon takes the input and ends the hack with a signal.
    services.window.setEventHandler(nullptr);
    SaverServices saver{services.window, services.gdi, services.clock, services.eventLoop,
                        services.random, nullptr,      services.pin};
    RunSaver(saver, state);
}

}  // namespace loopster
