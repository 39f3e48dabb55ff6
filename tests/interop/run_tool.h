#pragma once

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include <sys/wait.h>

// Runs a shell command and returns its exit status and standard output (standard error is
// added to the output so that a failing tool explains itself in the test log).
struct ToolResult
{
    int status = -1;
    std::string output;
};

inline ToolResult runTool(const std::string &command)
{
    ToolResult r;
    FILE *pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return r;
    std::array<char, 4096> buffer{};
    std::size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        r.output.append(buffer.data(), n);
    const int status = pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

inline std::vector<std::string> split(const std::string &text, char separator)
{
    std::vector<std::string> parts;
    std::string part;
    for (char c : text) {
        if (c == separator) {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    parts.push_back(part);
    return parts;
}

// A quoted argument for /bin/sh.
inline std::string shellQuote(const std::string &text)
{
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}
