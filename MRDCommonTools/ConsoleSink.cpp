#include "ConsoleSink.h"

#include <atomic>
#include <iostream>
#include <streambuf>

namespace MeridianSpace {

namespace {

std::atomic<ConsoleSink::Target> current{ConsoleSink::Stdout};

// A stream buffer that takes everything and keeps nothing.
class DiscardBuffer : public std::streambuf {
protected:
    int overflow(int c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

std::ostream& discarding() {
    static DiscardBuffer buffer;
    static std::ostream stream(&buffer);
    return stream;
}

}  // namespace

void ConsoleSink::setTarget(Target target) {
    current.store(target);
}

ConsoleSink::Target ConsoleSink::target() {
    return current.load();
}

std::ostream& ConsoleSink::stream() {
    switch (current.load()) {
        case Stderr:
            return std::cerr;
        case Off:
            return discarding();
        default:
            return std::cout;
    }
}

}  // namespace MeridianSpace
