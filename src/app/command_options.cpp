#include "app/command_options.h"

namespace tonequill {

CommandOptions parseCommandOptions(const std::vector<std::string>& args) {
    CommandOptions options;
    bool optionsEnd = false;
    for (const std::string& arg : args) {
        if (optionsEnd || arg.empty() || arg[0] != '-') {
            options.files.push_back(arg);
        } else if (arg == "--") {
            optionsEnd = true;
        } else if (arg == "-h" || arg == "--help") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "-") {
            options.error = "\"-\" (standard input) cannot be read: name the file (\"./-\" for a file called \"-\")";
            return options;
        } else {
            options.error = "unknown option \"" + arg + "\"";
            // A file whose name starts with "-" comes after "--".
            if (arg.find('.') != std::string::npos) options.error += " (for a file of that name: -- " + arg + ")";
            return options;
        }
    }
    return options;
}

}  // namespace tonequill
