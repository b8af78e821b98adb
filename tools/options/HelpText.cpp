#include "tools/options/HelpText.h"

namespace mimicbox::options {

namespace {

// Where the text of a line goes on when wrapped: for an indented line with a column of descriptions
// (an option's, a command's), under its description; else at the line's own indent.
std::size_t ContinuationIndent(std::string_view line)
{
    const std::size_t indent = line.find_first_not_of(' ');
    if (indent == std::string_view::npos || indent == 0)
        return 0;
    const std::size_t gap = line.find("  ", indent);
    const std::size_t description = gap == std::string_view::npos ? gap : line.find_first_not_of(' ', gap);
    return description == std::string_view::npos ? indent : description;
}

void AppendWrapped(std::string_view line, std::size_t width, std::string& out)
{
    const std::size_t indent = ContinuationIndent(line);
    std::string_view rest = line;
    for (bool first = true;; first = false) {
        const std::size_t room = first || width <= indent ? width : width - indent;
        if (!first)
            out.append(indent, ' ');
        // The first line breaks after its option's name at the soonest; the others anywhere.
        const std::size_t least = first ? indent : 0;
        std::size_t cut = rest.size() <= room ? std::string_view::npos : rest.rfind(' ', room);
        if (rest.size() > room && (cut == std::string_view::npos || cut <= least))
            cut = rest.find(' ', room);
        if (rest.size() <= room || cut == std::string_view::npos) {
            out.append(rest);
            return;
        }
        out.append(rest.substr(0, cut));
        out += '\n';
        const std::size_t next = rest.find_first_not_of(' ', cut);
        if (next == std::string_view::npos)
            return;
        rest.remove_prefix(next);
    }
}

}  // namespace

std::string WrapHelp(std::string_view text, std::size_t width)
{
    std::string out;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        AppendWrapped(text.substr(0, end), width, out);
        if (end == std::string_view::npos)
            break;
        out += '\n';
        text.remove_prefix(end + 1);
    }
    return out;
}

}  // namespace mimicbox::options
