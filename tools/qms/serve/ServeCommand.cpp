// qms serve: the web page and JSON API of the configuration database.
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <iostream>
#include <memory>
#include <thread>

#include "Api.h"
#include "ChangeFeed.h"
#include "Cli.h"
#include "CommandSession.h"
#include "ModelCache.h"
#include "Output.h"
#include "TokenFile.h"
#include "WebServer.h"

namespace qms {

namespace {

// SIGINT and SIGTERM, blocked in every thread and taken by one that waits
// for them: stopping the server is no work for a signal handler.
class StopOnSignal {
public:
    explicit StopOnSignal(serve::WebServer& server) {
        sigemptyset(&signals_);
        sigaddset(&signals_, SIGINT);
        sigaddset(&signals_, SIGTERM);
        waiter_ = std::thread([this, &server] {
            int signal = 0;
            sigwait(&signals_, &signal);
            server.stop();
        });
    }
    /// Blocks the signals in the calling thread and in the threads it starts later.
    static void blockInThisThread() {
        sigset_t signals;
        sigemptyset(&signals);
        sigaddset(&signals, SIGINT);
        sigaddset(&signals, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    }
    ~StopOnSignal() {
        pthread_kill(waiter_.native_handle(), SIGTERM);  // ends the wait if no signal came
        waiter_.join();
    }
    StopOnSignal(const StopOnSignal&) = delete;
    StopOnSignal& operator=(const StopOnSignal&) = delete;

private:
    sigset_t signals_;
    std::thread waiter_;
};

// Room for every connection the server takes and the databases' files,
// whatever the shell's default (often 1,024) allows.
void allowEnoughFiles() {
    constexpr rlim_t kFiles = 4096;
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= kFiles) return;
    limit.rlim_cur = std::min(kFiles, limit.rlim_max);
    setrlimit(RLIMIT_NOFILE, &limit);  // a lower limit still serves, with 503 sooner
}

std::string urlHost(const std::string& address) {
    return address.find(':') == std::string::npos ? address : "[" + address + "]";
}

// Where the token is kept and whether a new one replaces it.
struct TokenOptions {
    std::string file;
    bool renew = false;
};

void serveModels(const Options& options, serve::ServeOptions serveOptions,
                 const TokenOptions& tokenOptions) {
    StopOnSignal::blockInThisThread();
    allowEnoughFiles();
    CommandSession session(options);
    std::string tokenFile;
    if (!serveOptions.readOnly) {
        tokenFile =
            tokenOptions.file.empty() ? serve::tokenFileFor(options.config) : tokenOptions.file;
        serveOptions.token = serve::keptToken(tokenFile, tokenOptions.renew);
    }
    serve::ModelCache cache;
    serve::WebServer server(session, serveOptions);
    serve::ChangeFeed feed(server.library(), cache, server.events());
    serve::addPage(server);
    serve::addApi(server, options, cache, feed);
    serve::addEditApi(server, feed);  // refused on a read-only server (403)
    const int port = server.bind();
    feed.start(options.config);
    if (!tokenFile.empty())
        std::cerr << "qms serve: the write token is kept in " + printable(tokenFile) + "\n";
    std::cout << "qms serve: http://" << urlHost(serveOptions.bind) << ":" << port << "/ on "
              << printable(location(options.config))
              << (serveOptions.readOnly ? " (read-only)" : "") << "\n";
    if (!serveOptions.readOnly) std::cout << "write token: " << server.token() << "\n";
    flushOutput();
    {
        StopOnSignal stop(server);
        server.run();
    }
    feed.stop();
    session.close();
    std::cout << "qms serve: stopped\n";
}

}  // namespace

void addServeCommand(CLI::App& app, Options& options) {
    CLI::App* serve = app.add_subcommand(
        "serve", "serve a web page and a JSON API of the models until interrupted");
    auto serveOptions = std::make_shared<serve::ServeOptions>();
    serve->add_option("--port", serveOptions->port, "port (default 8080; 0 takes a free one)")
        ->check(CLI::Range(0, 65535));
    serve->add_option("--bind", serveOptions->bind,
                      "address to listen on (default 127.0.0.1: this machine only)");
    CLI::Option* readOnly =
        serve->add_flag("--read-only", serveOptions->readOnly, "refuse every write");
    auto tokenOptions = std::make_shared<TokenOptions>();
    serve
        ->add_option("--token-file", tokenOptions->file,
                     "where the write token is kept (default: beside the configuration "
                     "database, CONFIG.token)")
        ->excludes(readOnly);
    serve->add_flag("--new-token", tokenOptions->renew, "replace the kept write token")
        ->excludes(readOnly);
    action(serve, [&options, serveOptions, tokenOptions] {
        serveModels(options, *serveOptions, *tokenOptions);
    });
}

}  // namespace qms
