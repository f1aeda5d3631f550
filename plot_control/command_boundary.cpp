// Where the text sent so far leaves gnuplot's reader: at the start of a new
// command, or inside one that is still being read. gnuplot joins a line
// ending in a backslash to the next, reads on while a line leaves more '{'
// than '}' open outside strings and comments, and takes the lines after
// each "$name << WORD" as data up to one that starts with WORD. A "!" runs
// the rest of its line in the shell, braces and all. A request sent
// anywhere but at a command's start would become part of the caller's
// command or data.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "internal/command_boundary.h"

namespace plot_control {
namespace {

bool is_name_start(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) != 0 || c == '_';
}

bool is_name_character(char c) {
    return is_name_start(c) || std::isdigit(static_cast<unsigned char>(c)) != 0;
}

const char *skip_blanks(const char *at, const char *end) {
    while (at != end && (*at == ' ' || *at == '\t'))
        ++at;
    return at;
}

const char *skip_name(const char *at, const char *end) {
    while (at != end && is_name_character(*at))
        ++at;
    return at;
}

// The WORD of a statement "$name << WORD", a name as gnuplot reads one,
// else empty.
std::string datablock_terminator(const std::string &statement) {
    const char *at = statement.data(), *const end = at + statement.size();
    at = skip_blanks(at, end);
    if (at == end || *at++ != '$' || at == end || !is_name_character(*at))
        return {};
    at = skip_blanks(skip_name(at, end), end);
    if (end - at < 2 || std::strncmp(at, "<<", 2) != 0)
        return {};
    const char *const word = skip_blanks(at + 2, end);
    if (word == end || !is_name_start(*word))
        return {};
    return std::string(word, skip_name(word, end));
}

bool only_blanks(const std::string &text) {
    return text.find_first_not_of(" \t") == std::string::npos;
}

} // namespace

void CommandBoundary::end_statement() {
    if (depth_ == 0) {
        std::string terminator = datablock_terminator(statement_);
        if (!terminator.empty())
            datablock_ends_.push_back(std::move(terminator));
    }
    statement_.clear();
}

void CommandBoundary::take(char c) {
    switch (within_) {
    case Within::comment:
    case Within::shell:
        return;
    case Within::double_quoted:
        if (escaped_)
            escaped_ = false;
        else if (c == '\\')
            escaped_ = true;
        else if (c == '"')
            within_ = Within::code;
        break;
    case Within::single_quoted:
        if (c == '\'')
            within_ = Within::code; // '' reads as a closing and an opening quote
        break;
    case Within::code:
        if (c == '#') {
            within_ = Within::comment;
            return;
        }
        if (c == '!' && only_blanks(statement_)) {
            within_ = Within::shell;
            return;
        }
        if (c == ';') {
            end_statement();
            return;
        }
        if (c == '"')
            within_ = Within::double_quoted;
        else if (c == '\'')
            within_ = Within::single_quoted;
        else if (c == '{')
            ++depth_;
        else if (c == '}')
            --depth_; // a line's braces count together: "} else {" leaves none open
        break;
    }
    statement_ += c;
}

void CommandBoundary::take_line(const char *line, std::size_t size) {
    if (!datablock_ends_.empty()) {
        const std::string &end = datablock_ends_.front();
        if (size >= end.size() && std::memcmp(line, end.data(), end.size()) == 0)
            datablock_ends_.erase(datablock_ends_.begin());
        return;
    }
    joined_ = size > 0 && line[size - 1] == '\\';
    for (std::size_t i = 0; i < size - (joined_ ? 1 : 0); ++i)
        take(line[i]);
    if (joined_)
        return; // the next line goes on with this one, backslash and newline dropped
    if (depth_ < 0)
        depth_ = 0; // gnuplot refuses a line that closes more than it opens
    end_statement();
    within_ = Within::code; // strings, comments and shell commands end with the line
    escaped_ = false;
}

void CommandBoundary::feed(const char *text, std::size_t size) {
    const char *const end = text + size;
    for (const char *line = text; line < end;) {
        const char *newline = static_cast<const char *>(
            std::memchr(line, '\n', static_cast<std::size_t>(end - line)));
        if (newline == nullptr)
            newline = end;
        take_line(line, static_cast<std::size_t>(newline - line));
        line = newline + 1;
    }
}

bool CommandBoundary::at_command_start() const {
    return depth_ == 0 && !joined_ && datablock_ends_.empty();
}

std::string CommandBoundary::closed(const char *expression) {
    CommandBoundary alone;
    alone.statement_ = "("; // within an expression: a '!' is a negation
    std::size_t kept = 0;
    for (const char *at = expression; *at != '\0'; ++at) {
        alone.take(*at);
        if (alone.within_ == Within::comment)
            break; // gnuplot ignores the rest
        ++kept;
    }
    std::string text(expression, kept);
    if (alone.within_ == Within::double_quoted)
        text += alone.escaped_ ? "\\\"" : "\"";
    else if (alone.within_ == Within::single_quoted)
        text += '\'';
    return "(" + text + ")" + std::string(static_cast<std::size_t>(std::max(alone.depth_, 0)), '}');
}

} // namespace plot_control
