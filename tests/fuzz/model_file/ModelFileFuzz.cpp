// A model file as `qms model apply` reads it: ModelFile::parse, which
// checks the text and reads it into a model description before anything
// looks at a database. The input is the file's text.
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "ModelFile.h"

using namespace MeridianSpace;
using arxfuzz::expect;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    ModelDescription model;
    const ResultMsg rm = ModelFile::parse(text, model);
    if (!rm.ok()) {
        // A refusal says what it refuses; it never ends empty-handed.
        expect(!rm.rMsg.empty(), "a refusal without a message");
        return 0;
    }
    // What was read, written out, reads back to the same file: the file
    // `qms model export` writes is one `qms model apply` takes.
    const std::string yaml = ModelFile::toYaml(model);
    ModelDescription again;
    const ResultMsg back = ModelFile::parse(yaml, again);
    expect(back.ok(), "a written model file is refused: " + back.rMsg + "\n" + yaml);
    expect(ModelFile::toYaml(again) == yaml, "a written model file reads back otherwise:\n" + yaml);
    return 0;
}
