// Where the text sent so far leaves gnuplot's reader: at the start of a new
// command, or inside one that is still being read. gnuplot joins a line
// ending in a backslash to the next, reads on until every '{' outside
// strings and comments is closed, and takes the lines after
// "$name << WORD" as data up to one that starts with WORD. A request sent
// anywhere but at a command's start would become part of the caller's
// command or data.
#include <cctype>
#include <cstring>

#include "internal.h"

namespace chartlink {
namespace {

bool is_name_character(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}

const char *skip_blanks(const char *at, const char *end) {
    while (at != end && (*at == ' ' || *at == '\t'))
        ++at;
    return at;
}

// The WORD of a statement "$name << WORD", else empty.
std::string datablock_terminator(const std::string &statement) {
    const char *at = statement.data(), *const end = at + statement.size();
    at = skip_blanks(at, end);
    if (at == end || *at++ != '$' || at == end || !is_name_character(*at))
        return {};
    while (at != end && is_name_character(*at))
        ++at;
    at = skip_blanks(at, end);
    if (end - at < 2 || std::strncmp(at, "<<", 2) != 0)
        return {};
    const char *const word = skip_blanks(at + 2, end);
    const char *word_end = word;
    while (word_end != end && *word_end != ' ' && *word_end != '\t')
        ++word_end;
    return skip_blanks(word_end, end) == end ? std::string(word, word_end) : std::string();
}

} // namespace

void CommandBoundary::end_statement() {
    if (depth_ == 0 && datablock_end_.empty())
        datablock_end_ = datablock_terminator(statement_);
    statement_.clear();
}

void CommandBoundary::take(char c) {
    switch (within_) {
    case Within::comment:
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
        else if (c == '}' && depth_ > 0)
            --depth_;
        break;
    }
    statement_ += c;
}

void CommandBoundary::take_line(const char *line, std::size_t size) {
    if (!datablock_end_.empty()) {
        if (size >= datablock_end_.size() &&
            std::memcmp(line, datablock_end_.data(), datablock_end_.size()) == 0)
            datablock_end_.clear();
        return;
    }
    joined_ = size > 0 && line[size - 1] == '\\';
    for (std::size_t i = 0; i < size - (joined_ ? 1 : 0); ++i)
        take(line[i]);
    if (joined_)
        return; // the next line goes on with this one, backslash and newline dropped
    end_statement();
    within_ = Within::code; // strings and comments end with the line
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
    return depth_ == 0 && !joined_ && datablock_end_.empty();
}

int CommandBoundary::open_braces(const char *text) {
    CommandBoundary alone;
    alone.feed(text, std::strlen(text));
    return alone.depth_;
}

} // namespace chartlink
