// README's walkthrough run the way a newcomer runs it: the commands of its
// shell blocks, in order, in a new folder with qms on the path. Each must
// end with exit code 0, or with the one its comment names ("exit code 1");
// a text block right after a shell block shows lines that the block's
// output holds, in that order ("..." stands for lines left out; runs of
// blanks count as one). `qms serve` runs until it answers a request and is
// then stopped as Ctrl-C stops it. On a backend of servers the configuration
// database is a server database. So README and tool cannot drift apart.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "MRDService.h"
#include "support/FileText.h"
#include "support/HttpClient.h"
#include "support/TempDir.h"

namespace {

using Clock = std::chrono::steady_clock;

// One shell block of the walkthrough and the text block after it.
struct Block {
    int line = 0;  // of README, where the block starts
    std::vector<std::string> commands;
    std::vector<std::string> shown;
};

using arxtest::readText;

std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// Runs of blanks as one space, none at either end.
std::string normalised(const std::string& line) {
    std::string out;
    for (char c : trimmed(line)) {
        const bool blank = c == ' ' || c == '\t';
        if (!blank || (!out.empty() && out.back() != ' ')) out += blank ? ' ' : c;
    }
    return out;
}

// The shell and text blocks of the section "## Walkthrough...".
std::vector<Block> walkthrough(const std::string& readme) {
    std::vector<Block> blocks;
    std::istringstream in(readme);
    bool inSection = false, inFence = false, textMayFollow = false;
    std::string fence, pending;
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        if (!inFence) {
            if (line.rfind("## ", 0) == 0) inSection = line.rfind("## Walkthrough", 0) == 0;
            if (!inSection || trimmed(line).empty()) continue;
            if (line.rfind("```", 0) != 0) {
                textMayFollow = false;  // prose between: the text is no output
                continue;
            }
            inFence = true;
            fence = line.substr(3);
            if (fence == "sh") blocks.push_back({number, {}, {}});
            if (fence == "text" && !textMayFollow) {
                ADD_FAILURE() << "README line " << number << ": text block after no shell block";
            }
            continue;
        }
        if (line.rfind("```", 0) == 0) {
            inFence = false;
            textMayFollow = fence == "sh";
            continue;
        }
        if (fence == "text") {
            if (!normalised(line).empty()) blocks.back().shown.push_back(normalised(line));
        } else if (fence == "sh") {
            // One command a line; a final backslash continues it.
            if (!line.empty() && line.back() == '\\') {
                pending += line.substr(0, line.size() - 1);
                continue;
            }
            const std::string command = trimmed(pending + line);
            pending.clear();
            if (!command.empty() && command[0] != '#') blocks.back().commands.push_back(command);
        }
    }
    return blocks;
}

// The exit code a command's comment names ("# refused, exit code 1"), else 0.
int expectedCode(const std::string& command) {
    std::smatch match;
    static const std::regex code(R"(#.*exit code (\d+))");
    return std::regex_search(command, match, code) ? std::stoi(match[1]) : 0;
}

// Whether `shown` appear among the lines of `output`, in order.
std::string missingLine(const std::vector<std::string>& shown, const std::string& output) {
    std::istringstream in(output);
    std::string line;
    for (const std::string& wanted : shown) {
        if (wanted == "...") continue;
        bool found = false;
        while (!found && std::getline(in, line))
            found = normalised(line) == wanted;
        if (!found) return wanted;
    }
    return "";
}

class ReadmeWalkthrough : public ::testing::Test {
protected:
    void SetUp() override {
        ARX_REQUIRE_BACKEND();
        // qms on the path; on a server backend with a server database as
        // its configuration database unless a command names another.
        const std::string qms = bin.file("qms");
        if (arxtest::underTest().capabilities().localFile) {
            ASSERT_EQ(symlink(ARX_QMS_BINARY, qms.c_str()), 0);
            return;
        }
        const std::string config = dir.database("qms");
        shownConfig = MeridianSpace::MRDService::displayLocation(config);
        std::ofstream(qms) << "#!/bin/sh\n"
                              "for a in \"$@\"; do [ \"$a\" = --config ] && exec '" ARX_QMS_BINARY
                              "' \"$@\"; done\n"
                              "exec '" ARX_QMS_BINARY "' --config '"
                           << config << "' \"$@\"\n";
        ASSERT_EQ(chmod(qms.c_str(), 0755), 0);
    }

    /// Runs one command in the walkthrough's folder: its exit code, and its
    /// output and errors as a terminal shows them.
    int run(const std::string& command, std::string& output) {
        std::ofstream(io.file("step.sh")) << command << "\n";
        const std::string shell = "cd '" + dir.path() + "' && PATH='" + bin.path() +
                                  "':\"$PATH\" timeout 120 bash '" + io.file("step.sh") + "' >'" +
                                  io.file("out") + "' 2>&1";
        const int status = std::system(shell.c_str());
        output = readText(io.file("out"));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    /// Runs `qms serve ...` on a free port until it answers a request, then
    /// stops it with SIGINT, as Ctrl-C does: its output.
    std::string serve(const std::string& command) {
        int out[2];
        if (pipe(out) != 0) return "pipe failed";
        const std::string line = command.substr(0, command.find(" #")) + " --port 0";
        const pid_t pid = fork();
        if (pid == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            const std::string shell = "cd '" + dir.path() + "' && PATH='" + bin.path() +
                                      "':\"$PATH\" && exec " + line + " 2>>'" +
                                      io.file("serve.err") + "'";
            execl("/bin/sh", "sh", "-c", shell.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        std::string output = readUntil(out[0], pid, "write token: ", Clock::now() + kDeadline);
        const std::regex address(R"(qms serve: http://127\.0\.0\.1:(\d+)/ on )");
        std::smatch match;
        if (std::regex_search(output, match, address)) {
            const arxtest::HttpAnswer answer =
                arxtest::fetch(std::stoi(match[1]), "GET", "/api/projects");
            EXPECT_TRUE(answer.status == 200 && answer.body.rfind('[', 0) == 0)
                << line << ": GET /api/projects";
        } else {
            ADD_FAILURE() << line << " said no address: " << output
                          << readText(io.file("serve.err"));
        }
        kill(pid, SIGINT);
        output += readUntil(out[0], pid, "qms serve: stopped\n", Clock::now() + kDeadline);
        close(out[0]);
        int status = 0;
        for (const auto end = Clock::now() + kDeadline; waitpid(pid, &status, WNOHANG) == 0;) {
            if (Clock::now() > end) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                ADD_FAILURE() << line << " did not stop on SIGINT";
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << line << ": " << status;
        return output;
    }

    arxtest::TempDir dir, io, bin;
    std::string shownConfig;  // the server database as qms shows it

private:
    static constexpr std::chrono::seconds kDeadline{30};

    // Reads `fd` until a line holding `text` has come, the writer `pid`
    // has ended (left unreaped) or the deadline has passed.
    static std::string readUntil(int fd, pid_t pid, const std::string& text,
                                 Clock::time_point end) {
        std::string read;
        const auto done = [&] {
            const std::size_t at = read.find(text);
            return at != std::string::npos && read.find('\n', at) != std::string::npos;
        };
        while (!done() && Clock::now() < end) {
            pollfd ready{fd, POLLIN, 0};
            if (poll(&ready, 1, 100) > 0) {
                char buffer[512];
                const ssize_t n = ::read(fd, buffer, sizeof buffer);
                if (n <= 0) break;  // the writer's end is closed
                read.append(buffer, static_cast<std::size_t>(n));
                continue;
            }
            siginfo_t info{};
            if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 ||
                info.si_pid != 0)
                break;
        }
        return read;
    }
};

TEST_F(ReadmeWalkthrough, RunsAsShownInAFreshFolder) {
    const std::vector<Block> blocks = walkthrough(readText(ARX_README));
    std::size_t commands = 0;
    for (const Block& block : blocks)
        commands += block.commands.size();
    // The walkthrough covers the tool: a few blocks of several commands.
    ASSERT_GE(blocks.size(), 5u);
    ASSERT_GE(commands, 20u);
    for (const Block& block : blocks) {
        std::string output;
        for (const std::string& command : block.commands) {
            std::string said;
            if (command.rfind("qms serve", 0) == 0) {
                said = serve(command);
            } else {
                const int code = run(command, said);
                EXPECT_EQ(code, expectedCode(command))
                    << "README line " << block.line << ": " << command << "\n"
                    << said;
            }
            // A file named by -o is written.
            std::smatch file;
            static const std::regex written(R"( -o (\S+))");
            if (std::regex_search(command, file, written)) {
                struct stat info {};
                EXPECT_TRUE(stat(dir.file(file[1]).c_str(), &info) == 0 && info.st_size > 0)
                    << command;
            }
            output += said;
        }
        for (std::size_t at;
             !shownConfig.empty() && (at = output.find(shownConfig)) != std::string::npos;)
            output.replace(at, shownConfig.size(), "qms.db");
        EXPECT_EQ(missingLine(block.shown, output), "")
            << "README line " << block.line << ": the output lacks this line\n"
            << output;
    }
    // On a server backend the models went to the server, not to a file.
    if (!arxtest::underTest().capabilities().localFile) {
        EXPECT_NE(access(dir.file("qms.db").c_str(), F_OK), 0);
    }
}

}  // namespace
