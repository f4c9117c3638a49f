#include "completion.h"

#include <algorithm>
#include <vector>

#include "cli_options.h"

namespace krumple::cli {
namespace {

std::string joined(const auto& words, std::string_view separator = " ") {
    std::string text;
    for (const auto& word : words) text += (text.empty() ? "" : std::string(separator)) + std::string(word);
    return text;
}

// The help's first clause, short enough for a menu.
std::string summary(const OptionInfo& o) {
    std::string text(o.help.substr(0, std::min({o.help.find("; "), o.help.find(" ("), o.help.size()})));
    if (text.size() > 60) text = text.substr(0, text.rfind(' ', 57)) + "...";
    return text;
}

// `text` inside single quotes, for bash and zsh or, as fish escapes there, for fish.
std::string quoted(const std::string& text, bool forFish = false) {
    std::string out = "'";
    for (const char c : text) {
        if (c == '\'') out += forFish ? "\\'" : "'\\''";
        else if (c == '\\' && forFish) out += "\\\\";
        else out += c;
    }
    return out + "'";
}

std::string shortOf(const OptionInfo& o) { return std::string{'-', o.shortName}; }

// The values an option's argument completes to, as words.
std::string valueWords(const OptionInfo& o) {
    return o.kind == ValueKind::format ? joined(formatNames()) : std::string(o.words);
}

std::string bash() {
    std::string script =
        "# bash completion for krumple-cli, made from its option table when it was built\n"
        "_krumple_cli() {\n"
        "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} i\n"
        "    # bash splits \"--format=we\" at the \"=\".\n"
        "    if [[ $cur == = ]]; then cur=\n"
        "    elif [[ $prev == = ]]; then prev=${COMP_WORDS[COMP_CWORD-2]}\n"
        "    fi\n"
        "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
        "        if [[ ${COMP_WORDS[i]} == -- ]]; then mapfile -t COMPREPLY < <(compgen -f -- \"$cur\"); return; fi\n"
        "    done\n"
        "    case $prev in\n";
    std::vector<std::string> options;
    for (const auto& o : optionTable()) {
        options.emplace_back(o.name);
        if (o.kind == ValueKind::none) continue;
        script += "        " + (o.shortName ? shortOf(o) + "|" : "") + std::string(o.name) + ") ";
        if (o.kind == ValueKind::file) script += "mapfile -t COMPREPLY < <(compgen -f -- \"$cur\"); ";
        if (o.kind == ValueKind::folder) script += "mapfile -t COMPREPLY < <(compgen -d -- \"$cur\"); ";
        if (o.kind == ValueKind::words || o.kind == ValueKind::format)
            script += "mapfile -t COMPREPLY < <(compgen -W " + quoted(valueWords(o)) + " -- \"${cur,,}\"); ";
        script += "return ;;\n";
    }
    return script + "    esac\n"
                    "    if [[ $cur == -* ]]; then\n"
                    "        mapfile -t COMPREPLY < <(compgen -W " + quoted(joined(options)) + " -- \"$cur\")\n"
                    "    else\n"
                    "        mapfile -t COMPREPLY < <(compgen -f -- \"$cur\")\n"
                    "    fi\n"
                    "}\n"
                    "complete -o filenames -F _krumple_cli krumple-cli\n";
}

std::string zsh() {
    std::string script = "#compdef krumple-cli\n"
                         "# zsh completion for krumple-cli, made from its option table when it was built\n"
                         "_arguments -S \\\n";
    for (const auto& o : optionTable()) {
        std::string description = summary(o);
        for (std::size_t at = 0; (at = description.find_first_of("[]", at)) != std::string::npos; at += 2)
            description.insert(at, "\\");
        const bool valued = o.kind != ValueKind::none;
        const std::string name(o.name);
        std::string described = o.shortName ? "'(" + shortOf(o) + " " + name + ")'{" + shortOf(o) + (valued ? "+," : ",") +
                                             name + (valued ? "=" : "") + "}"
                                       : (o.name == "--files-from" ? "'*'" : "") + std::string("'") + name + (valued ? "=" : "") + "'";
        described += quoted("[" + description + "]");
        if (o.kind == ValueKind::file) described += "':file:_files'";
        if (o.kind == ValueKind::folder) described += "':folder:_files -/'";
        if (o.kind == ValueKind::number) described += quoted(":" + std::string(o.value) + ": ");
        if (o.kind == ValueKind::words || o.kind == ValueKind::format)
            described += quoted(":" + std::string(o.value) + ":(" + valueWords(o) + ")");
        script += "  " + described + " \\\n";
    }
    return script + "  '*:file or folder:_files'\n";
}

std::string fish() {
    std::string script = "# fish completion for krumple-cli, made from its option table when it was built\n";
    for (const auto& o : optionTable()) {
        std::string line = "complete -c krumple-cli";
        if (o.shortName) line += " -s " + std::string(1, o.shortName);
        line += " -l " + std::string(o.name.substr(2));
        if (o.kind == ValueKind::file) line += " -r -F";
        if (o.kind == ValueKind::folder) line += " -x -a '(__fish_complete_directories (commandline -ct))'";
        if (o.kind == ValueKind::number) line += " -x";
        if (o.kind == ValueKind::words || o.kind == ValueKind::format) line += " -x -a " + quoted(valueWords(o), true);
        script += line + " -d " + quoted(summary(o), true) + "\n";
    }
    return script;
}

}  // namespace

std::optional<std::string> completionScript(std::string_view shell) {
    if (shell == "bash") return bash();
    if (shell == "zsh") return zsh();
    if (shell == "fish") return fish();
    return std::nullopt;
}

}  // namespace krumple::cli
