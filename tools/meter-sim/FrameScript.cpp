// SPDX-License-Identifier: GPL-3.0-or-later
// Reading scripted poll answers from text. Strict about tokens, so a typo in a
// test's script fails loudly instead of sending a different frame.
#include "FrameScript.h"

#include <fstream>
#include <sstream>

namespace vandrel::sim {

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool parseByte(std::string token, std::uint8_t &out)
{
    if (token.size() > 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X'))
        token.erase(0, 2);
    if (token.empty() || token.size() > 2)
        return false;
    int value = 0;
    for (char c : token) {
        const int d = hexDigit(c);
        if (d < 0)
            return false;
        value = value * 16 + d;
    }
    out = static_cast<std::uint8_t>(value);
    return true;
}

} // namespace

bool parseFrameScript(std::istream &in, std::vector<Bytes> &frames, std::string &error)
{
    std::vector<Bytes> result;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (const auto hash = line.find('#'); hash != std::string::npos)
            line.erase(hash);
        std::istringstream tokens(line);
        Bytes frame;
        for (std::string token; tokens >> token;) {
            std::uint8_t b = 0;
            if (!parseByte(token, b)) {
                error = "line " + std::to_string(number) + ": bad hex byte '" + token + "'";
                return false;
            }
            frame.push_back(b);
        }
        if (!frame.empty())
            result.push_back(std::move(frame));
    }
    if (result.empty()) {
        error = "no frames in script";
        return false;
    }
    frames = std::move(result);
    return true;
}

bool loadFrameScript(const std::string &path, std::vector<Bytes> &frames, std::string &error)
{
    std::ifstream in(path);
    if (!in) {
        error = "cannot open frame script " + path;
        return false;
    }
    if (!parseFrameScript(in, frames, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

} // namespace vandrel::sim
