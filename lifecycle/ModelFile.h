#pragma once

// A model version as one text file: YAML (or JSON, which a YAML reader
// reads too) in UTF-8, one attribute a line, in a fixed order, attributes
// at a new record's value left out. Reading refuses what is no model file
// (unknown attributes, texts GBK cannot hold, anchors and aliases, deep
// nesting, oversized files) naming the line and column, before anything
// else looks at it.
#include <cstddef>
#include <string>
#include <vector>

#include "ArxExport.h"
#include "ModelDescription.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {

/// Receives the content of a model file in order, texts in UTF-8; a
/// writer of one file format. Used by one thread at a time.
class ARX ModelFileSink {
public:
    virtual ~ModelFileSink();
    virtual void beginMap() = 0;
    virtual void endMap() = 0;
    /// `short` for a list of a few texts that fits on one line.
    virtual void beginList(bool shortList) = 0;
    virtual void endList() = 0;
    /// The name of the next attribute of the open map.
    virtual void key(const char* name) = 0;
    virtual void text(const std::string& utf8) = 0;
    virtual void number(int value) = 0;
};

/// Stateless; may be used from any thread.
class ARX ModelFile {
public:
    /// The largest text parse() reads: a model of thousands of tables fits.
    static constexpr std::size_t kMaxBytes = 16u << 20;
    /// How deep maps and lists may nest (folders nest inside folders).
    static constexpr int kMaxDepth = 200;
    /// How many values, maps and lists a text may hold.
    static constexpr std::size_t kMaxNodes = 1000000;
    /// How many of the bytes ',', '[' and '{' a text may hold: in lists and
    /// maps written on one line (JSON is all such), the YAML reader keeps
    /// every value until the outermost one ends, so their number bounds the
    /// memory a read takes (JSON of a model of 2,000 tables of 20 columns
    /// needs about 250,000).
    static constexpr std::size_t kMaxFlowMarks = 300000;

    /// Reads a model file into `model` (which is reset first). A refusal
    /// names the line and column where the text stops being a model file;
    /// `model` is then of no use.
    static ResultMsg parse(const std::string& text, ModelDescription& model);
    /// The model as YAML, starting with a comment that says what it is.
    static std::string toYaml(const ModelDescription& model);
    /// Hands the content of the model's file to `sink`, in file order.
    static void write(const ModelDescription& model, ModelFileSink& sink);
};

}  // namespace MeridianSpace
