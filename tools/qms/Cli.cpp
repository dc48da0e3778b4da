#include "Cli.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <utility>

#include "ServiceErrorCode.h"
#include "StringHelper.h"

namespace qms {

std::string utf8(const std::string& gbk) {
    // ASCII is the same in both: most names are, and a large model has
    // tens of thousands of them.
    if (std::all_of(gbk.begin(), gbk.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return gbk;
    return StringHelper::GBKToUTF8(gbk);
}

std::string gbk(const std::string& utf8) {
    std::string converted;
    if (StringHelper::UTF8ToGBKExact(utf8, converted) != std::string::npos)
        throw Failure(notStorable(utf8));
    return converted;
}

namespace {

// The code point of the UTF-8 character at `at` and its length in bytes;
// length 0 for a byte that starts no well-formed character.
std::pair<unsigned, std::size_t> codePointAt(const std::string& text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned lead = byte(at);
    if (lead < 0x80) return {lead, 1};
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || at + length > text.size()) return {0, 0};
    unsigned code = lead & (0x7F >> length);
    for (std::size_t i = at + 1; i < at + length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return {0, 0};
        code = (code << 6) | (byte(i) & 0x3F);
    }
    static const unsigned smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return {0, 0};
    return {code, length};
}

}  // namespace

std::string notStorable(const std::string& utf8) {
    std::string converted;
    const std::size_t bad = StringHelper::UTF8ToGBKExact(utf8, converted);
    if (bad == std::string::npos) return "";
    const auto [code, length] = codePointAt(utf8, bad);
    char number[32];
    if (length == 0) {
        std::snprintf(number, sizeof(number), "0x%02X",
                      static_cast<unsigned>(static_cast<unsigned char>(utf8[bad])));
        return "'" + utf8 + "' holds the byte " + number + ", which is no UTF-8";
    }
    std::snprintf(number, sizeof(number), "U+%04X", code);
    return "'" + utf8 + "' holds " + utf8.substr(bad, length) + " (" + number +
           "), which GBK cannot store";
}

namespace {

// Blanks: the ASCII white space and the ideographic space U+3000.
const std::string kIdeographicSpace = "\xE3\x80\x80";

bool blankAt(const std::string& text, std::size_t at) {
    return std::isspace(static_cast<unsigned char>(text[at])) != 0 ||
           text.compare(at, kIdeographicSpace.size(), kIdeographicSpace) == 0;
}

bool endsWithBlank(const std::string& text) {
    const std::size_t size = text.size(), wide = kIdeographicSpace.size();
    return std::isspace(static_cast<unsigned char>(text.back())) != 0 ||
           (size >= wide && text.compare(size - wide, wide, kIdeographicSpace) == 0);
}

}  // namespace

std::string newNameProblem(const std::string& name) {
    const std::string stored = notStorable(name);
    if (!stored.empty()) return stored;
    bool blankOnly = true;
    for (std::size_t i = 0; i < name.size() && blankOnly; ++i)
        blankOnly = blankAt(name, i);
    if (blankOnly) return "a name must not be empty or only blanks";
    if (blankAt(name, 0) || endsWithBlank(name))
        return "'" + name + "' begins or ends with a blank";
    return "";
}

CLI::Validator storable() {
    return CLI::Validator([](std::string& text) { return notStorable(text); }, "");
}

CLI::Validator newName() {
    return CLI::Validator([](std::string& text) { return newNameProblem(text); }, "");
}

CLI::Validator fromOne() {
    return CLI::Validator(
        [](std::string& text) {
            char* end = nullptr;
            errno = 0;
            const long long number = std::strtoll(text.c_str(), &end, 10);
            const bool whole = !text.empty() && *end == '\0' && errno == 0;
            if (whole && number >= 1 && number <= std::numeric_limits<int>::max())
                return std::string();
            return "must be a number from 1, not '" + text + "'";
        },
        "");
}

void check(const ResultMsg& rm, const std::string& what) {
    if (rm.ok()) return;
    if (rm.rCode == SRV_ERR_BUSY || rm.rCode == SRV_ERR_SERVER)
        throw Unavailable(what + ": " + utf8(rm.rMsg));
    throw Failure(what + ": " + utf8(rm.rMsg));
}

CLI::Option* nameOrId(CLI::App* command, const Options& options, const char* label,
                      const char* help, std::string& name, int& id) {
    CLI::Option* byId =
        command
            ->add_option("--id", id,
                         std::string(label) + " by its identifier (" + label + " is then left out)")
            ->check(fromOne());
    if (!options.byId) command->add_option(label, name, help)->required()->check(storable());
    return byId;
}

CLI::App* modelSubcommand(CLI::App* parent, const Options& options, const char* name,
                          const char* help, std::string& model, std::string& project, int& id) {
    CLI::App* command = parent->add_subcommand(name, help);
    CLI::Option* byId = nameOrId(command, options, "MODEL", "model name", model, id);
    command->add_option("--project", project, "the model's project")
        ->check(storable())
        ->excludes(byId);
    return command;
}

void action(CLI::App* command, std::function<void()> body) {
    command->callback(std::move(body));
}

}  // namespace qms
